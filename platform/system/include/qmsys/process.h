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

// The command line that splitCommandLine (and CommandLineToArgvW) splits into argv again: the
// program in quotes when it holds a blank (it may hold no quote), each argument as it is when
// it holds no blank or quote and is not empty, else in quotes with the backslashes before a
// quote, and those before the closing quote, doubled and each quote escaped.
std::string joinCommandLine(const std::vector<std::string>& argv);

// Starts the program that commandLine names, without a shell, inheriting environment and
// working directory. Returns kErrorSuccess once the program has been executed, or the error
// that kept it from starting (kErrorFileNotFound for a missing program, kErrorPathNotFound
// for a missing folder on its path, kErrorAccessDenied for a folder or a file without execute
// permission, kErrorBadExeFormat for a file the kernel cannot execute). The process is not
// waited for, and no zombie is ever left behind. If pid is given, it receives the child's
// process id (for callers that want to observe it); it is left alone on failure.
//
// The program is read as CreateProcessW reads it: a quoted name ends at its closing quote;
// an unquoted name containing blanks is tried at every blank, shortest first, and the first
// that names a program wins ("/opt/My Apps/tool -x" runs "/opt/My Apps/tool" with "-x" when
// "/opt/My" does not exist). A name without '/' is looked up on PATH. The program inherits
// only standard input, output and error, no blocked signals and no ignored signals.
WinError startProcess(const std::string& commandLine, int* pid = nullptr);

// Starts program with the given arguments (no command-line splitting), without a shell and
// fully detached from the caller: in a session of its own, with standard input from
// /dev/null, so that a viewer or helper outlives the host and never reads its console.
// program is a path, or a name looked up on PATH. Errors, pid and the absence of zombies as
// for startProcess.
WinError startDetached(const std::string& program, const std::vector<std::string>& arguments,
                       int* pid = nullptr);

}  // namespace qmsys
