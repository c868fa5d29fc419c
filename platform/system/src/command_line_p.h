#pragma once
// Pieces of the Windows command-line grammar shared by splitCommandLine and startProcess.
#include <string>
#include <string_view>
#include <vector>

namespace qmsys {

// The arguments after the program name: white space (blank, tab) separates, double quotes
// group, backslashes escape quotes only, and a doubled quote inside quotes is a literal
// quote. Leading white space is skipped.
std::vector<std::string> splitArguments(std::string_view text);

// One way of reading a command line: the program and the arguments it then gets.
struct ProgramReading {
    std::string program;
    std::vector<std::string> arguments;
};

// The readings CreateProcessW tries in turn when no application name is given. A quoted
// program name is one reading. An unquoted one that contains blanks is tried at every blank,
// shortest first ("/opt/My Apps/tool x" tries "/opt/My" with arguments "Apps/tool" "x", then
// "/opt/My Apps/tool" with "x", ...); the first one that names a program wins. Leading white
// space is ignored. An empty command line has no reading.
std::vector<ProgramReading> programReadings(std::string_view commandLine);

}  // namespace qmsys
