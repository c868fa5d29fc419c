#include "catalogue/catalogue.h"

#include <qmenv/environment.h>
#include <qmsys/files.h>
#include <qmsys/handle.h>
#include <qmsys/text.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "catalogue/catalogue_snapshot.h"
#include "catalogue/module_definition_reader.h"
#include "catalogue/registry_batch.h"
#include "catalogue/scan_ahead.h"
#include "catalogue/store_writes.h"
#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "environment/str_cat.h"

namespace qm {

namespace {

constexpr std::size_t kContextValueLimit = 499;

// Puts into position j the record at from[j], for every j: a permutation of the positions,
// followed cycle by cycle with one record set aside per cycle, so no second list is built.
// Assigning records onto each other keeps the target's started state (assignment never
// clears it), so this is only for lists in which no record is started.
void Permute(ModuleList& list, std::vector<std::size_t>& from) {
    for (std::size_t start = 0; start < from.size(); ++start) {
        if (from[start] == start) {
            // Unmoved, and yet as moving would leave it: every menu marked as added.
            for (MenuEntry& entry : list[start].GetMenus()) {
                entry.flag = true;
            }
            continue;
        }
        ModuleRecord aside(std::move(list[start]));
        std::size_t j = start;
        while (from[j] != start) {
            const std::size_t next = from[j];
            list[j] = std::move(list[next]);
            from[j] = j;
            j = next;
        }
        list[j] = std::move(aside);
        from[j] = j;
    }
}

// Drops every record whose key equals its kept predecessor's, then sorts by display name.
// The records are arranged through an index and each is moved once into place. Where a
// record is started they are moved into a new list instead: assigning records onto each
// other, as arranging in place does, would leave a started state behind wherever a started
// record had been.
// Names whose UTF-16 order is their byte order (nearly all) compare without decoding.
void RemoveRepeatsAndSort(ModuleList& list) {
    struct Kept {
        std::size_t index;
        bool plain;  // qmsys::utf16OrderIsByteOrder(display name)
    };
    std::vector<Kept> kept;
    kept.reserve(list.size());
    bool anyStarted = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        anyStarted = anyStarted || list[i].GetStarted() == 1;
        if (kept.empty() || list[kept.back().index].GetKey() != list[i].GetKey()) {
            kept.push_back(Kept{i, qmsys::utf16OrderIsByteOrder(list[i].GetDisplayName())});
        }
    }
    std::sort(kept.begin(), kept.end(), [&list](const Kept& ka, const Kept& kb) {
        const std::string& a = list[ka.index].GetDisplayName();
        const std::string& b = list[kb.index].GetDisplayName();
        const int order = ka.plain && kb.plain ? a.compare(b) : qmsys::compareUtf16(a, b);
        return order < 0;
    });
    if (anyStarted) {
        ModuleList arranged;
        arranged.reserve(kept.size());
        for (const Kept& k : kept) {
            arranged.push_back(std::move(list[k.index]));
        }
        list.swap(arranged);
        return;
    }
    // The kept records first, in order, then the dropped ones, which are erased.
    std::vector<std::size_t> from;
    from.reserve(list.size());
    std::vector<bool> isKept(list.size(), false);
    for (const Kept& k : kept) {
        from.push_back(k.index);
        isKept[k.index] = true;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!isKept[i]) {
            from.push_back(i);
        }
    }
    Permute(list, from);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(kept.size()), list.end());
}

void createModuleKeys(const std::vector<std::string>& keys, StoreWrites* writes) {
    if (keys.empty()) {
        return;
    }
    const std::unique_ptr<RegistryBatch> batch =
        writes ? writes->begin("creating module keys") : std::make_unique<RegistryBatch>();
    if (!batch) {
        return;
    }
    for (const std::string& key : keys) {
        QmEnWinRegistry registry;
        registry.OpenKey(kQmEnHKeyCurrentUser, key, true);
    }
    batch->commit();
}

// The first COM error text of a scan reaches the caller's errorText, and only while that is
// empty.
void keepFirstError(const std::string& scanError, std::string& errorText) {
    if (!scanError.empty() && errorText.empty()) {
        errorText = scanError;
    }
}

// What reading a definition does to the list, the registry, the error text and the log,
// from its recorded outcome: the same as reading the file itself.
void replay(CatalogueSnapshot::Outcome& outcome, const std::string& path, DiagnosticLog* log,
            ModuleList& list, std::string& scanError, std::vector<std::string>& missingKeys) {
    if (outcome.accepted) {
        ModuleRecord& record = outcome.record;
        std::int32_t major = record.GetVersionMajor();
        std::int32_t minor = record.GetVersionMinor();
        ModuleDefinitionReader::applyVersionOverride(record.GetKey(), major, minor, &missingKeys);
        record.SetVersion(major, minor);
        list.push_back(std::move(record));
        return;
    }
    if (!outcome.diagnostic.keyReached.empty()) {
        std::int32_t major = 0;
        std::int32_t minor = 0;
        ModuleDefinitionReader::applyVersionOverride(outcome.diagnostic.keyReached, major, minor,
                                                     &missingKeys);
    }
    if (!outcome.errorText.empty()) {
        scanError = outcome.errorText;
    }
    if (log) {
        log->write("catalogue", ModuleDefinitionReader::rejectionLine(path, outcome.diagnostic));
    }
}

// The scan with a snapshot: files whose identity the snapshot knows are not read again. False
// when no snapshot can be kept (the schema or the loader's binary cannot be stat'ed); nothing
// has been done then.
bool scanWithSnapshot(const CatalogueContext& context, const std::string& folder,
                      const std::string& pattern, ModuleList& list, std::string& errorText) {
    CatalogueSnapshot::Scope scope;
    if (!CatalogueSnapshot::currentScope(context.config, context.language, folder, pattern,
                                         scope)) {
        return false;
    }
    CatalogueSnapshot next(scope);
    next.startScan();
    // Lists the folder and loads the previous snapshot on its helper thread while this one
    // reads the registry.
    ScanAhead ahead(folder, pattern, scope, context.log);
    // The overrides of all modules are read in one read transaction: one lock round trip
    // instead of several per module, and no write lock.
    std::optional<RegistryBatch> reads(std::in_place, RegistryBatch::Kind::Reads, context.log,
                                       "reading version overrides");
    reads->prefetch(registry_layout::modulesKey());
    const std::vector<std::string>& files = ahead.names();
    if (files.empty()) {
        return true;  // nothing to read, nothing worth recording
    }
    const CatalogueSnapshot& previous = ahead.previous();
    // Compiled only when some file has to be read. Outcomes are kept before the user's
    // override and without logging, which replay adds for every file alike.
    std::unique_ptr<ModuleDefinitionReader> reader;
    // Whether the next snapshot differs from the previous one: only then is it built and
    // written. Names are unique, so every file taken and as many files as entries means
    // the same set. A folder listed anew is recorded with its new identity.
    bool changed = previous.size() != files.size() || !ahead.listedBySnapshot();
    CatalogueSnapshot::Identity folderIdentity;
    if (ahead.folderIdentity(folderIdentity)) {
        next.putListing(folderIdentity, files);
    }
    // As without the snapshot: missing module keys are created after the scan, in one short
    // transaction.
    std::vector<std::string> missingKeys;
    std::size_t read = 0;
    std::string scanError;
    list.reserve(list.size() + files.size());
    // What each file's entry in the next snapshot is: its recorded form from the previous
    // snapshot, or (empty) a fresh outcome put into next at once.
    std::vector<std::pair<CatalogueSnapshot::Identity, std::string_view>> kept;
    kept.reserve(files.size());
    ScanAhead::File seen;
    for (std::size_t index = 0; index < files.size(); ++index) {
        const std::string& file = files[index];
        const std::string path = folder + "/" + file;
        ahead.take(index, seen);
        CatalogueSnapshot::Outcome& outcome = seen.outcome;
        if (!seen.recorded) {
            if (!changed) {
                // Entries so far were kept as they were recorded; from here on next is built.
                for (std::size_t i = 0; i < kept.size(); ++i) {
                    next.put(files[i], kept[i].first, kept[i].second);
                }
                changed = true;
            }
            ++read;
            if (!reader) {
                ModuleDefinitionReader::Options options;
                options.applyVersionOverride = false;
                reader = std::make_unique<ModuleDefinitionReader>(
                    strCat({folder, "/", names::kDefinitionSchema}), options);
            }
            outcome = CatalogueSnapshot::Outcome();
            outcome.accepted = reader->readAt(&ahead.folder(), file, path, outcome.record,
                                              outcome.errorText, &outcome.diagnostic);
            if (seen.identified) {
                next.put(file, seen.identity, outcome);
            }
        } else if (changed) {
            next.put(file, seen.identity, seen.stored);
        } else {
            kept.emplace_back(seen.identity, seen.stored);
        }
        replay(outcome, path, context.log, list, scanError, missingKeys);
        keepFirstError(scanError, errorText);
    }
    reads->commit();
    reads.reset();
    createModuleKeys(missingKeys, context.writes);
    if (changed) {
        next.save(context.log);
    }
    if (context.log) {
        context.log->write("catalogue", "snapshot: " + std::to_string(read) + " of " +
                                            std::to_string(files.size()) + " definitions read");
    }
    return true;
}

// The scan without a snapshot: every file is read.
void scanEveryFile(const CatalogueContext& context, const std::string& folder,
                   const std::string& pattern, ModuleList& list, std::string& errorText) {
    const std::vector<std::string> files = qmsys::findFiles(folder, pattern);
    if (files.empty()) {
        return;
    }
    // The module keys that reading would create are created after the scan, in one short
    // transaction, so that no write lock is held while files are read.
    std::vector<std::string> missingKeys;
    ModuleDefinitionReader::Options options;
    options.log = context.log;
    options.missingKeys = &missingKeys;
    const ModuleDefinitionReader reader(strCat({folder, "/", names::kDefinitionSchema}), options);
    std::string scanError;
    list.reserve(list.size() + files.size());
    std::optional<RegistryBatch> reads(std::in_place, RegistryBatch::Kind::Reads, context.log,
                                       "reading version overrides");
    reads->prefetch(registry_layout::modulesKey());
    // Files are read by name in the open folder (by their paths when it cannot be opened).
    const qmsys::FolderHandle open = qmsys::FolderHandle::open(folder);
    for (const std::string& file : files) {
        ModuleRecord record;
        if (reader.readAt(&open, file, folder + "/" + file, record, scanError)) {
            list.push_back(std::move(record));
        }
        keepFirstError(scanError, errorText);
    }
    reads->commit();
    reads.reset();
    createModuleKeys(missingKeys, context.writes);
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
    const std::string pattern = strCat({"*.", context.config, ".", extension});
    if (!(context.useSnapshot && scanWithSnapshot(context, folder, pattern, list, errorText))) {
        scanEveryFile(context, folder, pattern, list, errorText);
    }
    RemoveRepeatsAndSort(list);
    return !list.empty();
}

}  // namespace qm
