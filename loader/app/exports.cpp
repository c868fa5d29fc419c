// The functions the module loader exports to the host and to other programs of the product
// family. This file is the only place that holds the process-wide objects (the application
// object, and the handle on the dialogs' module). The application object is
// constructed when the host opens the library and destroyed when the host closes it, which
// also releases the single-instance marker.
#include <cadhost/arx.h>
#include <qmsys/module.h>

#include <exception>
#include <string>

#include "app/dialogs_module.h"
#include "app/module_loader_app.h"
#include "app/startup_sequence.h"

namespace {

void moduleLoaderCommand();

// The dialogs' module, opened on the command's first run; it outlives the application object.
qm::DialogsModule theDialogs;
qm::CQmModuleLoaderApp theApp(&moduleLoaderCommand, &qm::RunStartupSequence);

void moduleLoaderCommand() {
    theDialogs.runCommand(theApp.context());
}

// Runs body; an exception never crosses into the caller, whose code knows nothing of ours.
// It is logged and fallback is returned instead.
template <typename Result, typename Body>
Result guarded(const char* what, Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        theApp.context().log().write("entry", std::string(what) + " failed: " + e.what());
    } catch (...) {
        theApp.context().log().write("entry", std::string(what) + " failed: unknown exception");
    }
    return fallback;
}

}  // namespace

extern "C" {

QM_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt) {
    // A failed initialisation refuses the application; any other message just ends.
    const AcRx::AppRetCode fallback = msg == AcRx::kInitAppMsg ? AcRx::kRetError : AcRx::kRetOK;
    return guarded("application message", fallback, [&] { return theApp.dispatch(msg, pkt); });
}

// Host API version the module loader is built for: release 24 in the upper half.
QM_EXPORT int acrxGetApiVersion() {
    return 0x00180000;
}

QM_EXPORT bool loadQCOMenu() {
    return guarded("loadQCOMenu", false, [] { return theApp.context().qcoMenu().loadQcoMenu(); });
}

QM_EXPORT bool unloadQCOMenu() {
    return guarded("unloadQCOMenu", false,
                   [] { return theApp.context().qcoMenu().unloadQcoMenu(); });
}

// The start-up report (one line per module brought up, then a total), for hosts that offer
// to print it. Valid until the next start-up.
QM_EXPORT const char* qmStartupProfile() {
    return theApp.context().startupProfile().c_str();
}

}  // extern "C"
