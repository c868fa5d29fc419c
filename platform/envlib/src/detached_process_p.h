#pragma once
// Starts a program fully detached from the caller: in its own session, reparented to init
// (double fork), standard input from /dev/null, no shell. The caller never waits for it and no
// zombie is left behind.
#include <string>
#include <vector>

namespace qmenv::detail {

// program: a path, or a name looked up in $PATH. Returns true once the program has been
// executed; false when it cannot be found or executed.
bool startDetached(const std::string& program, const std::vector<std::string>& args);

}  // namespace qmenv::detail
