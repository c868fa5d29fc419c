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
#include "catalogue/scan_ahead.h"
#include "catalogue/startup_pass.h"
#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/str_cat.h"

namespace qm {

namespace {

constexpr std::size_t kContextValueLimit = 499;

// Drops every record whose key equals its kept predecessor's, then sorts by display name,
// moving each kept record once into a new list.
// Names whose UTF-16 order is their byte order (nearly all) compare without decoding.
void RemoveRepeatsAndSort(ModuleList& list) {
    struct Kept {
        std::size_t index;
        bool plain;  // qmsys::utf16OrderIsByteOrder(display name)
    };
    std::vector<Kept> kept;
    kept.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
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
bool scanWithSnapshot(StartupPass& pass, const CatalogueContext& context, const std::string& folder,
                      const std::string& pattern, ModuleList& list, std::string& errorText) {
    CatalogueSnapshot::Scope scope;
    if (!CatalogueSnapshot::currentScope(context.config, context.language, folder, pattern,
                                         scope)) {
        return false;
    }
    CatalogueSnapshot next(scope);
    next.startScan();
    // Lists the folder and loads the previous snapshot on its helper thread while this one
    // reads the registry (in the pass's read transaction).
    ScanAhead ahead(folder, pattern, scope, context.log);
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
    // As without the snapshot: missing module keys are created when the pass's reads end.
    std::vector<std::string>& missingKeys = pass.missingKeys();
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
void scanEveryFile(StartupPass& pass, const CatalogueContext& context, const std::string& folder,
                   const std::string& pattern, ModuleList& list, std::string& errorText) {
    const std::vector<std::string> files = qmsys::findFiles(folder, pattern);
    if (files.empty()) {
        return;
    }
    // The module keys that reading would create are created when the pass's reads end, so
    // that no write lock is held while files are read.
    ModuleDefinitionReader::Options options;
    options.log = context.log;
    options.missingKeys = &pass.missingKeys();
    const ModuleDefinitionReader reader(strCat({folder, "/", names::kDefinitionSchema}), options);
    std::string scanError;
    list.reserve(list.size() + files.size());
    // Files are read by name in the open folder (by their paths when it cannot be opened).
    const qmsys::FolderHandle open = qmsys::FolderHandle::open(folder);
    for (const std::string& file : files) {
        ModuleRecord record;
        if (reader.readAt(&open, file, folder + "/" + file, record, scanError)) {
            list.push_back(std::move(record));
        }
        keepFirstError(scanError, errorText);
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
    if (!(context.useSnapshot &&
          scanWithSnapshot(pass, context, folder, pattern, list, errorText))) {
        scanEveryFile(pass, context, folder, pattern, list, errorText);
    }
    RemoveRepeatsAndSort(list);
    return !list.empty();
}

}  // namespace qm
