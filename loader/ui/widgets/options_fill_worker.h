#pragma once
// Runs the Options dialog's fill procedure (store, then list) on a worker thread of its own
// and hands the result back to the thread this object lives in through a queued call. One
// fill at a time; the object waits for a running worker when it is destroyed, so a worker
// never outlives the records' user interface.
#include <QObject>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "ui/logic/options_fill.h"

namespace qm {
class LoaderContext;
}

namespace qm::ui {

class OptionsFillWorker : public QObject {
    Q_OBJECT

public:
    explicit OptionsFillWorker(LoaderContext& context, QObject* parent = nullptr);
    ~OptionsFillWorker() override;

    // Starts a fill that first stores checks. False, starting nothing, while a fill runs.
    bool start(std::vector<OptionsCheck> checks);
    // From start() until finished has been delivered.
    bool running() const { return running_; }
    // Blocks until the worker thread has ended (its result may still be queued).
    void waitForThread();

signals:
    // Delivered on this object's thread. failed: an exception ended the fill; items is empty.
    void finished(const std::vector<qm::ui::OptionsItem>& items, bool failed);

private:
    struct Result {
        std::vector<OptionsItem> items;
        bool failed = false;
    };
    // Keeps a fill's result and queues its delivery; from any thread.
    void handOver(Result result);
    void deliver();

    LoaderContext& context_;
    std::thread thread_;
    bool running_ = false;
    // The worker's result, handed over under a lock of its own: the lock also orders the
    // worker's changes to the records before everything the GUI thread does after delivery.
    std::mutex resultMutex_;
    std::optional<Result> result_;
};

}  // namespace qm::ui
