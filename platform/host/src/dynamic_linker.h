#pragma once
// The dynamic linker applications see: locking, MDI awareness and symbol look-up on the
// applications the host has loaded. appId is the packet pointer of kInitAppMsg.
#include "cadhost/arx.h"

namespace cadhost {

class ApplicationManager;

class DynamicLinker final : public AcRxDynamicLinker {
public:
    explicit DynamicLinker(const ApplicationManager& apps) : apps_(apps) {}

    bool lockApplication(void* appId) const override;
    bool unlockApplication(void* appId) const override;
    bool registerAppMDIAware(void* appId) const override;
    bool isApplicationLocked(const char* appName) const override;
    void* getSymbolAddress(const char* appName, const char* symbol) const override;

private:
    const ApplicationManager& apps_;
};

}  // namespace cadhost
