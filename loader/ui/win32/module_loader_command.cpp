#include "ui/win32/module_loader_command.h"

#include <qmenv/environment.h>
#include "ui/win32/win32.h"

#include <commctrl.h>

#include "catalogue/module_settings.h"
#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/logic/accelerator_table.h"
#include "ui/logic/first_run.h"
#include "ui/logic/resource_strings.h"
#include "ui/win32/host_bridge.h"
#include "ui/win32/loader_dialog.h"
#include "ui/win32/options_dialog.h"

namespace qm::ui::win32 {
namespace {

constexpr const char* kWelcomeFallback =
    "Please configure modules used in your Quillmont installation";

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// The module's manifest (common controls version 6) made current on this thread for the
// scope's lifetime: the host program's own manifest does not speak for a DLL.
class ActivationScope {
public:
    ActivationScope() {
        ACTCTXW info{};
        info.cbSize = sizeof(info);
        info.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        info.hModule = ThisModule();
        info.lpResourceName = MAKEINTRESOURCEW(2);
        context_ = CreateActCtxW(&info);
        if (context_ != INVALID_HANDLE_VALUE && !ActivateActCtx(context_, &cookie_)) {
            cookie_ = 0;
        }
    }
    ~ActivationScope() {
        if (cookie_ != 0) {
            DeactivateActCtx(0, cookie_);
        }
        if (context_ != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(context_);
        }
    }
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

// Windows made on this thread during the scope are per-monitor DPI aware (version 2: the
// dialog manager rescales the dialogs' fonts and controls when they move to another monitor).
class DpiScope {
public:
    DpiScope()
        : previous_(SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {}
    ~DpiScope() {
        if (previous_ != nullptr) {
            SetThreadDpiAwarenessContext(previous_);
        }
    }
    DpiScope(const DpiScope&) = delete;
    DpiScope& operator=(const DpiScope&) = delete;

private:
    DPI_AWARENESS_CONTEXT previous_;
};

}  // namespace

void RunModuleLoaderCommand(LoaderContext& context) {
    QmEnResourceLoader resources(names::kResourceModule);
    resources.Activate(nullptr);
    const AcceleratorTable* accelerators = AcceleratorTable::load(kAcceleratorTable);
    if (!HostHasGui()) {
        HostPrintLine(ResourceString(StringId::NeedsGuiHost));
        return;
    }
    const ActivationScope activation;
    const DpiScope dpi;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES |
                                                                          ICC_BAR_CLASSES |
                                                                          ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    const auto owner = static_cast<HWND>(HostMainWindow());
    LoaderDialog dialog(context, accelerators);
    if (TestAndMarkFirstRun()) {
        const std::string text = LoadResourceString(StringId::Welcome).value_or(kWelcomeFallback);
        ShowHostMessage(owner, text, MessageKind::Information);
        OptionsDialog options(context, std::string());
        options.run(owner);
    }
    WriteBaseModuleSettings(nullptr, &context.feedback());
    dialog.run(owner);
}

}  // namespace qm::ui::win32
