#include "ui/win32/module_loader_command.h"

#include "ui/win32/win32.h"

#include <commctrl.h>

#include "ui/logic/loader_command.h"
#include "ui/win32/host_bridge.h"
#include "ui/win32/loader_dialog.h"
#include "ui/win32/options_dialog.h"

namespace qm::ui::win32 {
namespace {

// The module's manifest (common controls version 6) made current on this thread for the
// scope's lifetime: the host program's own manifest does not speak for a DLL.
class ActivationScope {
public:
    ActivationScope() {
        ACTCTXW info{};
        info.cbSize = sizeof(info);
        info.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        info.hModule = thisModule();
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

// The command's dialogs on Win32, owned by the host's main window, in the module's common
// controls and per-monitor DPI awareness.
class Win32CommandView final : public LoaderCommandView {
public:
    explicit Win32CommandView(LoaderContext& context) : context_(context) {}

    bool hasGui() const override { return HostHasGui(); }
    void printLine(const std::string& text) override { HostPrintLine(text); }
    void openDialogs(const AcceleratorTable* accelerators,
                     const std::function<void()>& run) override {
        const ActivationScope activation;
        const DpiScope dpi;
        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES |
                                                                              ICC_BAR_CLASSES |
                                                                              ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        owner_ = static_cast<HWND>(HostMainWindow());
        LoaderDialog dialog(context_, accelerators);
        dialog_ = &dialog;
        run();
        dialog_ = nullptr;
    }
    void showWelcome(const std::string& text) override {
        ShowHostMessage(owner_, text, MessageKind::Information);
    }
    void runOptionsDialog() override {
        OptionsDialog options(context_, std::nullopt);
        options.run(owner_);
    }
    void runLoaderDialog() override { dialog_->run(owner_); }

private:
    LoaderContext& context_;
    HWND owner_ = nullptr;
    LoaderDialog* dialog_ = nullptr;
};

}  // namespace

void RunModuleLoaderCommand(LoaderContext& context) {
    Win32CommandView view(context);
    RunLoaderCommand(context, view);
}

}  // namespace qm::ui::win32
