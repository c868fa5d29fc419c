// cadhost: the CAD host program. It brings up the module loader that sits beside it, the ARX
// applications named on the command line and a first drawing, then reads commands.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <qmcli/option_parser.h>
#include <qmsys/display.h>

#include "cadhost/console_session.h"
#include "cadhost/host.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gui_front_end.h"

namespace {

constexpr const char* kModuleLoaderFile = "QmModuleLoader.arx";

struct CommandLine {
    bool console = false;
    std::optional<std::string> script;
    std::vector<std::string> arxApps;
    bool profile = false;
};

qmcli::OptionParser makeParser() {
    qmcli::OptionParser parser(
        "cadhost", "cadhost [--console] [--script FILE] [--arx PATH]... [--profile]",
        "The window opens when a display is available (DISPLAY or WAYLAND_DISPLAY) and\n"
        "standard input is a terminal, /dev/null or closed, as a desktop launcher starts\n"
        "the host. The command-line session runs instead with --console or --script,\n"
        "without a display, or when standard input is a pipe, a file or a socket.\n"
        "\n"
        "Exit status: 0 after QUIT or the end of the commands, 2 for a bad command line or an\n"
        "unreadable script.\n");
    parser.addFlag("console", "command-line session: commands from standard input, one a line");
    parser.addValue("script", "FILE", "read commands from FILE instead of standard input");
    parser.addValue("arx", "PATH", "load an ARX application after the module loader (repeatable)",
                    true);
    parser.addFlag("profile",
                   "after start-up, print the module loader's start-up report: one line\n"
                   "per module brought up with its menu and application times, "
                   "then a total");
    return parser;
}

std::filesystem::path programFolder() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path(".") : self.parent_path();
}

// A file that ships with cadhost: beside the program in the build, in lib/quillmont/ beside
// bin/ when installed. Returns the place beside the program when it is in neither.
std::filesystem::path shippedFile(const char* name) {
    const std::filesystem::path beside = programFolder() / name;
    std::error_code ec;
    if (!std::filesystem::exists(beside, ec)) {
        auto installed = programFolder().parent_path() / "lib" / "quillmont" / name;
        if (std::filesystem::exists(installed, ec))
            return installed;
    }
    return beside;
}

// The front end's entry, or null after one line on stderr when its module cannot be loaded.
// The module stays loaded for the life of the process (Qt registers exit handlers).
cadhost::gui::GuiEntryFn loadGuiFrontEnd() {
    const std::string path = shippedFile(cadhost::gui::kGuiModuleFile).string();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* entry = module ? ::dlsym(module, cadhost::gui::kGuiEntryName) : nullptr;
    if (!entry) {
        const char* why = ::dlerror();
        std::cerr << "cadhost: cannot load the graphical front end (" << (why ? why : path)
                  << "); running the command-line session\n";
        return nullptr;
    }
    return reinterpret_cast<cadhost::gui::GuiEntryFn>(entry);
}

// Whether standard input brings commands: a pipe, a redirected file or a socket. A terminal is
// someone who may type into the window's command line instead, and a desktop launcher or a file
// manager starts the host with /dev/null or nothing there: both get the window.
bool standardInputBringsCommands() {
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) != 0)
        return false;
    return S_ISFIFO(st.st_mode) || S_ISREG(st.st_mode) || S_ISSOCK(st.st_mode);
}

// The module loader offers its start-up report through an export; other hosts of the family
// may not have one, so a missing symbol just prints nothing.
void printStartupProfile(cadhost::Host& host) {
    using ProfileFn = const char* (*)();
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    auto fn = linker ? reinterpret_cast<ProfileFn>(
                           linker->getSymbolAddress(kModuleLoaderFile, "qmStartupProfile"))
                     : nullptr;
    if (fn) {
        host.print(fn());
    }
}

void loadApplication(cadhost::Host& host, const std::string& path) {
    // The same as typing ARXLOAD: a failure prints one line and the session goes on.
    host.runCommand({"ARXLOAD", path});
}

}  // namespace

int main(int argc, char** argv) {
    qmcli::OptionParser parser = makeParser();
    if (auto exitCode = parser.parse({argv + 1, argv + argc}, std::cout, std::cerr))
        return *exitCode;
    if (!parser.positionals().empty())
        return parser.usageError(std::cerr,
                                 "unexpected argument '" + parser.positionals()[0] + "'");
    const CommandLine cl{parser.has("console"), parser.value("script"), parser.values("arx"),
                         parser.has("profile")};
    const CommandLine* commandLine = &cl;
    std::ifstream scriptFile;
    if (commandLine->script) {
        scriptFile.open(*commandLine->script);
        if (!scriptFile) {
            std::cerr << "cadhost: cannot read script \"" << *commandLine->script << "\"\n";
            return 2;
        }
    }

    auto bringUp = [&](cadhost::Host& host) {
        host.restoreMenuGroups();
        const std::filesystem::path moduleLoader = shippedFile(kModuleLoaderFile);
        std::error_code ec;
        if (std::filesystem::exists(moduleLoader, ec)) {
            loadApplication(host, moduleLoader.string());
        } else {
            std::cerr << "cadhost: " << moduleLoader.string()
                      << " not found; running without the module loader\n";
        }
        for (const std::string& path : commandLine->arxApps) {
            loadApplication(host, path);
        }
        host.newDrawing();
        if (commandLine->profile) {
            printStartupProfile(host);
        }
    };

    // The main window when someone can see it; scripts and piped commands keep the command line.
    if (!commandLine->console && !commandLine->script && qmsys::displayAvailable() &&
        !standardInputBringsCommands()) {
        if (const cadhost::gui::GuiEntryFn runGui = loadGuiFrontEnd()) {
            const cadhost::gui::BringUpFn callBringUp = [](void* context, cadhost::Host& host) {
                (*static_cast<decltype(bringUp)*>(context))(host);
            };
            return runGui(&argc, argv, callBringUp, &bringUp);
        }
    }

    cadhost::Host host;
    bringUp(host);

    cadhost::ConsoleSession session(host);
    session.run(commandLine->script ? static_cast<std::istream&>(scriptFile) : std::cin);
    host.quit();
    return 0;
}
