#pragma once
// The Options dialog on Win32: the check list of every module but the base module, filled on
// a worker thread (the fill stores the checks shown and lists the modules anew) while the
// dialog shows "Please wait..." with Refresh, OK and Cancel disabled; the worker posts its
// result back to the dialog's thread. OK stores the checks.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/logic/options_fill.h"
#include "ui/win32/check_list.h"
#include "ui/win32/dialog_window.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui::win32 {

class OptionsDialog : public DialogWindow {
public:
    OptionsDialog(LoaderContext& context, std::string versionText);
    ~OptionsDialog() override;

    // IDOK or IDCANCEL.
    INT_PTR run(HWND owner) { return runModal(owner); }

private:
    struct FillResult {
        std::vector<OptionsItem> items;
        bool failed = false;
    };
    void onInit() override;
    void onCommand(int id, int code, HWND control) override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void startFill();
    void finishFill();
    void setBusy(bool busy);
    std::vector<OptionsCheck> currentChecks() const;

    LoaderContext& context_;
    std::string versionText_;
    std::unique_ptr<CheckList> list_;
    std::thread worker_;
    std::mutex resultMutex_;
    std::optional<FillResult> result_;
    bool filling_ = false;
    HCURSOR savedCursor_ = nullptr;
};

}  // namespace qm::ui::win32
