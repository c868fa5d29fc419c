// qmreg: reads and changes the registry store from the command line, in the manner of
// reg.exe. Exit status 0 on success, 1 when a key or value is missing or the operation
// fails, 2 for a bad command line.
#include <iostream>
#include <string>
#include <vector>

#include "qm/version.h"
#include "qmreg/registry.h"
#include "tool/command_line.h"
#include "tool/reg_commands.h"

int main(int argc, char** argv) {
    using namespace qmreg::tool;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "qmreg " << QM_VERSION << "\n";
        return kExitSuccess;
    }
    CommandLine cmd;
    try {
        cmd = parseCommandLine(args);
    } catch (const UsageError& e) {
        std::cerr << e.what() << "\n" << e.usage();
        return kExitUsage;
    }
    try {
        return RegCommands(std::cin, std::cout, std::cerr).run(cmd);
    } catch (const qmreg::StoreError& e) {
        std::cerr << "ERROR: " << e.what() << "\n";
        return kExitFailure;
    }
}
