#include "ui/options_fill_worker.h"

#include <QThread>

#include "app/loader_context.h"

namespace qm::ui {

OptionsFillWorker::OptionsFillWorker(LoaderContext& context, QObject* parent)
    : QObject(parent), context_(context) {}

OptionsFillWorker::~OptionsFillWorker() {
    waitForThread();
}

void OptionsFillWorker::waitForThread() {
    if (thread_) {
        thread_->wait();
    }
}

bool OptionsFillWorker::start(std::vector<OptionsCheck> checks) {
    if (running_) {
        return false;
    }
    waitForThread();  // the previous worker has delivered; let its thread end
    running_ = true;
    LoaderContext* context = &context_;
    thread_.reset(QThread::create([this, context, checks = std::move(checks)]() {
        std::vector<OptionsItem> items;
        bool failed = false;
        try {
            StoreOptionChecks(context->modules(), checks, &context->log());
            items = ListOptionItems(context->modules(), context->baseModuleKey());
        } catch (...) {
            items.clear();
            failed = true;
        }
        // Queued to this object's thread; dropped if the object is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, items = std::move(items), failed]() {
                running_ = false;
                emit finished(items, failed);
            },
            Qt::QueuedConnection);
    }));
    thread_->start();
    return true;
}

}  // namespace qm::ui
