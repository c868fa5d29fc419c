#pragma once
// The loaded ARX applications: opening, initialising, messaging and discarding them.
//
// Every call into an application runs inside a dispatch frame naming it, so that what the
// application registers is attributed to it; when the host drops an application it also
// drops its commands, AutoLISP functions, registered handlers and reactors, because their
// code goes away with the library. A library is closed only once no call into it is running,
// so an application may unload itself (or be unloaded by another) from inside a message.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cadhost/host.h"
#include "command_stack.h"
#include "document.h"

namespace cadhost {

class DispatchStack;
class DocumentManager;
struct ArxApplication;

class ApplicationManager {
public:
    ApplicationManager(DispatchStack& dispatch, CommandStack& commands, DocumentManager& documents);
    ~ApplicationManager();
    ApplicationManager(const ApplicationManager&) = delete;
    ApplicationManager& operator=(const ApplicationManager&) = delete;

    // Opens the library (every reference resolved at once, its symbols its own), sends
    // kInitAppMsg with its handle as the packet, then kLoadDwgMsg once for every open drawing
    // with that drawing current. An application already loaded from the same path is left as
    // it is and counts as success without its file being looked at again; so does one with the
    // same file name, when path names a file.
    ArxLoadResult load(const std::string& path);
    // kUnloadDwgMsg for every open drawing, kUnloadAppMsg, then the library is dropped.
    // RTERROR when not loaded or locked.
    int unload(std::string_view nameOrPath);
    // Every application in reverse load order: kUnloadAppMsg, then dropped; locks ignored.
    void unloadAll();

    // By file name (without regard to case) or, when it holds a '/', by path.
    std::shared_ptr<ArxApplication> find(std::string_view nameOrPath) const;
    std::shared_ptr<ArxApplication> findByHandle(const void* appId) const;
    // The applications in load order.
    std::vector<std::shared_ptr<ArxApplication>> applications() const { return apps_; }

    // Sends msg to every application (packet null); applications dropped meanwhile are
    // skipped.
    void broadcast(AcRx::AppMsgCode msg, bool reverseOrder = false);
    // Calls an AutoLISP function: its acedRegFunc handler if the application registered one
    // for the code, else kInvkSubrMsg to the application.
    LispCallResult invoke(const Document::LispFunction& function);
    // Runs a command's handler in its owner's context.
    void run(const CommandStack::Command& command);

private:
    // Runs call in app's dispatch frame. False when an exception left the application; it is
    // reported on the host's output and goes no further.
    template <typename Call>
    bool callInto(const std::shared_ptr<ArxApplication>& app, int funCode, LispValue* result,
                  Call call);
    AcRx::AppRetCode send(const std::shared_ptr<ArxApplication>& app, AcRx::AppMsgCode msg,
                          void* packet);
    void discard(const std::shared_ptr<ArxApplication>& app);
    void closeIfIdle(ArxApplication& app);

    DispatchStack& dispatch_;
    CommandStack& commands_;
    DocumentManager& documents_;
    std::vector<std::shared_ptr<ArxApplication>> apps_;  // in load order
};

}  // namespace cadhost
