#include "application_manager.h"

#include <algorithm>
#include <exception>

#include <qmsys/files.h>

#include "arx_application.h"
#include "dispatch_stack.h"
#include "document_manager.h"
#include "text_util.h"

namespace cadhost {

namespace {
ArxLoadResult failure(std::string why) {
    return ArxLoadResult{RTERROR, std::move(why)};
}

void reportEscaped(const std::string& who, const char* what) {
    if (Host* host = Host::current()) {
        host->print(who + " raised an exception: " + what + "\n");
    }
}

// Runs call. An exception must not unwind through the host: it would end the whole session.
// It is reported on the host's output and the call counts as failed.
template <typename Call>
bool guarded(const std::string& who, Call&& call) {
    try {
        call();
        return true;
    } catch (const std::exception& e) {
        reportEscaped(who, e.what());
    } catch (...) {
        reportEscaped(who, "unknown exception");
    }
    return false;
}
}  // namespace

ApplicationManager::ApplicationManager(DispatchStack& dispatch, CommandStack& commands,
                                       DocumentManager& documents)
    : dispatch_(dispatch), commands_(commands), documents_(documents) {}

ApplicationManager::~ApplicationManager() {
    // Normally empty: the host unloads everything when it quits. Whatever is left is closed
    // without messages.
    for (const auto& app : apps_) {
        app->library.close();
    }
}

template <typename Call>
bool ApplicationManager::callInto(const std::shared_ptr<ArxApplication>& app, int funCode,
                                  LispValue* result, Call call) {
    ++app->callDepth;
    bool completed = true;
    {
        DispatchStack::Scope scope(dispatch_, DispatchStack::Frame{app, funCode, result});
        completed = guarded("Application \"" + app->fileName + "\"", call);
    }
    --app->callDepth;
    closeIfIdle(*app);
    return completed;
}

AcRx::AppRetCode ApplicationManager::send(const std::shared_ptr<ArxApplication>& app,
                                          AcRx::AppMsgCode msg, void* packet) {
    AcRx::AppRetCode rc = AcRx::kRetOK;
    if (app->discarded || app->entry == nullptr) {
        return rc;
    }
    if (!callInto(app, -1, nullptr, [&] { rc = app->entry(msg, packet); })) {
        return AcRx::kRetError;
    }
    return rc;
}

ArxLoadResult ApplicationManager::load(const std::string& requested) {
    if (requested.empty()) {
        return failure("no file name given");
    }
    const std::string path = absolutePath(requested);
    // Loaded already from this very path: nothing to look at on disk.
    if (find(path)) {
        return ArxLoadResult{RTNORM, {}};
    }
    // A path that cannot be examined (a symbolic-link loop, a folder the user may not enter, a
    // name too long for the system) is that load's failure, never the host's.
    qmsys::FileAttributes attributes;
    const qmsys::WinError error = qmsys::getFileAttributes(path, attributes);
    if (error != qmsys::kErrorSuccess || attributes.directory || attributes.special) {
        const bool missing = error == qmsys::kErrorSuccess || error == qmsys::kErrorFileNotFound ||
                             error == qmsys::kErrorPathNotFound;
        return failure(missing ? "file not found"
                               : "it cannot be examined (error " + std::to_string(error) + ")");
    }
    if (find(fileNameOf(path))) {
        return ArxLoadResult{RTNORM, {}};
    }

    auto app = std::make_shared<ArxApplication>();
    app->path = path;
    app->fileName = fileNameOf(path);
    // The library's static constructors may already register reactors or commands; they run
    // inside the open and are attributed to the new application.
    std::string why;
    ++app->callDepth;
    {
        DispatchStack::Scope scope(dispatch_, DispatchStack::Frame{app, -1, nullptr});
        app->library = qmsys::ClosableLibrary::open(path, why);
    }
    --app->callDepth;
    if (!app->library.isOpen()) {
        discard(app);
        return failure(why);
    }
    if (findByHandle(app->library.handle())) {
        // The same library under another name: the open only counted one more reference.
        app->library.close();
        return ArxLoadResult{RTNORM, {}};
    }
    app->entry = reinterpret_cast<AcRxEntryPointFunc>(app->library.symbol("acrxEntryPoint"));
    if (app->entry == nullptr) {
        discard(app);
        return failure("no acrxEntryPoint exported");
    }

    apps_.push_back(app);
    if (send(app, AcRx::kInitAppMsg, app->library.handle()) == AcRx::kRetError) {
        discard(app);
        return failure("the application refused to initialise");
    }
    for (Document* document : documents_.documents()) {
        if (app->discarded) {
            break;
        }
        DocumentManager::TemporaryCurrent current(documents_, document);
        send(app, AcRx::kLoadDwgMsg, nullptr);
    }
    if (app->discarded) {
        return failure("the application was unloaded while loading");
    }
    return ArxLoadResult{RTNORM, {}};
}

int ApplicationManager::unload(std::string_view nameOrPath) {
    const auto app = find(nameOrPath);
    if (!app || app->locked) {
        return RTERROR;
    }
    for (Document* document : documents_.documents()) {
        DocumentManager::TemporaryCurrent current(documents_, document);
        send(app, AcRx::kUnloadDwgMsg, nullptr);
    }
    send(app, AcRx::kUnloadAppMsg, app->library.handle());
    discard(app);
    return RTNORM;
}

void ApplicationManager::unloadAll() {
    while (!apps_.empty()) {
        const auto app = apps_.back();
        send(app, AcRx::kUnloadAppMsg, app->library.handle());
        discard(app);
    }
}

std::shared_ptr<ArxApplication> ApplicationManager::find(std::string_view nameOrPath) const {
    const bool byPath = hasFolder(nameOrPath);
    const std::string path = byPath ? absolutePath(std::string(nameOrPath)) : std::string();
    const auto it = std::find_if(apps_.begin(), apps_.end(), [&](const auto& app) {
        return byPath ? app->path == path : iequals(app->fileName, nameOrPath);
    });
    return it == apps_.end() ? nullptr : *it;
}

std::shared_ptr<ArxApplication> ApplicationManager::findByHandle(const void* appId) const {
    if (appId == nullptr) {
        return nullptr;
    }
    const auto it = std::find_if(apps_.begin(), apps_.end(),
                                 [&](const auto& app) { return app->library.handle() == appId; });
    return it == apps_.end() ? nullptr : *it;
}

void ApplicationManager::broadcast(AcRx::AppMsgCode msg, bool reverseOrder) {
    auto snapshot = apps_;
    if (reverseOrder) {
        std::reverse(snapshot.begin(), snapshot.end());
    }
    for (const auto& app : snapshot) {
        send(app, msg, nullptr);
    }
}

LispCallResult ApplicationManager::invoke(const Document::LispFunction& function) {
    const auto& app = function.app;
    if (!app || app->discarded) {
        return LispCallResult{};
    }
    LispCallResult out{LispCallResult::Outcome::Value, {}};
    const auto registered = app->registeredFunctions.find(function.code);
    if (registered != app->registeredFunctions.end()) {
        int (*handler)() = registered->second;
        int rc = RSRSLT;
        if (!callInto(app, function.code, &out.value, [&] { rc = handler(); })) {
            rc = RSERR;
        }
        if (rc == RSERR) {
            out.outcome = LispCallResult::Outcome::Failed;
        }
    } else {
        if (!callInto(app, function.code, &out.value,
                      [&] { app->entry(AcRx::kInvkSubrMsg, nullptr); })) {
            out.outcome = LispCallResult::Outcome::Failed;
        }
    }
    return out;
}

void ApplicationManager::run(const CommandStack::Command& command) {
    if (!command.owner) {
        guarded("the host", [&] { command.handler(); });
        return;
    }
    if (!command.owner->discarded) {
        callInto(command.owner, -1, nullptr, [&] { command.handler(); });
    }
}

void ApplicationManager::discard(const std::shared_ptr<ArxApplication>& app) {
    app->discarded = true;
    std::erase(apps_, app);
    commands_.removeOwnedBy(*app);
    documents_.removeOwnedBy(*app);
    app->registeredFunctions.clear();
    closeIfIdle(*app);
}

void ApplicationManager::closeIfIdle(ArxApplication& app) {
    if (app.discarded && app.callDepth == 0 && app.library.isOpen()) {
        qmsys::ClosableLibrary library = std::move(app.library);
        app.entry = nullptr;
        // Static destructors run here and may still call the host (remove their reactor).
        DispatchStack::Scope scope(dispatch_, DispatchStack::Frame{});
        library.close();
    }
}

}  // namespace cadhost
