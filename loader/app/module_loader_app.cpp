#include "app/module_loader_app.h"

#include <cadhost/services.h>
#include <qmsys/named_mutex.h>

#include <exception>
#include <string>

#include "app/lisp_queries.h"
#include "environment/names.h"

namespace qm {

namespace {

constexpr LispEntry kLispTable[] = {
    {names::kLispCommandLine.data(), &CheckCommandlineSetting, false, -1},
    {names::kLispInsUnits.data(), &CheckInsUnitsDefSourceSetting, false, -1},
};

}  // namespace

CQmModuleLoaderApp::CQmModuleLoaderApp(AcRxFunctionPtr command,
                                       std::function<void(LoaderContext&)> startup)
    : command_{names::kCommandGroup.data(),
               names::kCommandName.data(),
               names::kCommandName.data(),
               ACRX_CMD_MODAL,
               command,
               nullptr,
               -1},
      startup_(std::move(startup)) {}

CQmModuleLoaderApp::~CQmModuleLoaderApp() = default;

std::span<const cadhost::ArxCommandEntry> CQmModuleLoaderApp::commandTable() const {
    return {&command_, 1};
}

std::span<const LispEntry> CQmModuleLoaderApp::lispTable() {
    return kLispTable;
}

AcRx::AppRetCode CQmModuleLoaderApp::On_kInitAppMsg(void* pkt) {
    AcRxArxApp::On_kInitAppMsg(pkt);

    // A second module loader in the same session (another host process) refuses to start.
    // The command registered above stays; the host discards this application anyway.
    bool alreadyExists = false;
    std::string why;
    auto marker = qmsys::ExistenceMarker::create(std::string(names::kSingleInstanceMutex),
                                                 alreadyExists, &why);
    if (alreadyExists) {
        return AcRx::kRetError;
    }
    if (!marker) {
        // Without the marker there is no telling whether another module loader runs in this
        // session; two of them would fight over the same menus and settings. Refuse, and say
        // why, since the user can fix it.
        const std::string text =
            "The module loader was not started: it cannot tell whether another one runs in "
            "this session, because " +
            why + ".";
        context_.log().write("startup", text);
        cadhost::messageBox(acedGetAcadFrame(), text, names::kMessageCaption,
                            cadhost::MB_ICONERROR | cadhost::MB_OK);
        return AcRx::kRetError;
    }
    context_.holdInstanceMarker(std::move(marker));

    if (AcRxDynamicLinker* linker = acrxDynamicLinker()) {
        linker->lockApplication(pkt);
    }
    context_.setBaseModuleKey(names::kBaseModuleKey);
    // Nothing the start-up meets may fail the initialisation: the loader stays, with its
    // command, so that the user can still reach the dialog.
    if (startup_) {
        try {
            startup_(context_);
        } catch (const std::exception& e) {
            context_.log().write("startup", std::string("start-up ended early: ") + e.what());
        }
    }
    return AcRx::kRetOK;
}

AcRx::AppRetCode CQmModuleLoaderApp::On_kLoadDwgMsg(void*) {
    int code = 0;
    for (const LispEntry& e : lispTable()) {
        acedDefun(e.name, code);
        if (e.registerWithHost) {
            acedRegFunc(e.handler, code);
        }
        ++code;
    }
    return AcRx::kRetOK;
}

AcRx::AppRetCode CQmModuleLoaderApp::On_kUnloadDwgMsg(void*) {
    int code = 0;
    for (const LispEntry& e : lispTable()) {
        acedUndef(e.name, code++);
    }
    return AcRx::kRetOK;
}

AcRx::AppRetCode CQmModuleLoaderApp::On_kInvkSubrMsg(void*) {
    const int code = acedGetFunCode();
    const auto table = lispTable();
    if (code >= 0 && static_cast<std::size_t>(code) < table.size()) {
        table[static_cast<std::size_t>(code)].handler();
    }
    return AcRx::kRetOK;
}

AcRx::AppRetCode CQmModuleLoaderApp::On_kQuitMsg(void*) {
    // The host is ending: module records go, nothing is unloaded and nothing is saved.
    context_.clearModules();
    return AcRx::kRetOK;
}

}  // namespace qm
