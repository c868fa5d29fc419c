#pragma once
// Per-drawing application data: one T per open drawing, created on first use and dropped
// when the host reports that the drawing is about to be destroyed. The manager registers
// itself with the host's document manager for as long as it lives (when a host runs).
#include <map>

#include "cadhost/arx.h"

template <typename T>
class AcApDataManager : public AcApDocManagerReactor {
public:
    AcApDataManager() : docManager_(acDocManagerPtr()) {
        if (docManager_) {
            docManager_->addReactor(this);
        }
    }
    ~AcApDataManager() override {
        if (docManager_ && acDocManagerPtr() == docManager_) {
            docManager_->removeReactor(this);
        }
    }
    AcApDataManager(const AcApDataManager&) = delete;
    AcApDataManager& operator=(const AcApDataManager&) = delete;

    void documentToBeDestroyed(AcApDocument* doc) override { data_.erase(doc); }

    // The current drawing's record, created on first use. Precondition: a drawing is open.
    T& docData() { return data_[docManager_ ? docManager_->curDocument() : nullptr]; }
    std::size_t size() const { return data_.size(); }

private:
    AcApDocManager* docManager_;
    std::map<AcApDocument*, T> data_;
};
