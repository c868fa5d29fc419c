#include "catalogue/catalogue.h"

#include <qmenv/environment.h>
#include <qmsys/file_identity.h>
#include <qmsys/text.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/catalogue_snapshot.h"
#include "catalogue/module_definition_reader.h"
#include "catalogue/module_settings.h"
#include "catalogue/scan_listing.h"
#include "catalogue/startup_pass.h"
#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "environment/str_cat.h"

namespace qm {

namespace {

constexpr std::size_t kContextValueLimit = 499;

// Drops every record whose key equals its kept predecessor's, then sorts by display name,
// moving each kept record once into a new list. Arranging the list in place instead saves
// about 350 page faults at 10,000 modules and no measurable time (docs/PERFORMANCE.md,
// "Removed"). Names whose UTF-16 order is their byte order (nearly all) compare without
// decoding (docs/PERFORMANCE.md: sorting by display name).
void RemoveRepeatsAndSort(ModuleList& list) {
    // Each kept record's name is viewed from here, so that a comparison does not reach into
    // the records themselves. A plain name's first 16 bytes, zero-padded, are also held as two
    // big-endian numbers: comparing them orders as comparing the bytes would, and only names
    // alike that far are compared whole.
    struct Kept {
        std::string_view name;
        std::size_t index;
        bool plain;  // qmsys::utf16OrderIsByteOrder(name)
        std::uint64_t head[2];
    };
    const auto bigEndian = [](std::string_view bytes) {
        std::uint64_t n = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            n = n << 8 | (i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u);
        }
        return n;
    };
    std::vector<Kept> kept;
    kept.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (kept.empty() || list[kept.back().index].GetKey() != list[i].GetKey()) {
            const std::string_view name = list[i].GetDisplayName();
            kept.push_back(
                Kept{name,
                     i,
                     qmsys::utf16OrderIsByteOrder(name),
                     {bigEndian(name), bigEndian(name.size() > 8 ? name.substr(8) : "")}});
        }
    }
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
        if (!a.plain || !b.plain) {
            return qmsys::compareUtf16(a.name, b.name) < 0;
        }
        if (a.head[0] != b.head[0]) {
            return a.head[0] < b.head[0];
        }
        if (a.head[1] != b.head[1]) {
            return a.head[1] < b.head[1];
        }
        return a.name.compare(b.name) < 0;
    });
    ModuleList arranged;
    arranged.reserve(kept.size());
    for (const Kept& k : kept) {
        arranged.push_back(std::move(list[k.index]));
    }
    list.swap(arranged);
}

// The first COM error text of a scan reaches the caller's errorText, and only while that is
// empty.
void keepFirstError(const std::string& scanError, std::string& errorText) {
    if (!scanError.empty() && errorText.empty()) {
        errorText = scanError;
    }
}

// What the outcomes of a scan do besides the list: the module keys to create, and the keys
// whose settings could not be read.
struct ScanKeys {
    bool readSettings = false;  // CatalogueContext::readSettings
    // The pass's: created when its reads end, so that no write lock is held while files are
    // read.
    std::vector<std::string>* missingKeys;
    std::unordered_set<std::string> tooLong;  // keys whose settings were not read
    std::string modules;  // registry_layout::modulesKey(), the module keys' parent
};

// What a definition's outcome, recorded or freshly read, does to the list, the registry, the
// error text and the log. The user's version override opens (or, in missingKeys, asks for)
// the module key whenever reading got as far as the key, accepted or not; an accepted
// record's settings are read in the same visit when asked for.
// folder and file: where the definition lies, joined for log lines only (docs/PERFORMANCE.md:
// strings built once and only where used).
void apply(DefinitionOutcome& outcome, std::string_view folder, std::string_view file,
           DiagnosticLog* log, ModuleList& list, std::string& scanError, ScanKeys& keys) {
    if (outcome.accepted) {
        ModuleRecord& record = outcome.record;
        std::int32_t major = record.GetVersionMajor();
        std::int32_t minor = record.GetVersionMinor();
        if (!ReadModuleKey(record.GetKey(), major, minor, keys.readSettings ? &record : nullptr,
                           *keys.missingKeys, keys.modules)) {
            keys.tooLong.insert(record.GetKey());
        }
        record.SetVersion(major, minor);
        if (log && !outcome.encoding.empty()) {
            log->write("catalogue", ModuleDefinitionReader::encodingLine(
                                        strCat({folder, "/", file}), outcome.encoding));
        }
        list.push_back(std::move(record));
        return;
    }
    if (!outcome.diagnostic.keyReached.empty()) {
        std::int32_t major = 0;
        std::int32_t minor = 0;
        ReadModuleKey(outcome.diagnostic.keyReached, major, minor, nullptr, *keys.missingKeys,
                      keys.modules);
    }
    if (!outcome.errorText.empty()) {
        scanError = outcome.errorText;
    }
    if (log) {
        log->write("catalogue", ModuleDefinitionReader::rejectionLine(strCat({folder, "/", file}),
                                                                      outcome.diagnostic));
    }
}

// The scan of one folder. Every file yields an outcome, the one the previous snapshot recorded
// when it vouches for the file's identity, else the one reading the file gives, and apply()
// does the rest. Without a snapshot (scope empty) the previous snapshot is empty and nothing
// is identified or saved.
void scanFolder(StartupPass& pass, const CatalogueContext& context, const std::string& folder,
                const std::string& pattern, std::optional<SnapshotScope> scope, ModuleList& list,
                std::string& errorText, ScanKeys& keys) {
    CatalogueScan& scan = pass.beginScan(folder, std::move(scope));
    ScanListing listing(scan, pattern, context.log);
    const std::vector<std::string_view>& files = listing.names();
    if (files.empty()) {
        return;  // nothing to read, nothing worth recording
    }
    // Compiled only when some file has to be read.
    std::unique_ptr<ModuleDefinitionReader> reader;
    // The next snapshot is built and written only when it differs from the previous one. Names
    // are unique, so every file recorded and as many files as entries means the same set; a
    // folder listed anew is recorded with its new identity. Until then the recorded files are
    // only noted (docs/PERFORMANCE.md: catalogue snapshot).
    bool changed = scan.previous.size() != files.size() || !listing.listedBySnapshot();
    std::vector<std::pair<qmsys::FileIdentity, std::string_view>> unchanged;
    if (scan.next && !changed) {
        unchanged.reserve(files.size());
    }
    qmsys::FileIdentity folderIdentity;
    if (scan.next && listing.folderIdentity(folderIdentity)) {
        scan.next->setListing(folderIdentity, files.size());
    }
    std::size_t read = 0;
    std::string scanError;
    list.reserve(list.size() + files.size());
    for (std::size_t index = 0; index < files.size(); ++index) {
        const std::string_view file = files[index];
        qmsys::FileIdentity identity;
        const bool identified = listing.identify(index, identity);
        std::optional<std::string_view> stored;
        if (identified) {
            stored = listing.recorded(index, identity);
        }
        DefinitionOutcome outcome;
        if (!stored || !SnapshotView::decode(*stored, outcome)) {
            stored.reset();
            if (!changed && scan.next) {
                for (std::size_t i = 0; i < unchanged.size(); ++i) {
                    scan.next->addStored(files[i], unchanged[i].first, unchanged[i].second);
                }
            }
            changed = true;
            ++read;
            if (!reader) {
                reader = std::make_unique<ModuleDefinitionReader>(
                    strCat({folder, "/", names::kDefinitionSchema}));
            }
            // Files are read by name in the open folder (by their paths when it cannot be
            // opened).
            outcome =
                reader->readOutcome(&scan.folder, std::string(file), strCat({folder, "/", file}));
        }
        if (scan.next && identified) {
            if (!stored) {
                scan.next->add(file, identity, outcome);
            } else if (changed) {
                scan.next->addStored(file, identity, *stored);
            } else {
                unchanged.emplace_back(identity, *stored);
            }
        }
        apply(outcome, folder, file, context.log, list, scanError, keys);
        keepFirstError(scanError, errorText);
    }
    if (!scan.next) {
        return;
    }
    if (changed) {
        scan.next->save(context.log);
    }
    if (context.log) {
        context.log->write("catalogue", "snapshot: " + std::to_string(read) + " of " +
                                            std::to_string(files.size()) + " definitions read");
    }
}

}  // namespace

CatalogueContext MakeCatalogueContext(std::string_view config, std::string_view language,
                                      DiagnosticLog* log) {
    CatalogueContext context;
    context.config =
        std::string(qmsys::cutToUtf16Units(qmsys::asciiLower(config), kContextValueLimit));
    context.language =
        std::string(qmsys::cutToUtf16Units(qmsys::asciiLower(language), kContextValueLimit));
    context.log = log;
    return context;
}

bool LoadCatalogue(const CatalogueContext& context, const std::string& folder,
                   std::string_view extension, ModuleList& list, std::string& errorText) {
    StartupPass pass(context.log, nullptr);
    return LoadCatalogue(pass, context, folder, extension, list, errorText);
}

bool LoadCatalogue(StartupPass& pass, const CatalogueContext& context, const std::string& folder,
                   std::string_view extension, ModuleList& list, std::string& errorText) {
    const std::string pattern = strCat({"*.", context.config, ".", extension});
    // docs/PERFORMANCE.md: catalogue snapshot.
    std::optional<SnapshotScope> scope;
    if (context.useSnapshot) {
        scope = SnapshotScope::current(context.config, context.language, folder, pattern);
    }
    ScanKeys keys{context.readSettings, &pass.missingKeys(), {}, registry_layout::modulesKey()};
    scanFolder(pass, context, folder, pattern, std::move(scope), list, errorText, keys);
    RemoveRepeatsAndSort(list);
    // Said of the records kept, in list order, as the settings read on its own says it.
    if (!keys.tooLong.empty()) {
        for (const ModuleRecord& record : list) {
            if (keys.tooLong.contains(record.GetKey())) {
                LogSettingsNotRead(record, pass.log());
            }
        }
    }
    return !list.empty();
}

}  // namespace qm
