#pragma once
// The host framework's application base classes: the behaviour every ARX application gets
// for free when it derives from AcRxArxApp. The framework
//  - on kInitAppMsg stores the module handle, unlocks the application and registers it as
//    MDI-aware (when asked to), calls the server-component hook and adds every command of the
//    application's command table to the command stack;
//  - on kUnloadAppMsg unregisters the custom classes and removes every command of the table.
// Applications supply their tables by overriding commandTable(); the framework collects the
// entries in the order given. Header-only, so that it is compiled into each application.
#include <cstdint>
#include <span>
#include <string>

#include "cadhost/arx.h"

namespace cadhost {

// One command of an application's command table. localName may be null; then resourceId
// names a string of the application's string table (loaded by localNameFor()).
struct ArxCommandEntry {
    const char* groupName;
    const char* globalName;
    const char* localName;
    std::int32_t flags;
    AcRxFunctionPtr handler;
    void* uiContext;
    int resourceId;
};

// Commands with this flag bit register without the application's resource scope.
inline constexpr std::int32_t kArxCmdNoResourceScope = 0x200000;

}  // namespace cadhost

class AcRxDbxApp {
public:
    AcRxDbxApp(bool unlockAtInit = true, bool mdiAware = true)
        : unlockAtInit_(unlockAtInit), mdiAware_(mdiAware) {}
    virtual ~AcRxDbxApp() = default;
    AcRxDbxApp(const AcRxDbxApp&) = delete;
    AcRxDbxApp& operator=(const AcRxDbxApp&) = delete;

    // Routes a message to its handler. Codes above kEndDialogMsg are ignored (kRetOK).
    AcRx::AppRetCode dispatch(AcRx::AppMsgCode msg, void* pkt) {
        switch (msg) {
            case AcRx::kNullMsg:
                return On_kNullMsg(pkt);
            case AcRx::kInitAppMsg:
                return On_kInitAppMsg(pkt);
            case AcRx::kUnloadAppMsg:
                return On_kUnloadAppMsg(pkt);
            case AcRx::kLoadDwgMsg:
                return On_kLoadDwgMsg(pkt);
            case AcRx::kUnloadDwgMsg:
                return On_kUnloadDwgMsg(pkt);
            case AcRx::kInvkSubrMsg:
                return On_kInvkSubrMsg(pkt);
            case AcRx::kCfgMsg:
                return On_kCfgMsg(pkt);
            case AcRx::kEndMsg:
                return On_kEndMsg(pkt);
            case AcRx::kQuitMsg:
                return On_kQuitMsg(pkt);
            case AcRx::kSaveMsg:
                return On_kSaveMsg(pkt);
            case AcRx::kDependencyMsg:
                return On_kDependencyMsg(pkt);
            case AcRx::kNoDependencyMsg:
                return On_kNoDependencyMsg(pkt);
            case AcRx::kOleUnloadAppMsg:
                return On_kOleUnloadAppMsg(pkt);
            case AcRx::kPreQuitMsg:
                return On_kPreQuitMsg(pkt);
            case AcRx::kInitDialogMsg:
                return On_kInitDialogMsg(pkt);
            case AcRx::kEndDialogMsg:
                return On_kEndDialogMsg(pkt);
        }
        return AcRx::kRetOK;
    }

    virtual AcRx::AppRetCode On_kInitAppMsg(void* pkt) {
        moduleHandle_ = pkt;
        if (unlockAtInit_ && acrxDynamicLinker()) {
            acrxDynamicLinker()->unlockApplication(pkt);
        }
        if (mdiAware_ && acrxDynamicLinker()) {
            acrxDynamicLinker()->registerAppMDIAware(pkt);
        }
        RegisterServerComponents();
        if (AcEdCommandStack* stack = acedRegCmds()) {
            for (const cadhost::ArxCommandEntry& e : commandTable()) {
                const std::string local = e.localName ? e.localName : localNameFor(e.resourceId);
                stack->addCommand(
                    e.groupName, e.globalName, local.c_str(), e.flags, e.handler, e.uiContext, -1,
                    (e.flags & cadhost::kArxCmdNoResourceScope) ? nullptr : moduleHandle_);
            }
        }
        return AcRx::kRetOK;
    }
    virtual AcRx::AppRetCode On_kUnloadAppMsg(void*) {
        if (AcEdCommandStack* stack = acedRegCmds()) {
            for (const cadhost::ArxCommandEntry& e : commandTable()) {
                stack->removeCmd(e.groupName, e.globalName);
            }
        }
        return AcRx::kRetOK;
    }
    virtual AcRx::AppRetCode On_kLoadDwgMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kUnloadDwgMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kInvkSubrMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kCfgMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kEndMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kQuitMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kSaveMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kDependencyMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kNoDependencyMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kOleUnloadAppMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kPreQuitMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kInitDialogMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kEndDialogMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kNullMsg(void*) { return AcRx::kRetOK; }
    virtual void RegisterServerComponents() {}

    // The module handle the host passed with kInitAppMsg; null before.
    void* moduleHandle() const { return moduleHandle_; }

protected:
    virtual std::span<const cadhost::ArxCommandEntry> commandTable() const { return {}; }
    // Local name of a command whose table entry has none.
    virtual std::string localNameFor(int /*resourceId*/) const { return {}; }

private:
    void* moduleHandle_ = nullptr;
    bool unlockAtInit_;
    bool mdiAware_;
};

class AcRxArxApp : public AcRxDbxApp {
public:
    using AcRxDbxApp::AcRxDbxApp;
};
