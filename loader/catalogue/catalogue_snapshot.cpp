#include "catalogue/catalogue_snapshot.h"

#include <qmenv/environment.h>
#include <qmsys/file_identity.h>
#include <qmsys/files.h>
#include <qmsys/module.h>

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "environment/diagnostic_log.h"
#include "environment/fnv1a.h"
#include "environment/names.h"
#include "environment/path_util.h"
#include "environment/str_cat.h"

namespace qm {

namespace {

using namespace snapshot_layout;
using Identity = qmsys::FileIdentity;

constexpr std::string_view kLogCategory = "catalogue";
constexpr const char* kOtherScope =
    "other schema, build, installation, configuration, language or macro value";

// A name as reading a folder gives it: one entry, neither the folder nor its parent.
bool isEntryName(std::string_view name) {
    // Two searches of one byte each: find_first_of would search the set at every byte.
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::uint64_t loadLittleEndian(const char* at, std::size_t n) {
    // Whole numbers in one load where the machine is little-endian: every entry's identity
    // is five of them (docs/PERFORMANCE.md: numbers loaded whole).
    if constexpr (std::endian::native == std::endian::little) {
        if (n == 8 || n == 4) {
            std::uint64_t v = 0;
            std::memcpy(&v, at, n);
            return v;
        }
    }
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(at[i])) << (8 * i);
    }
    return v;
}

// A checksum that catches damage, not tampering: 64-bit words multiplied into the state, so
// that a snapshot of megabytes is checked in well under a millisecond (docs/PERFORMANCE.md:
// the snapshot's checksum).
std::uint64_t checksum(std::string_view data) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    std::uint64_t hash = kFnvOffsetBasis ^ data.size();
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
    void identity(const Identity& id) {
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
    Identity identity() {
        Identity id;
        id.size = u64();
        id.modifiedNs = i64();
        id.changedNs = i64();
        id.inode = u64();
        id.device = u64();
        return id;
    }
    bool atEnd() const { return at_ == in_.size(); }
    std::size_t left() const { return in_.size() - at_; }
    std::size_t at() const { return at_; }

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

void writeScope(Writer& w, const SnapshotScope& s) {
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

SnapshotScope readScope(Reader& r) {
    SnapshotScope s;
    s.config = r.str();
    s.language = r.str();
    s.folder = r.str();
    s.pattern = r.str();
    s.appPath = r.str();
    s.loaderFile = r.str();
    s.loader = r.identity();
    s.schema = r.identity();
    const std::uint32_t macros = r.u32();
    // A damaged count reserves nothing absurd: a macro takes at least its two lengths.
    s.macros.reserve(std::min<std::size_t>(macros, r.left() / (2 * kLengthBytes)));
    for (std::uint32_t i = 0; r.ok() && i < macros; ++i) {
        const std::string_view name = r.str();
        s.macros.emplace_back(name, r.str());
    }
    return s;
}

void writeOutcome(Writer& w, const DefinitionOutcome& o) {
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
        w.str(o.encoding);
        return;
    }
    w.str(o.errorText);
    w.u32(static_cast<std::uint32_t>(o.diagnostic.fault));
    w.i64(o.diagnostic.line);
    w.str(o.diagnostic.reason);
    w.str(o.diagnostic.keyReached);
}

// The binary the loader runs in: the shared object holding this code, or the program.
bool loaderIdentity(std::string& file, Identity& out) {
    file = qmsys::moduleFileOf(reinterpret_cast<const void*>(&loaderIdentity));
    return !file.empty() && qmsys::identifyFile(file, out);
}

}  // namespace

std::optional<SnapshotScope> SnapshotScope::current(const std::string& config,
                                                    const std::string& language,
                                                    const std::string& folder,
                                                    const std::string& pattern) {
    SnapshotScope scope{config, language, folder, pattern, QmEnGetAppPath(), QmEnMacroValues(),
                        {},     {},       {}};
    if (!loaderIdentity(scope.loaderFile, scope.loader) ||
        !qmsys::identifyFile(strCat({folder, "/", names::kDefinitionSchema}), scope.schema)) {
        return std::nullopt;
    }
    return scope;
}

std::string SnapshotScope::file() const {
    std::uint64_t hash = kFnvOffsetBasis;
    for (const std::string* part : {&config, &language, &folder, &pattern, &appPath, &loaderFile}) {
        hash = fnv1a(*part, hash);
        hash = fnv1a(std::string_view("\0", 1), hash);
    }
    char name[40];
    std::snprintf(name, sizeof name, "%016llx.snapshot", static_cast<unsigned long long>(hash));
    return path::userStateFolder() + "/catalogue/" + name;
}

SnapshotView SnapshotView::load(const SnapshotScope& scope, DiagnosticLog* log) {
    const std::string file = scope.file();
    qmsys::WinError error = qmsys::kErrorSuccess;
    std::uint64_t size = 0;
    const qmsys::FileHandle opened = qmsys::openRegularFile(file, error, &size);
    if (!opened) {
        return {};
    }
    std::string why;
    SnapshotView loaded;
    // The size is bounded and the header checked before the rest is looked at, so a file that
    // is not a snapshot of this scope costs one small read, however large it is. The rest is
    // mapped where the system allows, not read (docs/PERFORMANCE.md: the snapshot mapped): a
    // snapshot is only ever replaced whole.
    std::string head;
    if (size > kMaxFileBytes) {
        why = "larger than any snapshot";
    } else if (qmsys::readAt(opened, 0, std::min<std::uint64_t>(size, kHeaderBytes), head) !=
               qmsys::kErrorSuccess) {
        why = "unreadable";
    } else if (!headerDiffers(head, scope, &why)) {
        if (qmsys::FileBytes::take(opened, static_cast<std::size_t>(size), loaded.file_) !=
            qmsys::kErrorSuccess) {
            why = "unreadable";
        } else {
            loaded = index(std::move(loaded), scope, &why);
        }
    }
    if (!why.empty()) {
        loaded = SnapshotView();
        if (log) {
            log->write(kLogCategory, "snapshot " + file + " ignored: " + why);
        }
    }
    return loaded;
}

bool SnapshotView::headerDiffers(std::string_view head, const SnapshotScope& scope,
                                 std::string* why) {
    auto differs = [&](const char* what) {
        if (why) {
            *why = what;
        }
        return true;
    };
    if (head.compare(0, kMagicBytes, kMagic) != 0) {
        return differs("not a snapshot");
    }
    Reader r(head.substr(kMagicBytes));
    const std::uint64_t format = r.u64();
    if (r.ok() && format != kFormat) {
        return differs("other format");
    }
    const SnapshotScope recorded = readScope(r);
    // A header that does not fit into head is left to the full check.
    if (r.ok() && !(recorded == scope)) {
        return differs(kOtherScope);
    }
    return false;
}

SnapshotView SnapshotView::parse(std::string bytes, const SnapshotScope& scope, std::string* why) {
    SnapshotView loaded;
    loaded.owned_ = std::move(bytes);
    return index(std::move(loaded), scope, why);
}

SnapshotView SnapshotView::index(SnapshotView loaded, const SnapshotScope& scope,
                                 std::string* why) {
    auto doubt = [&](const char* what) {
        if (why) {
            *why = what;
        }
        return SnapshotView();
    };
    const std::string_view all = loaded.bytes();
    if (all.size() < kMinFileBytes || all.substr(0, kMagicBytes) != kMagic) {
        return doubt("not a snapshot");
    }
    // Offsets are kept in 32 bits.
    static_assert(kMaxFileBytes <= UINT32_MAX);
    if (all.size() > kMaxFileBytes) {
        return doubt("larger than any snapshot");
    }
    const std::string_view body = all.substr(0, all.size() - kChecksumBytes);
    if (checksum(body) != loadLittleEndian(all.data() + body.size(), kChecksumBytes)) {
        return doubt("checksum");
    }
    Reader r(body);
    r.bytes(kMagicBytes);
    if (r.u64() != kFormat) {
        return doubt("other format");
    }
    const SnapshotScope recorded = readScope(r);
    loaded.mark_.ns = r.i64();
    if (!r.ok() || !(recorded == scope)) {
        return doubt(kOtherScope);
    }
    // A schema changed within the recording scan's first tick may have changed again since.
    if (!scope.schema.stampedBefore(loaded.mark_)) {
        return doubt("schema changed while it was recorded");
    }
    loaded.pattern_ = scope.pattern;
    const std::uint64_t count = r.u64();
    // Never more entries than the bytes could hold: a damaged count reserves nothing absurd.
    loaded.entries_.reserve(std::min<std::uint64_t>(count, r.left() / kMinEntryBytes));
    // Only indexed here: an outcome is decoded when its file is asked for.
    for (std::uint64_t i = 0; r.ok() && i < count; ++i) {
        Entry entry;
        entry.nameSize = r.u32();
        entry.nameAt = static_cast<std::uint32_t>(r.at());
        r.bytes(entry.nameSize);
        entry.identity = r.identity();
        entry.outcomeSize = r.u32();
        entry.outcomeAt = static_cast<std::uint32_t>(r.at());
        r.bytes(entry.outcomeSize);
        if (r.ok() && !loaded.entries_.empty() &&
            !(loaded.nameOf(loaded.entries_.back()) < loaded.nameOf(entry))) {
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
    return loaded;
}

std::optional<std::string_view> SnapshotView::recorded(std::string_view fileName,
                                                       const Identity& now) const {
    const auto it =
        std::lower_bound(entries_.begin(), entries_.end(), fileName,
                         [this](const Entry& e, std::string_view n) { return nameOf(e) < n; });
    if (it == entries_.end() || nameOf(*it) != fileName) {
        return std::nullopt;
    }
    return vouched(*it, now);
}

std::optional<std::string_view> SnapshotView::recordedListed(std::size_t listed,
                                                             const Identity& now) const {
    assert(hasListing_ && listed < listing_.size() && "a position of the recorded listing");
    return vouched(entries_[listing_[listed]], now);
}

std::optional<std::string_view> SnapshotView::vouched(const Entry& entry,
                                                      const Identity& now) const {
    if (!(entry.identity == now) || !now.stampedBefore(mark_)) {
        return std::nullopt;
    }
    return bytes().substr(entry.outcomeAt, entry.outcomeSize);
}

bool SnapshotView::decode(std::string_view stored, DefinitionOutcome& o) {
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
        // A damaged count reserves nothing absurd: a menu takes at least its two lengths.
        record.ReserveMenus(std::min<std::size_t>(menus, r.left() / (2 * kLengthBytes)));
        for (std::uint32_t i = 0; r.ok() && i < menus; ++i) {
            const std::string_view name = r.str();
            record.AddMenu(std::string(name), std::string(r.str()));
        }
        const std::uint32_t apps = r.u32();
        // An application takes at least its four lengths and its flag.
        record.ReserveApplications(
            std::min<std::size_t>(apps, r.left() / (4 * kLengthBytes + kFlagBytes)));
        for (std::uint32_t i = 0; r.ok() && i < apps; ++i) {
            std::string path(r.str());
            std::string arguments(r.str());
            std::string type(r.str());
            std::string command(r.str());
            const bool modal = r.u32() == 1;
            record.AddApplication(QmApplication::Restored(
                std::move(path), std::move(arguments), std::move(type), std::move(command), modal));
        }
        o.encoding = r.str();
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

bool SnapshotView::listing(const Identity& folder, std::vector<std::string_view>& out) const {
    if (!hasListing_ || !(folder_ == folder) || !folder.stampedBefore(mark_)) {
        return false;
    }
    std::vector<std::string_view> names;
    names.reserve(listing_.size());
    for (const std::uint32_t at : listing_) {
        // A listing is only as trustworthy as its file: every name must be one that reading
        // the folder could have given, so none reaches outside it.
        const std::string_view name = names.emplace_back(nameOf(entries_[at]));
        if (!isEntryName(name) || !qmsys::wildcardMatch(pattern_, name)) {
            return false;
        }
    }
    out.swap(names);
    return true;
}

SnapshotBuilder::SnapshotBuilder(SnapshotScope scope, qmsys::FileClockMark mark)
    : scope_(std::move(scope)), mark_(mark) {}

void SnapshotBuilder::add(std::string_view fileName, const Identity& identity,
                          const DefinitionOutcome& outcome) {
    const std::size_t nameAt = arena_.size();
    arena_ += fileName;
    const std::size_t outcomeAt = arena_.size();
    Writer w(arena_);
    writeOutcome(w, outcome);
    entries_.push_back(
        Entry{nameAt, fileName.size(), outcomeAt, arena_.size() - outcomeAt, identity});
}

void SnapshotBuilder::addStored(std::string_view fileName, const Identity& identity,
                                std::string_view stored) {
    const std::size_t nameAt = arena_.size();
    arena_ += fileName;
    const std::size_t outcomeAt = arena_.size();
    arena_ += stored;
    entries_.push_back(Entry{nameAt, fileName.size(), outcomeAt, stored.size(), identity});
}

void SnapshotBuilder::setListing(const Identity& folder, std::size_t count) {
    listing_.emplace(folder, count);
}

std::string SnapshotBuilder::serialize() const {
    // The entries by name; position[i] is where the i-th one added goes.
    std::vector<std::uint32_t> sorted(entries_.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::sort(sorted.begin(), sorted.end(), [this](std::uint32_t a, std::uint32_t b) {
        return slice(entries_[a].nameAt, entries_[a].nameSize) <
               slice(entries_[b].nameAt, entries_[b].nameSize);
    });
    assert(std::adjacent_find(sorted.begin(), sorted.end(),
                              [this](std::uint32_t a, std::uint32_t b) {
                                  return slice(entries_[a].nameAt, entries_[a].nameSize) ==
                                         slice(entries_[b].nameAt, entries_[b].nameSize);
                              }) == sorted.end() &&
           "a snapshot records each file name once");
    constexpr std::size_t kScopeBytes = 1024;  // a guess: the scope is a few paths
    std::string text;
    text.reserve(kScopeBytes + arena_.size() + entries_.size() * (kMinEntryBytes + kPositionBytes));
    Writer w(text);
    text += kMagic;
    w.u64(kFormat);
    writeScope(w, scope_);
    w.i64(mark_.ns);
    w.u64(sorted.size());
    for (const std::uint32_t i : sorted) {
        const Entry& entry = entries_[i];
        w.str(slice(entry.nameAt, entry.nameSize));
        w.identity(entry.identity);
        w.str(slice(entry.outcomeAt, entry.outcomeSize));
    }
    const bool withListing = listing_ && listing_->second == entries_.size();
    w.u32(withListing ? 1 : 0);
    if (withListing) {
        std::vector<std::uint32_t> position(sorted.size());
        for (std::uint32_t at = 0; at < sorted.size(); ++at) {
            position[sorted[at]] = at;
        }
        w.identity(listing_->first);
        w.u64(position.size());
        for (const std::uint32_t at : position) {
            w.u32(at);
        }
    }
    w.u64(checksum(text));
    return text;
}

void SnapshotBuilder::save(DiagnosticLog* log) const {
    const std::string file = scope_.file();
    qmsys::createDirectories(file.substr(0, file.rfind('/')));
    if (qmsys::replaceFileContents(file, serialize(), 0600) != qmsys::kErrorSuccess && log) {
        log->write(kLogCategory, "snapshot " + file + " not written");
    }
    // What a start killed while writing the snapshot left behind; nothing else would ever
    // remove it.
    qmsys::removeAbandonedTemporaries(file);
}

void SnapshotBuilder::reseal(std::string& bytes) {
    if (bytes.size() < kChecksumBytes) {
        return;
    }
    const std::uint64_t sum =
        checksum(std::string_view(bytes.data(), bytes.size() - kChecksumBytes));
    bytes.resize(bytes.size() - kChecksumBytes);
    Writer(bytes).u64(sum);
}

}  // namespace qm
