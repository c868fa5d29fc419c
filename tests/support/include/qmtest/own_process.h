#pragma once
// Tests that change what lasts as long as their process (a library that locks itself in
// memory, a process-wide named mutex) run in a fresh process of the test program, so that no
// test sees what an earlier one left behind, however the tests are run: one per process, or
// the whole program in any order.

#include <memory>
#include <string>
#include <vector>

#include "qmtest/child_process.h"

namespace qmtest {

// In the test program started for the current test: true, and the test goes on there. In any
// other: starts this program for the current test alone, waits for it, fails the current
// test with its output when it failed, and returns false; the caller returns at once. Call it
// first thing in the test (or in the fixture's SetUp, keeping its answer for the body).
bool inOwnProcess();

// A process of this program that the current test starts as a helper (one to kill at a chosen
// point, say), running the current test alone with QMTEST_ROLE=role and extraEnv set; the test
// sees its role through helperRole() there and plays it instead of its usual body. Killed on
// destruction, as every BackgroundProcess.
std::unique_ptr<BackgroundProcess> startHelper(const std::string& role,
                                               std::vector<std::string> extraEnv = {});

// The role this process plays for the current test when it was started by startHelper, or "".
std::string helperRole();

}  // namespace qmtest
