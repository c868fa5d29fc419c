#include "ui/logic/options_dialog_presenter.h"

#include <qmenv/environment.h>
#include <qmsys/text.h>

#include <algorithm>
#include <system_error>

#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/logic/resource_ids.h"
#include "ui/logic/resource_strings.h"

namespace qm::ui {

int CompareOptionNames(std::string_view a, std::string_view b) {
    const int order = qmsys::collate(a, b);
    return order != 0 ? order : qmsys::compareUtf16(a, b);
}

void SortOptionItems(std::vector<OptionsItem>& items) {
    std::stable_sort(items.begin(), items.end(), [](const OptionsItem& a, const OptionsItem& b) {
        return CompareOptionNames(a.name, b.name) < 0;
    });
}

OptionsDialogPresenter::OptionsDialogPresenter(LoaderContext& context, OptionsDialogView& view,
                                               std::optional<std::string> versionText)
    : context_(context),
      view_(view),
      versionText_(std::move(versionText)),
      self_(std::make_shared<OptionsDialogPresenter*>(this)) {}

OptionsDialogPresenter::~OptionsDialogPresenter() {
    joinWorker();
}

void OptionsDialogPresenter::joinWorker() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void OptionsDialogPresenter::start() {
    if (started_) {
        return;
    }
    started_ = true;
    if (versionText_) {
        view_.setControlText(kIdVersion, *versionText_);
    }
    startFill();
}

void OptionsDialogPresenter::setBusy(bool busy) {
    view_.showControl(kIdPleaseWait, busy);
    for (int id : {kIdRefresh, kIdOk, kIdCancel}) {
        view_.enableControl(id, !busy);
    }
    view_.setWaitCursor(busy);
}

void OptionsDialogPresenter::onRefresh() {
    startFill();
}

void OptionsDialogPresenter::startFill() {
    if (filling_) {
        return;
    }
    filling_ = true;
    setBusy(true);
    // The checks go to the worker; the list empties now and shows the worker's result later.
    std::vector<OptionsCheck> checks = view_.listChecks();
    view_.clearList();
    joinWorker();  // the previous worker has delivered; let its thread end
    LoaderContext* context = &context_;
    try {
        worker_ = std::thread([this, context, checks = std::move(checks)]() {
            Result result;
            try {
                StoreOptionChecks(context->modules(), checks, &context->log(),
                                  &context->feedback());
                result.items = ListOptionItems(context->modules(), context->baseModuleKey());
                SortOptionItems(result.items);
            } catch (...) {
                // Reported, not swallowed: the list shows "Internal error. Try again.", as it
                // does for any failure of the fill.
                result = Result{{}, true};
            }
            handOver(std::move(result));
        });
    } catch (const std::system_error&) {
        // No thread to be had (the process's thread or memory limits): the fill fails as a
        // fill that threw would, and the user may try again.
        handOver(Result{{}, true});
    }
}

void OptionsDialogPresenter::handOver(Result result) {
    {
        std::lock_guard lock(resultMutex_);
        result_ = std::move(result);
    }
    std::weak_ptr<OptionsDialogPresenter*> self = self_;
    view_.postToUiThread([self] {
        if (std::shared_ptr<OptionsDialogPresenter*> alive = self.lock()) {
            (*alive)->deliver();
        }
    });
}

void OptionsDialogPresenter::deliver() {
    Result result;
    {
        std::lock_guard lock(resultMutex_);
        if (!result_) {
            return;
        }
        result = std::move(*result_);
        result_.reset();
    }
    joinWorker();  // it ends right after handing over
    view_.clearList();
    if (result.failed) {
        view_.showListError(ResourceString(StringId::OptionsInternalError));
    } else {
        view_.showItems(result.items);
    }
    filling_ = false;
    setBusy(false);
    view_.listFilled();
}

void OptionsDialogPresenter::onOk() {
    if (filling_) {
        return;
    }
    const std::vector<OptionsCheck> checks = view_.listChecks();
    view_.clearList();
    StoreOptionChecks(context_.modules(), checks, &context_.log(), &context_.feedback());
    view_.closeDialog(true);
}

void OptionsDialogPresenter::onCancel() {
    if (filling_) {
        return;
    }
    view_.closeDialog(false);
}

void OptionsDialogPresenter::onHelp() {
    QmEnHelp(names::kHelpTopic, names::kHelpName);
}

}  // namespace qm::ui
