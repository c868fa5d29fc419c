#pragma once
// The Options dialog on Win32: a view of OptionsDialogPresenter over template 6062, its check
// list an owner-drawn sorted list box (CheckList). The presenter's fill runs on a worker
// thread and comes back through postToUiThread(): a queue the dialog's thread empties when the
// message that announces it arrives.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/logic/options_dialog_presenter.h"
#include "ui/win32/check_list.h"
#include "ui/win32/dialog_window.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui::win32 {

class OptionsDialog : public DialogWindow, public OptionsDialogView {
public:
    // versionText: the version line; none leaves the template's (OptionsDialogPresenter).
    OptionsDialog(LoaderContext& context, std::optional<std::string> versionText);
    ~OptionsDialog() override;

    // IDOK or IDCANCEL; -1 when the dialog cannot be made.
    INT_PTR run(HWND owner) { return runModal(owner); }

    // OptionsDialogView
    void enableControl(int id, bool enabled) override;
    void showControl(int id, bool shown) override;
    void setControlText(int id, const std::string& text) override;
    void setWaitCursor(bool on) override;
    std::vector<OptionsCheck> listChecks() const override;
    void clearList() override;
    void showItems(const std::vector<OptionsItem>& items) override;
    void showListError(const std::string& text) override;
    void closeDialog(bool ok) override;
    void postToUiThread(std::function<void()> task) override;

private:
    void onInit() override;
    void onCommand(int id, int code, HWND control) override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void runPostedTasks();

    std::unique_ptr<CheckList> list_;
    std::mutex tasksMutex_;
    std::vector<std::function<void()>> tasks_;
    HWND window_ = nullptr;  // for postToUiThread from the worker; null once gone
    // Last, so that it goes first: its destructor waits for the worker, which may still post.
    OptionsDialogPresenter presenter_;
};

}  // namespace qm::ui::win32
