#pragma once
// Groups the current user's registry writes of one operation into a single transaction, so
// that thousands of values are written in one commit and a crash leaves either all or none of
// them. Registry calls made on this thread while the batch lives join it.
#include <memory>
#include <string>

namespace qmreg {
class Hive;
}

namespace qm {

class RegistryBatch {
public:
    // Begins the transaction. When the hive cannot be used the batch does nothing and the
    // writes go (or fail) one by one, as without a batch.
    RegistryBatch();
    // Rolls back unless Commit was called.
    ~RegistryBatch();
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;

    void Commit();
    bool active() const;

    // True when the current user's store opened but may only be read (its folder is
    // write-protected, the disk is full): settings come from it, but none can be saved. file,
    // when given, receives the store's path. False also when the store cannot be opened.
    static bool StoreIsReadOnly(std::string* file = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qm
