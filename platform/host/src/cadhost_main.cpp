// cadhost: the CAD host program. It brings up the module loader that sits beside it, the ARX
// applications named on the command line and a first drawing, then reads commands.
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <qmcli/option_parser.h>
#include <qmsys/display.h>
#include <qmsys/files.h>
#include <qmsys/module.h>

#include "cadhost/console_session.h"
#include "cadhost/host.h"
#include "text_util.h"

#if QM_HOST_GUI
#include "gui_front_end.h"
#endif
#if defined(_WIN32)
#include "win32_api.h"
#include "win32_front_end.h"
#endif

namespace {

constexpr const char* kModuleLoaderFile = "QmModuleLoader.arx";

struct CommandLine {
    bool console = false;
    std::optional<std::string> script;
    std::vector<std::string> arxApps;
    bool profile = false;
};

#if QM_HOST_GUI
constexpr const char* kFrontEnds =
    "The window opens when a display is available (DISPLAY or WAYLAND_DISPLAY) and\n"
    "standard input is a terminal, /dev/null or closed, as a desktop launcher starts\n"
    "the host. The command-line session runs instead with --console or --script,\n"
    "without a display, or when standard input is a pipe, a file or a socket.\n";
#elif defined(_WIN32)
constexpr const char* kFrontEnds =
    "The window opens when the session can show windows and standard input is a\n"
    "console, NUL or closed, as the Start menu starts the host. The command-line\n"
    "session runs instead with --console or --script, when no window can be shown,\n"
    "or when standard input is a pipe or a file.\n";
#else
constexpr const char* kFrontEnds =
    "This build of the host has no window: it always runs the command-line session.\n";
#endif

qmcli::OptionParser makeParser() {
    qmcli::OptionParser parser(
        "cadhost", "cadhost [--console] [--script FILE] [--arx PATH]... [--profile]",
        std::string(kFrontEnds) +
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

// The folder above path ("." for a bare name), written with '/'.
std::string folderAbove(const std::string& path) {
    const std::string tidy = qmsys::tidyPath(path);
    const std::size_t slash = tidy.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : tidy.substr(0, slash);
}

// A file that ships with cadhost: beside the program in the build, in lib/quillmont/ beside
// bin/ when installed. Returns the place beside the program when it is in neither.
std::string shippedFile(const char* name) {
    const std::string self = qmsys::programFile();
    const std::string folder = self.empty() ? "." : folderAbove(self);
    const std::string beside = folder + "/" + name;
    if (!qmsys::fileExists(beside)) {
        std::string installed = folderAbove(folder) + "/lib/quillmont/" + name;
        if (qmsys::fileExists(installed))
            return installed;
    }
    return beside;
}

#if QM_HOST_GUI
// The front end's entry, or null after one line on stderr when its module cannot be loaded.
// The module stays loaded for the life of the process (Qt registers exit handlers).
cadhost::gui::GuiEntryFn loadGuiFrontEnd() {
    const std::string path = shippedFile(cadhost::gui::kGuiModuleFile);
    std::string why;
    const qmsys::Library module = qmsys::Library::open(path, why);
    void* entry = module.symbol(cadhost::gui::kGuiEntryName, why);
    if (!entry) {
        std::cerr << "cadhost: cannot load the graphical front end (" << (why.empty() ? path : why)
                  << "); running the command-line session\n";
        return nullptr;
    }
    return reinterpret_cast<cadhost::gui::GuiEntryFn>(entry);
}

#endif

#if QM_HOST_GUI || defined(_WIN32)
// Whether standard input brings commands: a pipe, a redirected file or a socket. A terminal is
// someone who may type into the window's command line instead, and a desktop launcher or a file
// manager starts the host with /dev/null or nothing there: both get the window.
bool standardInputBringsCommands() {
    const qmsys::StreamKind input = qmsys::standardInputKind();
    return input == qmsys::StreamKind::Pipe || input == qmsys::StreamKind::File ||
           input == qmsys::StreamKind::Socket;
}

// Whether the window is for this start: someone can see it, and nobody gave commands.
bool windowWanted(const CommandLine& commandLine) {
    return !commandLine.console && !commandLine.script && qmsys::displayAvailable() &&
           !standardInputBringsCommands();
}
#endif

#if defined(_WIN32)
// Started from the Start menu or Explorer, a console program gets a console of its own, which
// has nothing to show once the window is there: it goes. A console shared with the shell that
// started the host stays.
void leaveOwnConsole() {
    DWORD processes[2] = {};
    if (::GetConsoleProcessList(processes, 2) == 1) {
        ::FreeConsole();
    }
}
#endif

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
        // A UTF-8 name reaches the stream as a path object: on Windows its narrow names are not
        // UTF-8.
        scriptFile.open(std::filesystem::path(
            std::u8string_view(reinterpret_cast<const char8_t*>(commandLine->script->data()),
                               commandLine->script->size())));
        if (!scriptFile) {
            std::cerr << "cadhost: cannot read script \"" << *commandLine->script << "\"\n";
            return 2;
        }
    }

    auto bringUp = [&](cadhost::Host& host) {
        host.restoreMenuGroups();
        const std::string moduleLoader = shippedFile(kModuleLoaderFile);
        if (qmsys::fileExists(moduleLoader)) {
            loadApplication(host, moduleLoader);
        } else {
            std::cerr << "cadhost: " << moduleLoader
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

#if QM_HOST_GUI
    // The main window when someone can see it; scripts and piped commands keep the command line.
    if (windowWanted(*commandLine)) {
        if (const cadhost::gui::GuiEntryFn runGui = loadGuiFrontEnd()) {
            const cadhost::gui::BringUpFn callBringUp = [](void* context, cadhost::Host& host) {
                (*static_cast<decltype(bringUp)*>(context))(host);
            };
            return runGui(&argc, argv, callBringUp, &bringUp);
        }
    }
#elif defined(_WIN32)
    if (windowWanted(*commandLine)) {
        int exitCode = 0;
        std::string why;
        const std::function<void(cadhost::Host&)> callBringUp = bringUp;
        if (cadhost::win32::runWindowSession(
                [&](cadhost::Host& host) {
                    leaveOwnConsole();
                    callBringUp(host);
                },
                exitCode, why)) {
            return exitCode;
        }
        std::cerr << "cadhost: cannot open the main window (" << why
                  << "); running the command-line session\n";
    }
#endif

    cadhost::Host host;
    bringUp(host);

    cadhost::ConsoleSession session(host);
    session.run(commandLine->script ? static_cast<std::istream&>(scriptFile) : std::cin);
    host.quit();
    return 0;
}
