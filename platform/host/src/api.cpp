// The global API functions of arx.h, automation.h and services.h: each routes to the current
// host and fails softly when there is none.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "arx_application.h"
#include "cadhost/arx.h"
#include "cadhost/automation.h"
#include "cadhost/host.h"
#include "cadhost/services.h"
#include "host_p.h"

using cadhost::Host;

namespace {

Host::Impl* hostImpl() {
    Host* host = Host::current();
    return host != nullptr ? &host->impl() : nullptr;
}

int storeResult(cadhost::LispValue value) {
    Host::Impl* impl = hostImpl();
    cadhost::LispValue* result = impl != nullptr ? impl->dispatch.result() : nullptr;
    if (result == nullptr) {
        return RTERROR;
    }
    *result = std::move(value);
    return RTNORM;
}

void changeWaitCursor(int delta) {
    Host::Impl* impl = hostImpl();
    if (impl == nullptr) {
        return;
    }
    std::shared_ptr<cadhost::UiServices> ui;
    bool show = false;
    {
        std::lock_guard lock(impl->uiMutex);
        const int before = impl->waitCursorDepth;
        impl->waitCursorDepth = std::max(0, before + delta);
        if ((before == 0) == (impl->waitCursorDepth == 0)) {
            return;
        }
        ui = impl->ui;
        show = impl->waitCursorDepth > 0;
    }
    ui->setWaitCursor(show);
}

}  // namespace

AcRxDynamicLinker* acrxDynamicLinker() {
    Host::Impl* impl = hostImpl();
    return impl != nullptr ? &impl->linker : nullptr;
}

AcEdCommandStack* acedRegCmds() {
    Host::Impl* impl = hostImpl();
    return impl != nullptr ? &impl->commands : nullptr;
}

AcApDocManager* acDocManagerPtr() {
    Host::Impl* impl = hostImpl();
    return impl != nullptr ? &impl->documents : nullptr;
}

int acedDefun(const char* name, int funcNumber) {
    Host::Impl* impl = hostImpl();
    if (impl == nullptr || name == nullptr || *name == '\0') {
        return RTERROR;
    }
    auto app = impl->dispatch.currentApp();
    cadhost::Document* document = impl->documents.current();
    if (!app || document == nullptr) {
        return RTERROR;
    }
    document->define(name, cadhost::Document::LispFunction{std::move(app), funcNumber});
    return RTNORM;
}

int acedUndef(const char* name, int funcNumber) {
    Host::Impl* impl = hostImpl();
    if (impl == nullptr || name == nullptr) {
        return RTERROR;
    }
    const auto app = impl->dispatch.currentApp();
    cadhost::Document* document = impl->documents.current();
    if (!app || document == nullptr || !document->undefine(name, *app, funcNumber)) {
        return RTERROR;
    }
    return RTNORM;
}

int acedGetFunCode() {
    Host::Impl* impl = hostImpl();
    const int code = impl != nullptr ? impl->dispatch.funCode() : -1;
    return code >= 0 ? code : RTERROR;
}

int acedRegFunc(int (*handler)(), int funcNumber) {
    Host::Impl* impl = hostImpl();
    const auto app = impl != nullptr ? impl->dispatch.currentApp() : nullptr;
    if (!app) {
        return RTERROR;
    }
    if (handler == nullptr) {
        app->registeredFunctions.erase(funcNumber);
    } else {
        app->registeredFunctions[funcNumber] = handler;
    }
    return RTNORM;
}

int acedRetInt(int value) {
    return storeResult(value);
}

int acedRetStr(const char* value) {
    return storeResult(std::string(value != nullptr ? value : ""));
}

int acedRetNil() {
    return storeResult(std::monostate{});
}

int acedArxLoad(const char* path) {
    Host* host = Host::current();
    if (host == nullptr || path == nullptr) {
        return RTERROR;
    }
    return host->loadApplication(path).status;
}

int acedArxUnload(const char* appName) {
    Host* host = Host::current();
    if (host == nullptr || appName == nullptr) {
        return RTERROR;
    }
    return host->unloadApplication(appName);
}

int acedCommandS(int rtype, ...) {
    std::vector<std::string> words;
    bool understood = true;
    va_list args;
    va_start(args, rtype);
    for (int type = rtype; type != RTNONE && understood; type = va_arg(args, int)) {
        switch (type) {
            case RTSTR: {
                const char* text = va_arg(args, const char*);
                words.emplace_back(text != nullptr ? text : "");
                break;
            }
            case RTSHORT:
            case RTLONG:
                words.push_back(std::to_string(va_arg(args, int)));
                break;
            case RTREAL: {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%.16g", va_arg(args, double));
                words.emplace_back(buffer);
                break;
            }
            default:
                // The remaining arguments cannot be read safely.
                understood = false;
                break;
        }
    }
    va_end(args);
    Host* host = Host::current();
    if (!understood || host == nullptr || words.empty()) {
        return RTERROR;
    }
    return host->runCommand(words) ? RTNORM : RTERROR;
}

bool acedIsMenuGroupLoaded(const char* groupName) {
    Host::Impl* impl = hostImpl();
    return impl != nullptr && groupName != nullptr && impl->menuGroups->contains(groupName);
}

int acutPrintf(const char* format, ...) {
    Host* host = Host::current();
    if (host == nullptr || format == nullptr) {
        return -1;
    }
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(args);
    host->print(text);
    return length;
}

AcFrameWindow* acedGetAcadFrame() {
    Host* host = Host::current();
    return host != nullptr ? host->frame() : nullptr;
}

cadhost::IAcadApplication* acedGetAcadWinApp() {
    Host* host = Host::current();
    return host != nullptr ? &host->automation() : nullptr;
}

namespace cadhost {

int messageBox(AcFrameWindow* owner, std::string_view text, std::string_view caption,
               unsigned style) {
    Host::Impl* impl = hostImpl();
    if (impl == nullptr) {
        return 0;
    }
    return impl->uiServices()->messageBox(owner, std::string(text), std::string(caption), style);
}

bool hasGui() {
    Host::Impl* impl = hostImpl();
    return impl != nullptr && impl->uiServices()->hasGui();
}

void beginWaitCursor() {
    changeWaitCursor(+1);
}

void endWaitCursor() {
    changeWaitCursor(-1);
}

}  // namespace cadhost
