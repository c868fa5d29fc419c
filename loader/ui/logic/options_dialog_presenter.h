#pragma once
// The Options dialog's behaviour, apart from any toolkit: the busy state while its list fills,
// the fill session on a worker thread (store the checks as the user left them, then list the
// modules; options_fill.h), OK and Cancel. A view (Qt widgets on Linux, native controls on
// Windows) builds the controls from dialog template 6062, passes each user action to the
// matching on...() call and carries out the requests of OptionsDialogView.
//
// Threads: every call into the presenter and every view call but postToUiThread() happens on
// the view's UI thread. A fill runs the fill procedure on a worker thread of its own while the
// dialog is busy (OK, Cancel and Refresh disabled, "Please wait..." shown, closing refused),
// then hands its result back through postToUiThread(); the presenter shows it from there. One
// fill at a time. The presenter's destructor waits for a running worker, and a result posted
// for a presenter that is gone is dropped, so the worker never touches a destroyed dialog.
//
// A view's life with its presenter:
//   1. construct the presenter with the view; create the controls;
//   2. when the dialog first shows, call start() (the first fill);
//   3. route commands: Refresh -> onRefresh(), OK (and Enter) -> onOk(), Cancel, Escape and
//      the close box -> onCancel() (refused while busy: check canClose() where a toolkit asks
//      first), Help -> onHelp().
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ui/logic/options_fill.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui {

// What the presenter asks of a view of the Options dialog. Control ids are those of dialog
// template 6062 (resource_ids.h); texts are UTF-8.
class OptionsDialogView {
public:
    virtual ~OptionsDialogView() = default;

    virtual void enableControl(int id, bool enabled) = 0;
    virtual void showControl(int id, bool shown) = 0;
    // The text of a static (the version line, 6110).
    virtual void setControlText(int id, const std::string& text) = 0;
    // The wait cursor over the application, on or off (not nested).
    virtual void setWaitCursor(bool on) = 0;

    // The list's items as the user left them: each item's key and check.
    virtual std::vector<OptionsCheck> listChecks() const = 0;
    // Empties the list (items and their keys).
    virtual void clearList() = 0;
    // Shows items in the order given (SortOptionItems' order), each with its check; an item
    // that is not enabled keeps its check and cannot be toggled.
    virtual void showItems(const std::vector<OptionsItem>& items) = 0;
    // The list's only line after a failed fill: text, without a key.
    virtual void showListError(const std::string& text) = 0;

    // Ends the modal dialog: with OK (true) or Cancel.
    virtual void closeDialog(bool ok) = 0;
    // Runs task on the UI thread soon, from any thread (a queued call, a posted message). A
    // task of a dialog that is already gone may be dropped.
    virtual void postToUiThread(std::function<void()> task) = 0;
    // A fill has put its items (or its error line) into the list. For observers; default:
    // nothing.
    virtual void listFilled() {}
};

// The order of the Options list, a sorted list box: as the user's language sorts, without
// regard to case ("survey" before "Terrain", "Österreich" with the O; qmsys::collate); names
// that compare equal so in UTF-16 order. <0, 0, >0.
int CompareOptionNames(std::string_view a, std::string_view b);
// Sorts items in that order (stable).
void SortOptionItems(std::vector<OptionsItem>& items);

class OptionsDialogPresenter {
public:
    // Both outlive the presenter. versionText: the version line, which start() shows; none
    // (the first-run welcome's opening) leaves the template's text.
    OptionsDialogPresenter(LoaderContext& context, OptionsDialogView& view,
                           std::optional<std::string> versionText = std::nullopt);
    // Waits for a running worker thread (its result, if still queued, is dropped). A view that
    // goes while busy takes its own wait cursor down.
    ~OptionsDialogPresenter();
    OptionsDialogPresenter(const OptionsDialogPresenter&) = delete;
    OptionsDialogPresenter& operator=(const OptionsDialogPresenter&) = delete;

    // The version line and the first fill, when the dialog first shows; later calls do
    // nothing.
    void start();
    // Refresh: stores the list as it stands and fills it again. Ignored while filling.
    void onRefresh();
    // OK: stores the checks, saves every module's settings and closes with OK. Ignored while
    // filling.
    void onOk();
    // Cancel: closes without storing anything more. Ignored while filling.
    void onCancel();
    void onHelp();

    // From the start of a fill until its result is shown.
    bool filling() const { return filling_; }
    bool canClose() const { return !filling_; }

private:
    struct Result {
        std::vector<OptionsItem> items;
        bool failed = false;
    };
    void startFill();
    void setBusy(bool busy);
    // From the worker thread (or from startFill when no thread can be had).
    void handOver(Result result);
    void deliver();
    void joinWorker();

    LoaderContext& context_;
    OptionsDialogView& view_;
    std::optional<std::string> versionText_;
    bool started_ = false;
    bool filling_ = false;
    std::thread worker_;
    // The worker's result, handed over under a lock of its own: the lock also orders the
    // worker's changes to the records before everything the UI thread does after delivery.
    std::mutex resultMutex_;
    std::optional<Result> result_;
    // Posted tasks hold this weakly: a presenter that is gone drops them.
    std::shared_ptr<OptionsDialogPresenter*> self_;
};

}  // namespace qm::ui
