#pragma once
// Mounts that end with the test program (POSIX): a test that mounts a file system and is then
// killed at its time-out would otherwise leave the mount behind, on the caller's machine.

namespace qmtest {

// Moves this process into a mount namespace of its own, whose mounts no other process sees
// and which goes when the process and its children are gone. Call it while the process has a
// single thread, from a static initializer of the test program:
//     const bool kPrivateMounts = qmtest::keepMountsPrivate();
// True when it worked; a test that mounts skips otherwise (not root, or not allowed here).
bool keepMountsPrivate();

}  // namespace qmtest
