// qmreg: reads and changes the registry store from the command line, in the manner of
// reg.exe. Exit status 0 on success, 1 when a key or value is missing or the operation
// fails, 2 for a bad command line.
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <qmsys/text.h>
#endif

#include "qm/version.h"
#include "qmreg/registry.h"
#include "tool/command_line.h"
#include "tool/reg_commands.h"

namespace {

int run(const std::vector<std::string>& args) {
    using namespace qmreg::tool;
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

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
    // The output is UTF-8 with '\n' line ends on every system, as scripts read it.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg(argv[i]);
        args.push_back(qmsys::utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
    }
    return run(args);
}
#else
int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
