#pragma once
// Groups the current user's registry writes of one operation into a single transaction, so
// that thousands of values are written in one commit and a crash leaves either all or none of
// them. Registry calls made on this thread while the batch lives join it.
//
// A batch holds the store's write lock for its whole life: keep it short, and never hold one
// across file copies, process starts, menu loads or lock waits.
//
// Failures: a commit that fails is written to the diagnostic log given at construction
// (category "registry"). A batch that cannot begin is seen in active() and busy(); its values
// then go one by one and their failures are reported where they happen.
//
// On Windows the real registry has no transaction over many keys: a batch only groups the
// writes, each is seen at once, and a crash or a failure in the middle leaves the writes made
// so far. Every caller writes whole settings, so a later write puts a partial one right.
#include <memory>
#include <string>

namespace qmreg {
class Hive;
}

namespace qm {

class DiagnosticLog;

class RegistryBatch {
public:
    enum class Kind {
        Writes,  // takes the write lock at once (waiting the busy time-out at most)
        Reads,   // a consistent view of many reads; takes no write lock and never waits
    };

    // Begins the transaction. When the hive cannot be used the batch does nothing and the
    // writes go (or fail) one by one, as without a batch. log (may be null) receives the
    // failures, named by what (a short description of the operation).
    explicit RegistryBatch(Kind kind = Kind::Writes, DiagnosticLog* log = nullptr,
                           std::string what = {});
    // Rolls back unless commit was called.
    ~RegistryBatch();
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;

    // Commits the batch. False when the store refused the commit: then nothing the batch
    // wrote is stored, and the log says so. True also for an inactive batch (its writes went
    // one by one).
    bool commit();
    // Reads the current user's key and everything below it at once: until the batch ends (or
    // writes), the batch's reads inside that key are answered from this copy. For a batch
    // that reads many values of one subtree, such as every module's settings.
    void prefetch(const std::string& key);
    bool active() const;
    // The batch could not begin because another program kept the store's write lock for the
    // whole busy time-out.
    bool busy() const;

    // True when the current user's store opened but may only be read (its folder is
    // write-protected, the disk is full): settings come from it, but none can be saved. file,
    // when given, receives the store's path. False also when the store cannot be opened.
    static bool storeIsReadOnly(std::string* file = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qm
