// The calling thread's connections, on every system: one per thread and hive (SQLite wants a
// connection used by one thread, and a hive object belongs to one thread on every system).
#include <map>

#include "name_folding_p.h"
#include "qmreg/registry.h"

namespace qmreg {

namespace {

// What a read of the key at path is counted under: its folded form, which a KeyPath holds
// already for the store; on Windows a KeyPath keeps the letter case (the registry folds names
// itself), so the count folds it, and keys read in two spellings count as one.
std::string countedName(const std::string& path) {
#if defined(_WIN32)
    return detail::foldName(path);
#else
    return path;
#endif
}

}  // namespace

Hive& Hive::forThread(HiveId hive) {
    return *sharedForThread(hive);
}

std::shared_ptr<Hive> Hive::sharedForThread(HiveId hive) {
    thread_local std::map<HiveId, std::shared_ptr<Hive>> connections;
    std::shared_ptr<Hive>& slot = connections[hive];
    // A connection in the middle of a transaction is kept until that transaction ends, so its
    // file is not even worked out: a start-up opens thousands of keys in one
    // (docs/PERFORMANCE.md: a thread's connection inside a transaction).
    if (slot && slot->inTransaction())
        return slot;
    const std::string file = hiveFile(hive);
    if (slot && slot->file() == file)
        return slot;
    slot.reset();
    slot = openForThread(hive, file);
    return slot;
}

std::uint32_t Hive::keyReads(std::string_view key) const {
    const KeyPath path(key);
    const auto it = stats_.keyReads.find(countedName(path.folded_));
    return it == stats_.keyReads.end() ? 0 : it->second;
}

void Hive::countStoreRead(const std::string& folded) {
    if (countKeys_)
        ++stats_.keyReads[countedName(folded)];
    if (!inTransaction())
        ++stats_.transactions;
}

}  // namespace qmreg
