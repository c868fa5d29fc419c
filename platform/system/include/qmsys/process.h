#pragma once
// Starting programs from a Windows-style command line, as CreateProcessW does with no
// application name: the first argument names the program.
#include <string>
#include <vector>

#include "qmsys/winerror.h"

namespace qmsys {

// CommandLineToArgvW rules: white space separates arguments, double quotes group, 2n
// backslashes before a quote give n backslashes and a quote that groups, 2n+1 give n and a
// literal quote; other backslashes are literal.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// Starts the program that commandLine names, without a shell, inheriting environment and
// working directory. Returns kErrorSuccess once the program has been executed, or the error
// that kept it from starting (kErrorFileNotFound for a missing program, ...). The process is
// not waited for, and no zombie is ever left behind. If pid is given, it receives the child's
// process id (for callers that want to observe it).
WinError startProcess(const std::string& commandLine, int* pid = nullptr);

}  // namespace qmsys
