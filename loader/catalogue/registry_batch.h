#pragma once
// Groups the current user's registry writes of one operation into a single transaction, so
// that thousands of values are written in one commit and a crash leaves either all or none of
// them. Registry calls made on this thread while the batch lives join it.
//
// A batch holds the store's write lock for its whole life: keep it short, and never hold one
// across file copies, process starts, menu loads or lock waits.
#include <memory>
#include <string>

namespace qmreg {
class Hive;
}

namespace qm {

class RegistryBatch {
public:
    enum class Kind {
        Writes,  // takes the write lock at once (waiting the busy time-out at most)
        Reads,   // a consistent view of many reads; takes no write lock and never waits
    };

    // Begins the transaction. When the hive cannot be used the batch does nothing and the
    // writes go (or fail) one by one, as without a batch.
    explicit RegistryBatch(Kind kind = Kind::Writes);
    // Rolls back unless Commit was called.
    ~RegistryBatch();
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;

    void Commit();
    // Reads the current user's key and everything below it at once: until the batch ends (or
    // writes), the batch's reads inside that key are answered from this copy. For a batch
    // that reads many values of one subtree, such as every module's settings.
    void Prefetch(const std::string& key);
    bool active() const;
    // The batch could not begin because another program kept the store's write lock for the
    // whole busy time-out.
    bool busy() const;

    // True when the current user's store opened but may only be read (its folder is
    // write-protected, the disk is full): settings come from it, but none can be saved. file,
    // when given, receives the store's path. False also when the store cannot be opened.
    static bool StoreIsReadOnly(std::string* file = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qm
