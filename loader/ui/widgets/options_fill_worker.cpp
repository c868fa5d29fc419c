#include "ui/widgets/options_fill_worker.h"

#include <system_error>

#include "runtime/loader_context.h"

namespace qm::ui {

OptionsFillWorker::OptionsFillWorker(LoaderContext& context, QObject* parent)
    : QObject(parent), context_(context) {}

OptionsFillWorker::~OptionsFillWorker() {
    waitForThread();
}

void OptionsFillWorker::waitForThread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool OptionsFillWorker::start(std::vector<OptionsCheck> checks) {
    if (running_) {
        return false;
    }
    waitForThread();  // the previous worker has delivered; let its thread end
    running_ = true;
    LoaderContext* context = &context_;
    try {
        thread_ = std::thread([this, context, checks = std::move(checks)]() {
            std::vector<OptionsItem> items;
            bool failed = false;
            try {
                StoreOptionChecks(context->modules(), checks, &context->log(),
                                  &context->feedback());
                items = ListOptionItems(context->modules(), context->baseModuleKey());
            } catch (...) {
                // Reported, not swallowed: the dialog shows "Internal error. Try again." in its
                // list, as it does for any failure of the fill.
                items.clear();
                failed = true;
            }
            handOver(Result{std::move(items), failed});
        });
    } catch (const std::system_error&) {
        // No thread to be had (the process's thread or memory limits): the fill fails as a
        // fill that threw would, and the user may try again.
        handOver(Result{{}, true});
    }
    return true;
}

void OptionsFillWorker::handOver(Result result) {
    {
        std::lock_guard lock(resultMutex_);
        result_ = std::move(result);
    }
    // Queued to this object's thread; dropped if the object is gone by then.
    QMetaObject::invokeMethod(
        this, [this] { deliver(); }, Qt::QueuedConnection);
}

void OptionsFillWorker::deliver() {
    Result result;
    {
        std::lock_guard lock(resultMutex_);
        if (!result_) {
            return;
        }
        result = std::move(*result_);
        result_.reset();
    }
    waitForThread();  // it ends right after handing over
    running_ = false;
    emit finished(result.items, result.failed);
}

}  // namespace qm::ui
