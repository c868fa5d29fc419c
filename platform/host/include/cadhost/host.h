#pragma once
// The CAD host: the object that owns everything an ARX application can see through the API in
// arx.h, automation.h and services.h — loaded applications, the command stack, the drawings
// with their AutoLISP functions, the menu groups and the user-interface services.
//
// At most one Host exists in a process at a time. Constructing one makes it the process's
// current host, to which the global API functions route; constructing a second while one
// exists throws std::logic_error. Destroying it quits (see quit()) and clears the current host.
//
// Threads: everything runs on the thread that created the host, except the menu-group
// automation, message boxes, the wait cursor and acutPrintf, which other threads may use too.
#include <iosfwd>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "cadhost/arx.h"
#include "cadhost/automation.h"
#include "cadhost/menu_file.h"
#include "cadhost/services.h"

namespace cadhost {

struct HostOptions {
    // Where the host's command line writes; null means standard output.
    std::ostream* output = nullptr;
    // The file listing the remembered partial menus. Empty means
    // $XDG_STATE_HOME/cadhost/menugroups.list, falling back to
    // $HOME/.local/state/cadhost/menugroups.list.
    std::string menuListFile;
    // False: the menu-group collection keeps no change count (get_ChangeCount gives
    // E_NOTIMPL), as collections of hosts that do not offer one; callers then walk it.
    bool menuGroupChangeCount = true;
};

struct ArxLoadResult {
    int status = RTERROR;  // RTNORM or RTERROR, as acedArxLoad returns
    std::string error;     // why a load failed; empty on success
};

struct ArxAppInfo {
    std::string fileName;  // "QmModuleLoader.arx"
    std::string path;      // absolute path it was loaded from
    bool locked = false;
    bool mdiAware = false;
};

// An AutoLISP value as the functions of ARX applications return it: nil, an integer or a
// string.
using LispValue = std::variant<std::monostate, int, std::string>;

struct LispCallResult {
    enum class Outcome {
        Undefined,  // no function of that name in the current drawing (or no drawing)
        Value,      // value holds the result
        Failed,     // the handler reported an error (RSERR)
    };
    Outcome outcome = Outcome::Undefined;
    LispValue value;
};

struct MenuGroupInfo {
    std::string name;
    std::string menuFile;
    MenuDefinition definition;
};

class Host {
public:
    explicit Host(HostOptions options = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The current host of the process, or null.
    static Host* current();

    // Writes text to the host's output as one piece and flushes it; safe from any thread.
    void print(const std::string& text);

    // The services behind message boxes and the wait cursor; a console implementation
    // printing to the output until a front end installs its own (null restores it). Install
    // them before other threads show message boxes: a reference from uiServices() is valid
    // only until the next setUiServices().
    void setUiServices(std::shared_ptr<UiServices> services);
    UiServices& uiServices();
    // The main frame window handed to applications; null in the console host.
    void setFrame(AcFrameWindow* frame);
    AcFrameWindow* frame() const;

    // Reloads the partial menus remembered from earlier runs, in their order; files that no
    // longer load are dropped from the list.
    void restoreMenuGroups();
    // The loaded menu groups in collection order, with their parsed menus (for a GUI front
    // end to build its menu bar).
    std::vector<MenuGroupInfo> menuGroups() const;
    IAcadApplication& automation();

    // acedArxLoad with the reason for a failure.
    ArxLoadResult loadApplication(const std::string& path);
    // acedArxUnload: RTNORM, or RTERROR when not loaded or locked.
    int unloadApplication(const std::string& nameOrPath);
    std::vector<ArxAppInfo> applications() const;

    // Opens a new drawing "Drawing<n>.dwg", makes it current and sends kLoadDwgMsg to every
    // application. Returns its name.
    std::string newDrawing();
    // Closes the current drawing: kUnloadDwgMsg to every application while it is still
    // current, then the reactors' documentToBeDestroyed; the drawing opened before it (or,
    // for the first, the next one) becomes current. False when no drawing is open.
    bool closeDrawing();
    // The name of the current drawing; empty when none is open.
    std::string currentDrawing() const;

    // Runs a command given as its name followed by its arguments; leading "_" and "."
    // prefixes of the name are ignored, as on a command line. The host's own commands
    // (ARX, ARXLOAD, ARXUNLOAD, MENUGROUPS, MENULOAD, MENUUNLOAD, NEW, CLOSE, QUIT) come
    // first, then the command stack. False, after printing the unknown-command line, when no
    // command has that name.
    bool runCommand(const std::vector<std::string>& words);
    // Calls an AutoLISP function of the current drawing.
    LispCallResult callLisp(const std::string& name);

    // Asks the front end to end the session after the current command.
    void requestQuit();
    bool quitRequested() const;
    // Ends the session: kQuitMsg to every application, the drawings closed, then
    // kUnloadAppMsg to each application in reverse load order and its library closed. Runs
    // once; later calls do nothing. The process is taken to be ending: from here on the
    // allocator merges small freed blocks at once (no fast bins).
    void quit();

    // The private state, for the API functions.
    struct Impl;
    Impl& impl() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace cadhost
