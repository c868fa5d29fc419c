#include "catalogue/catalogue_snapshot.h"

#include <qmenv/environment.h>
#include <qmsys/file_identity.h>
#include <qmsys/files.h>
#include <qmsys/module.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/path_util.h"
#include "environment/str_cat.h"

namespace qm {

namespace {

constexpr std::string_view kLogCategory = "catalogue";
constexpr std::string_view kMagic = "QMCATSNP";
constexpr const char* kOtherScope =
    "other schema, build, installation, configuration, language or macro value";
// 3: 32-bit lengths, each outcome stored with its length so that loading only indexes it,
// a checksum over 64-bit words. 4: the folder's listing after the entries. 5: the path
// macros' values in the scope.
constexpr std::uint64_t kFormat = 5;
// A snapshot larger than this is not one of ours: ten thousand modules make a few MB.
constexpr std::uint64_t kMaxBytes = std::uint64_t{256} << 20;
// Read first, to check the magic number, the format and the scope before the rest is read.
constexpr std::size_t kHeaderBytes = 64 * 1024;

// Whether the identity recorded as id can vouch for the file by a scan that started at
// from: no change after that scan started can have left the file's stamps as they were.
bool racy(const CatalogueSnapshot::Identity& id, qmsys::FileClockMark from) {
    return !id.stampedBefore(from);
}

// A name as reading a folder gives it: one entry, neither the folder nor its parent.
bool isEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::uint64_t fnv1a(std::string_view data, std::uint64_t hash = 1469598103934665603ULL) {
    for (const char c : data) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

std::uint64_t loadLittleEndian(const char* at, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(at[i])) << (8 * i);
    }
    return v;
}

// A checksum that catches damage, not tampering: 64-bit words multiplied into the state, so
// that a snapshot of megabytes is checked in well under a millisecond.
std::uint64_t checksum(std::string_view data) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    std::uint64_t hash = 0xCBF29CE484222325ULL ^ data.size();
    std::size_t at = 0;
    for (; data.size() - at >= 8; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, data.data() + at, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    hash = (hash ^ loadLittleEndian(data.data() + at, data.size() - at)) * kMultiplier;
    return hash ^ (hash >> 32);
}

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    void u64(std::uint64_t v) { put(v, 8); }
    void u32(std::uint32_t v) { put(v, 4); }
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
    // Texts and counts are far below 4 GiB: a definition file is limited to a few MB.
    void str(std::string_view s) {
        u32(static_cast<std::uint32_t>(s.size()));
        out_ += s;
    }
    void identity(const CatalogueSnapshot::Identity& id) {
        u64(id.size);
        i64(id.modifiedNs);
        i64(id.changedNs);
        u64(id.inode);
        u64(id.device);
    }

private:
    void put(std::uint64_t v, std::size_t n) {
        char bytes[8];
        for (std::size_t i = 0; i < n; ++i) {
            bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        out_.append(bytes, n);
    }
    std::string& out_;
};

// Reads what Writer wrote; every read past the end or of an implausible length fails the
// whole reader, and the snapshot (or the entry) is then ignored.
class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}
    bool ok() const { return ok_; }
    std::uint64_t u64() { return take(8); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
    std::string_view str() { return bytes(u32()); }
    std::string_view bytes(std::uint64_t n) {
        if (!ok_ || n > in_.size() - at_) {
            ok_ = false;
            return {};
        }
        const std::string_view s = in_.substr(at_, n);
        at_ += n;
        return s;
    }
    CatalogueSnapshot::Identity identity() {
        CatalogueSnapshot::Identity id;
        id.size = u64();
        id.modifiedNs = i64();
        id.changedNs = i64();
        id.inode = u64();
        id.device = u64();
        return id;
    }
    bool atEnd() const { return at_ == in_.size(); }
    std::size_t left() const { return in_.size() - at_; }

private:
    std::uint64_t take(std::size_t n) {
        if (!ok_ || in_.size() - at_ < n) {
            ok_ = false;
            return 0;
        }
        const std::uint64_t v = loadLittleEndian(in_.data() + at_, n);
        at_ += n;
        return v;
    }
    std::string_view in_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

void writeScope(Writer& w, const CatalogueSnapshot::Scope& s) {
    w.str(s.config);
    w.str(s.language);
    w.str(s.folder);
    w.str(s.pattern);
    w.str(s.appPath);
    w.str(s.loaderFile);
    w.identity(s.loader);
    w.identity(s.schema);
    w.u32(static_cast<std::uint32_t>(s.macros.size()));
    for (const auto& [name, value] : s.macros) {
        w.str(name);
        w.str(value);
    }
}

CatalogueSnapshot::Scope readScope(Reader& r) {
    CatalogueSnapshot::Scope s;
    s.config = r.str();
    s.language = r.str();
    s.folder = r.str();
    s.pattern = r.str();
    s.appPath = r.str();
    s.loaderFile = r.str();
    s.loader = r.identity();
    s.schema = r.identity();
    const std::uint32_t macros = r.u32();
    // A macro takes at least its two lengths: a damaged count reserves nothing absurd.
    s.macros.reserve(std::min<std::size_t>(macros, r.left() / 8));
    for (std::uint32_t i = 0; r.ok() && i < macros; ++i) {
        const std::string_view name = r.str();
        s.macros.emplace_back(name, r.str());
    }
    return s;
}

void writeOutcome(Writer& w, const CatalogueSnapshot::Outcome& o) {
    w.u32(o.accepted ? 1 : 0);
    if (o.accepted) {
        const ModuleRecord& record = o.record;
        w.str(record.GetKey());
        w.str(record.GetDisplayName());
        w.i64(record.GetVersionMajor());
        w.i64(record.GetVersionMinor());
        w.u32(static_cast<std::uint32_t>(record.GetMenus().Count()));
        for (const MenuEntry& menu : record.GetMenus()) {
            w.str(menu.name);
            w.str(menu.folder);
        }
        w.u32(static_cast<std::uint32_t>(record.GetApplications().size()));
        for (const QmApplication& a : record.GetApplications()) {
            w.str(a.GetPath());
            w.str(a.GetArguments());
            w.str(a.GetType());
            w.str(a.GetCommand());
            w.u32(a.GetModal() ? 1 : 0);
        }
        return;
    }
    w.str(o.errorText);
    w.u32(static_cast<std::uint32_t>(o.diagnostic.fault));
    w.i64(o.diagnostic.line);
    w.str(o.diagnostic.reason);
    w.str(o.diagnostic.keyReached);
}

// Decodes a stored outcome straight into o; false for anything but exactly one whole outcome.
bool readOutcome(std::string_view stored, CatalogueSnapshot::Outcome& o) {
    Reader r(stored);
    const std::uint32_t accepted = r.u32();
    if (accepted > 1) {
        return false;
    }
    o.accepted = accepted == 1;
    if (o.accepted) {
        ModuleRecord& record = o.record;
        record.SetKey(r.str());
        record.SetDisplayName(r.str());
        const auto major = static_cast<std::int32_t>(r.i64());
        record.SetVersion(major, static_cast<std::int32_t>(r.i64()));
        const std::uint32_t menus = r.u32();
        // A menu takes at least its two lengths: a damaged count reserves nothing absurd.
        record.ReserveMenus(std::min<std::size_t>(menus, r.left() / 8));
        for (std::uint32_t i = 0; r.ok() && i < menus; ++i) {
            const std::string_view name = r.str();
            record.AddMenu(std::string(name), std::string(r.str()));
        }
        const std::uint32_t apps = r.u32();
        for (std::uint32_t i = 0; r.ok() && i < apps; ++i) {
            std::string path(r.str());
            std::string arguments(r.str());
            std::string type(r.str());
            std::string command(r.str());
            const bool modal = r.u32() == 1;
            record.AddApplication(QmApplication::Restored(
                std::move(path), std::move(arguments), std::move(type), std::move(command), modal));
        }
        return r.ok() && r.atEnd();
    }
    o.errorText = r.str();
    const std::uint32_t fault = r.u32();
    // A rejection always has a reason.
    if (fault == static_cast<std::uint32_t>(DefinitionFault::None) ||
        fault > static_cast<std::uint32_t>(DefinitionFault::ComError)) {
        return false;
    }
    o.diagnostic.fault = static_cast<DefinitionFault>(fault);
    o.diagnostic.line = static_cast<int>(r.i64());
    o.diagnostic.reason = r.str();
    o.diagnostic.keyReached = r.str();
    return r.ok() && r.atEnd();
}

// The binary the loader runs in: the shared object holding this code, or the program.
bool loaderIdentity(std::string& file, CatalogueSnapshot::Identity& out) {
    file = qmsys::moduleFileOf(reinterpret_cast<const void*>(&loaderIdentity));
    return !file.empty() && qmsys::identifyFile(file, out);
}

}  // namespace

bool CatalogueSnapshot::currentScope(const std::string& config, const std::string& language,
                                     const std::string& folder, const std::string& pattern,
                                     Scope& out) {
    Scope scope{config, language, folder, pattern, QmEnGetAppPath(), QmEnMacroValues(), {}, {}, {}};
    if (!loaderIdentity(scope.loaderFile, scope.loader) ||
        !qmsys::identifyFile(strCat({folder, "/", names::kDefinitionSchema}), scope.schema)) {
        return false;
    }
    out = std::move(scope);
    return true;
}

CatalogueSnapshot::CatalogueSnapshot(Scope scope) : scope_(std::move(scope)) {}

bool CatalogueSnapshot::disabledByEnvironment() {
    const char* v = std::getenv("QM_NO_SNAPSHOT");
    return v && std::string(v) == "1";
}

std::string CatalogueSnapshot::fileOf(const Scope& scope) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (const std::string* part : {&scope.config, &scope.language, &scope.folder, &scope.pattern,
                                    &scope.appPath, &scope.loaderFile}) {
        hash = fnv1a(*part, hash);
        hash = fnv1a(std::string_view("\0", 1), hash);
    }
    char name[40];
    std::snprintf(name, sizeof name, "%016llx.snapshot", static_cast<unsigned long long>(hash));
    return path::userStateFolder() + "/catalogue/" + name;
}

void CatalogueSnapshot::startScan() {
    scanStart_ = qmsys::markFileClock(scope_.folder);
}

CatalogueSnapshot CatalogueSnapshot::load(const Scope& scope, DiagnosticLog* log) {
    const std::string file = fileOf(scope);
    qmsys::WinError error = qmsys::kErrorSuccess;
    std::uint64_t size = 0;
    const qmsys::FileHandle opened = qmsys::openRegularFile(file, error, &size);
    if (!opened) {
        return CatalogueSnapshot(scope);
    }
    std::string why;
    std::string data;
    // The size is bounded and the header checked before the rest is read, so a file that is
    // not a snapshot of this scope costs one small read, however large it is.
    if (size > kMaxBytes) {
        why = "larger than any snapshot";
    } else {
        const std::size_t headerBytes = std::min<std::size_t>(size, kHeaderBytes);
        bool readable = qmsys::readAt(opened, 0, headerBytes, data) == qmsys::kErrorSuccess;
        if (readable && !headerDiffers(data, scope, &why) && data.size() == kHeaderBytes) {
            readable = qmsys::readAt(opened, kHeaderBytes, size - kHeaderBytes, data) ==
                       qmsys::kErrorSuccess;
        }
        if (!readable) {
            why = "unreadable";
        }
    }
    CatalogueSnapshot loaded =
        why.empty() ? parse(std::move(data), scope, &why) : CatalogueSnapshot(scope);
    if (!why.empty() && log) {
        log->write(kLogCategory, "snapshot " + file + " ignored: " + why);
    }
    return loaded;
}

bool CatalogueSnapshot::headerDiffers(std::string_view head, const Scope& scope, std::string* why) {
    auto differs = [&](const char* what) {
        if (why) {
            *why = what;
        }
        return true;
    };
    if (head.compare(0, kMagic.size(), kMagic) != 0) {
        return differs("not a snapshot");
    }
    Reader r(head.substr(kMagic.size()));
    const std::uint64_t format = r.u64();
    if (r.ok() && format != kFormat) {
        return differs("other format");
    }
    const Scope recorded = readScope(r);
    // A header that does not fit into head is left to the full check.
    if (r.ok() && !(recorded == scope)) {
        return differs(kOtherScope);
    }
    return false;
}

CatalogueSnapshot CatalogueSnapshot::parse(std::string bytes, const Scope& scope,
                                           std::string* why) {
    auto doubt = [&](const char* what) {
        if (why) {
            *why = what;
        }
        return CatalogueSnapshot(scope);
    };
    if (bytes.size() < kMagic.size() + 16 || bytes.compare(0, kMagic.size(), kMagic) != 0) {
        return doubt("not a snapshot");
    }
    auto data = std::make_unique<const std::string>(std::move(bytes));
    const std::string_view body(data->data(), data->size() - 8);
    if (checksum(body) != loadLittleEndian(data->data() + body.size(), 8)) {
        return doubt("checksum");
    }
    Reader r(body.substr(kMagic.size()));
    if (r.u64() != kFormat) {
        return doubt("other format");
    }
    CatalogueSnapshot loaded(readScope(r));
    loaded.scanStart_.ns = r.i64();
    if (!r.ok() || !(loaded.scope_ == scope)) {
        return doubt(kOtherScope);
    }
    // A schema changed within the recording scan's first tick may have changed again since.
    if (racy(scope.schema, loaded.scanStart_)) {
        return doubt("schema changed while it was recorded");
    }
    const std::uint64_t count = r.u64();
    // Never more entries than the bytes could hold: a damaged count reserves nothing absurd.
    constexpr std::size_t kEntryBytes = 4 + 40 + 4;
    loaded.entries_.reserve(std::min<std::uint64_t>(count, body.size() / kEntryBytes));
    // Only indexed here: an outcome is decoded when its file is asked for.
    for (std::uint64_t i = 0; r.ok() && i < count; ++i) {
        Entry entry;
        entry.name = r.str();
        entry.identity = r.identity();
        entry.outcome = r.str();
        if (!loaded.entries_.empty() && !(loaded.entries_.back().name < entry.name)) {
            return doubt("entries out of order");
        }
        loaded.entries_.push_back(entry);
    }
    const std::uint32_t hasListing = r.u32();
    if (hasListing > 1) {
        return doubt("corrupt");
    }
    if (hasListing == 1) {
        loaded.folder_ = r.identity();
        const std::uint64_t listed = r.u64();
        // Each entry at most once: never more positions than entries.
        if (listed > loaded.entries_.size()) {
            return doubt("corrupt listing");
        }
        std::vector<bool> seen(loaded.entries_.size(), false);
        loaded.listing_.reserve(listed);
        for (std::uint64_t i = 0; r.ok() && i < listed; ++i) {
            const std::uint32_t at = r.u32();
            if (at >= seen.size() || seen[at]) {
                return doubt("corrupt listing");
            }
            seen[at] = true;
            loaded.listing_.push_back(at);
        }
        loaded.hasListing_ = r.ok();
    }
    if (!r.ok() || !r.atEnd()) {
        return doubt("corrupt");
    }
    loaded.data_ = std::move(data);
    return loaded;
}

void CatalogueSnapshot::reseal(std::string& data) {
    if (data.size() < 8) {
        return;
    }
    const std::uint64_t sum = checksum(std::string_view(data.data(), data.size() - 8));
    data.resize(data.size() - 8);
    Writer(data).u64(sum);
}

bool CatalogueSnapshot::take(std::string_view fileName, const Identity& now, Outcome& out,
                             std::string_view& recorded, std::size_t& cursor) const {
    auto it = entries_.begin() + static_cast<std::ptrdiff_t>(std::min(cursor, entries_.size()));
    if (it == entries_.end() || it->name != fileName) {
        it = std::lower_bound(entries_.begin(), entries_.end(), fileName,
                              [](const Entry& e, std::string_view n) { return e.name < n; });
    }
    cursor = static_cast<std::size_t>(it - entries_.begin()) + 1;
    if (it == entries_.end() || it->name != fileName || !(it->identity == now) ||
        racy(now, scanStart_) || !readOutcome(it->outcome, out)) {
        return false;
    }
    recorded = it->outcome;
    return true;
}

void CatalogueSnapshot::put(std::string_view fileName, const Identity& identity,
                            const Outcome& outcome) {
    std::string& stored = encoded_.emplace_back();
    Writer w(stored);
    writeOutcome(w, outcome);
    put(fileName, identity, stored);
}

void CatalogueSnapshot::put(std::string_view fileName, const Identity& identity,
                            std::string_view recorded) {
    entries_.push_back(Entry{fileName, identity, recorded});
}

std::string CatalogueSnapshot::serialize() const {
    std::vector<const Entry*> sorted;
    sorted.reserve(entries_.size());
    std::size_t bytes = 256 + scope_.folder.size() + scope_.appPath.size();
    for (const Entry& entry : entries_) {
        sorted.push_back(&entry);
        bytes += 4 + entry.name.size() + 40 + 4 + entry.outcome.size() + 4;  // + its listing
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const Entry* a, const Entry* b) { return a->name < b->name; });
    std::string text;
    text.reserve(bytes);
    Writer w(text);
    text += kMagic;
    w.u64(kFormat);
    writeScope(w, scope_);
    w.i64(scanStart_.ns);
    w.u64(sorted.size());
    for (const Entry* entry : sorted) {
        w.str(entry->name);
        w.identity(entry->identity);
        w.str(entry->outcome);
    }
    std::vector<std::uint32_t> listing;
    const bool withListing = listingPositions(sorted, listing);
    w.u32(withListing ? 1 : 0);
    if (withListing) {
        w.identity(folder_);
        w.u64(listing.size());
        for (const std::uint32_t at : listing) {
            w.u32(at);
        }
    }
    w.u64(checksum(text));
    return text;
}

bool CatalogueSnapshot::listingPositions(const std::vector<const Entry*>& sorted,
                                         std::vector<std::uint32_t>& out) const {
    if (!hasListing_ || !listedNames_) {
        return false;
    }
    out.clear();
    out.reserve(listedNames_->size());
    for (const std::string& name : *listedNames_) {
        const auto it =
            std::lower_bound(sorted.begin(), sorted.end(), std::string_view(name),
                             [](const Entry* e, std::string_view n) { return e->name < n; });
        if (it == sorted.end() || (*it)->name != name) {
            return false;  // a file that could not be stat'ed: the next scan lists the folder
        }
        out.push_back(static_cast<std::uint32_t>(it - sorted.begin()));
    }
    return true;
}

void CatalogueSnapshot::putListing(const Identity& folder, const std::vector<std::string>& names) {
    hasListing_ = true;
    folder_ = folder;
    listedNames_ = &names;
}

bool CatalogueSnapshot::takeListing(const Identity& folder, std::vector<std::string>& out) const {
    if (!hasListing_ || !(folder_ == folder) || racy(folder, scanStart_)) {
        return false;
    }
    std::vector<std::string> names;
    names.reserve(listing_.size());
    for (const std::uint32_t at : listing_) {
        // A listing is only as trustworthy as its file: every name must be one that reading
        // the folder could have given, so none reaches outside it.
        std::string& name = names.emplace_back(entries_[at].name);
        if (!isEntryName(name) || !qmsys::wildcardMatch(scope_.pattern, name)) {
            return false;
        }
    }
    out.swap(names);
    return true;
}

bool CatalogueSnapshot::decodeOutcome(std::string_view stored, Outcome& out) {
    return readOutcome(stored, out);
}

void CatalogueSnapshot::save(DiagnosticLog* log) const {
    const std::string file = fileOf(scope_);
    qmsys::createDirectories(file.substr(0, file.rfind('/')));
    if (qmsys::replaceFileContents(file, serialize(), 0600) != qmsys::kErrorSuccess && log) {
        log->write(kLogCategory, "snapshot " + file + " not written");
    }
}

}  // namespace qm
