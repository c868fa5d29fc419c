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

const qm::CatalogueSnapshot::Scope& scope() {
    static const qm::CatalogueSnapshot::Scope s{"default",       "enu",   "/fuzz/Zadod/Modules",
                                                "*.default.xml", "/fuzz", {{"<TEMP>", "/tmp"}},
                                                "/fuzz/loader",  {},      {}};
    return s;
}

// The header of a snapshot of scope, up to (not including) its entry count.
const std::string& header() {
    static const std::string bytes = [] {
        qm::CatalogueSnapshot snapshot(scope());
        snapshot.startScan();  // after the schema's (zero) times, so entries are read at all
        std::string empty = snapshot.serialize();
        empty.resize(empty.size() - 20);  // the count, the listing flag and the checksum
        return empty;
    }();
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string bytes = header();
    bytes.append(input);
    bytes.append(8, '\0');
    qm::CatalogueSnapshot::reseal(bytes);
    const qm::CatalogueSnapshot parsed = qm::CatalogueSnapshot::parse(bytes, scope(), nullptr);
    if (parsed.size() > size / 48) {
        std::abort();  // more entries than the bytes could hold
    }

    qm::CatalogueSnapshot::Outcome outcome;
    if (qm::CatalogueSnapshot::decodeOutcome(input, outcome) && !outcome.accepted &&
        outcome.diagnostic.fault == qm::DefinitionFault::None) {
        std::abort();
    }
    return 0;
}
