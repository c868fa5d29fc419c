// Catalogue snapshots from untrusted bytes. The input is the part of a snapshot file after
// its scope (entry count, entries), put behind the header of a snapshot whose scope matches
// and sealed with a matching checksum, so that the structure itself is what gets tested; the
// same bytes are also decoded as one stored outcome. Any outcome is fine except a crash, a
// leak, undefined behaviour, a snapshot kept in part, or an accepted rejection without a
// reason.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalogue/catalogue_snapshot.h"

namespace {

const qm::SnapshotScope& scope() {
    static const qm::SnapshotScope s{"default",       "enu",   "/fuzz/Zadod/Modules",
                                     "*.default.xml", "/fuzz", {{"<TEMP>", "/tmp"}},
                                     "/fuzz/loader",  {},      {}};
    return s;
}

// The header of a snapshot of scope, up to (not including) its entry count.
const std::string& header() {
    static const std::string bytes = [] {
        using namespace qm::snapshot_layout;
        // Marked after the schema's (zero) times, so that entries are read at all.
        const qm::SnapshotBuilder empty(scope(), qmsys::markLocalFileClock());
        std::string serialized = empty.serialize();
        serialized.resize(serialized.size() - kCountBytes - kFlagBytes - kChecksumBytes);
        return serialized;
    }();
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string bytes = header();
    bytes.append(input);
    bytes.append(qm::snapshot_layout::kChecksumBytes, '\0');
    qm::SnapshotBuilder::reseal(bytes);
    const qm::SnapshotView parsed = qm::SnapshotView::parse(bytes, scope(), nullptr);
    if (parsed.size() > size / qm::snapshot_layout::kMinEntryBytes) {
        std::abort();  // more entries than the bytes could hold
    }

    qm::DefinitionOutcome outcome;
    if (qm::SnapshotView::decode(input, outcome) && !outcome.accepted &&
        outcome.diagnostic.fault == qm::DefinitionFault::None) {
        std::abort();
    }
    return 0;
}
