#include "app/module_loader_app.h"

#include <qmsys/named_mutex.h>

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
    auto marker =
        qmsys::ExistenceMarker::create(std::string(names::kSingleInstanceMutex), alreadyExists);
    if (alreadyExists) {
        return AcRx::kRetError;
    }
    context_.holdInstanceMarker(std::move(marker));

    if (AcRxDynamicLinker* linker = acrxDynamicLinker()) {
        linker->lockApplication(pkt);
    }
    context_.setBaseModuleKey(std::string(names::kBaseModuleKey));
    if (startup_) {
        startup_(context_);
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
