#pragma once
// Tests that change what lasts as long as their process (a library that locks itself in
// memory, a process-wide named mutex) run in a fresh process of the test program, so that no
// test sees what an earlier one left behind, however the tests are run: one per process, or
// the whole program in any order.

namespace qmtest {

// In the test program started for the current test: true, and the test goes on there. In any
// other: starts this program for the current test alone, waits for it, fails the current
// test with its output when it failed, and returns false; the caller returns at once. Call it
// first thing in the test (or in the fixture's SetUp, keeping its answer for the body).
bool inOwnProcess();

}  // namespace qmtest
