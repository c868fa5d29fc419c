#include "dynamic_linker.h"

#include "application_manager.h"
#include "arx_application.h"

namespace cadhost {

bool DynamicLinker::lockApplication(void* appId) const {
    const auto app = apps_.findByHandle(appId);
    if (!app) {
        return false;
    }
    app->locked = true;
    return true;
}

bool DynamicLinker::unlockApplication(void* appId) const {
    const auto app = apps_.findByHandle(appId);
    if (!app) {
        return false;
    }
    app->locked = false;
    return true;
}

bool DynamicLinker::registerAppMDIAware(void* appId) const {
    const auto app = apps_.findByHandle(appId);
    if (!app) {
        return false;
    }
    app->mdiAware = true;
    return true;
}

bool DynamicLinker::isApplicationLocked(const char* appName) const {
    const auto app = appName != nullptr ? apps_.find(appName) : nullptr;
    return app && app->locked;
}

void* DynamicLinker::getSymbolAddress(const char* appName, const char* symbol) const {
    if (appName == nullptr || symbol == nullptr) {
        return nullptr;
    }
    const auto app = apps_.find(appName);
    return app ? app->library.symbol(symbol) : nullptr;
}

}  // namespace cadhost
