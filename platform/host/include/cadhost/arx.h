#pragma once
// The host's application programming interface, as ARX applications (shared objects loaded
// into the host process) see it. An ARX application exports, with C linkage,
//     AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt);
// and reaches the host only through the functions below. Functions that act on "the current
// application" (acedDefun, acedRegFunc, acedGetFunCode, ...) refer to the application whose
// message or AutoLISP function the host is dispatching at the time of the call.
//
// Calls made while no host exists in the process fail softly: accessors return null and
// functions return RTERROR.
#include <cstdint>

namespace AcRx {
enum AppMsgCode : int {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
    kCfgMsg = 6,
    kEndMsg = 7,
    kQuitMsg = 8,
    kSaveMsg = 9,
    kDependencyMsg = 10,
    kNoDependencyMsg = 11,
    kOleUnloadAppMsg = 12,
    kPreQuitMsg = 13,
    kInitDialogMsg = 14,
    kEndDialogMsg = 15,
};
enum AppRetCode : int { kRetOK = 0, kRetError = 3 };
}  // namespace AcRx

namespace Acad {
enum ErrorStatus : int {
    eOk = 0,
    eInvalidInput = 3,
    eKeyNotFound = 17,
    eDuplicateKey = 48,
    eNotApplicable = 93
};
}

// Result codes of the aced functions.
inline constexpr int RTNONE = 5000;
inline constexpr int RTREAL = 5001;
inline constexpr int RTSHORT = 5003;
inline constexpr int RTSTR = 5005;
inline constexpr int RTLONG = 5010;
inline constexpr int RTNORM = 5100;
inline constexpr int RTERROR = -5001;
inline constexpr int RTCAN = -5002;
// What an AutoLISP function handler returns to the host.
inline constexpr int RSRSLT = 1;
inline constexpr int RSERR = 3;

extern "C" {
typedef AcRx::AppRetCode (*AcRxEntryPointFunc)(AcRx::AppMsgCode msg, void* pkt);
}

// Marks what an ARX application exports: its acrxEntryPoint, and whatever it offers other
// modules. An application built with hidden symbols (as the SDK's cadhost_add_arx builds it)
// exports that and nothing else, on Linux and as a Windows DLL.
#if defined(_WIN32)
#define CADHOST_EXPORT __declspec(dllexport)
#else
#define CADHOST_EXPORT __attribute__((visibility("default")))
#endif
using AcRxFunctionPtr = void (*)();

// The dynamic linker. appId is the packet pointer the host passed with kInitAppMsg.
class AcRxDynamicLinker {
public:
    virtual ~AcRxDynamicLinker() = default;
    // A locked application is not unloaded on a user's request (acedArxUnload fails).
    virtual bool lockApplication(void* appId) const = 0;
    virtual bool unlockApplication(void* appId) const = 0;
    virtual bool registerAppMDIAware(void* appId) const = 0;
    virtual bool isApplicationLocked(const char* appName) const = 0;
    // Address of an exported symbol of a loaded application, looked up by the application's
    // file name ("QmModuleLoader.arx") or full path; null when not loaded or not exported.
    virtual void* getSymbolAddress(const char* appName, const char* symbol) const = 0;
};
AcRxDynamicLinker* acrxDynamicLinker();

// Command flags.
inline constexpr std::int32_t ACRX_CMD_MODAL = 0;
inline constexpr std::int32_t ACRX_CMD_TRANSPARENT = 1;

// The command stack. Command names match without regard to case; a command is found by its
// global or its local name.
class AcEdCommandStack {
public:
    virtual ~AcEdCommandStack() = default;
    virtual Acad::ErrorStatus addCommand(const char* groupName, const char* globalName,
                                         const char* localName, std::int32_t flags,
                                         AcRxFunctionPtr handler, void* uiContext = nullptr,
                                         int fcode = -1, void* resourceHandle = nullptr) = 0;
    virtual Acad::ErrorStatus removeCmd(const char* groupName, const char* globalName) = 0;
    virtual Acad::ErrorStatus removeGroup(const char* groupName) = 0;
};
AcEdCommandStack* acedRegCmds();

// AutoLISP. Functions are defined per drawing: acedDefun/acedUndef act on the current
// drawing. When a defined function is called, the host calls the handler registered for its
// code with acedRegFunc, or otherwise sends kInvkSubrMsg to the defining application, during
// which acedGetFunCode() returns the code.
int acedDefun(const char* name, int funcNumber);
int acedUndef(const char* name, int funcNumber);
int acedGetFunCode();
int acedRegFunc(int (*handler)(), int funcNumber);
int acedRetInt(int value);
int acedRetStr(const char* value);
int acedRetNil();

// Loads an ARX application: opens the shared object, sends kInitAppMsg. RTERROR when the
// file cannot be opened, exports no acrxEntryPoint, or its initialisation returns kRetError
// (the host then discards it). Loading an application that is already loaded returns RTNORM
// and does nothing.
int acedArxLoad(const char* path);
// Unloads a loaded application by file name or path; RTERROR when not loaded or locked.
int acedArxUnload(const char* appName);
// Runs a command: acedCommandS(RTSTR, "NAME", ..., RTNONE). RTNORM when the command exists
// and ran, RTERROR otherwise.
int acedCommandS(int rtype, ...);

// True when a menu group of that name (compared without regard to case) is loaded.
bool acedIsMenuGroupLoaded(const char* groupName);

// Prints printf-formatted text on the host's command line (its output). Returns the number of
// bytes written, or -1 when no host runs.
int acutPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Drawings.
class AcApDocument {
public:
    virtual ~AcApDocument() = default;
    virtual const char* fileName() const = 0;
};

class AcApDocManagerReactor {
public:
    virtual ~AcApDocManagerReactor() = default;
    virtual void documentCreated(AcApDocument*) {}
    virtual void documentToBeDestroyed(AcApDocument*) {}
    virtual void documentBecameCurrent(AcApDocument*) {}
};

class AcApDocManager {
public:
    virtual ~AcApDocManager() = default;
    virtual AcApDocument* curDocument() const = 0;
    virtual int documentCount() const = 0;
    virtual void addReactor(AcApDocManagerReactor* reactor) = 0;
    virtual void removeReactor(AcApDocManagerReactor* reactor) = 0;
};
AcApDocManager* acDocManagerPtr();

// The host's main frame window; opaque to applications (in the GUI host it is the main
// QWidget). Null in the console host.
class AcFrameWindow;
AcFrameWindow* acedGetAcadFrame();
