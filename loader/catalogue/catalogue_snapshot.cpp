#include "catalogue/catalogue_snapshot.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <qmenv/environment.h>
#include <qmsys/files.h>
#include <qmsys/user_folders.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "environment/diagnostic_log.h"
#include "environment/names.h"

namespace qm {

namespace {

constexpr std::string_view kLogCategory = "catalogue";
constexpr std::string_view kMagic = "QMCATSNP";
constexpr std::uint32_t kFormat = 2;
// A snapshot larger than this is not one of ours.
constexpr std::uintmax_t kMaxBytes = std::uintmax_t{1} << 31;

std::int64_t nanoseconds(const timespec& ts) {
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::uint64_t fnv1a(std::string_view data, std::uint64_t hash = 1469598103934665603ULL) {
    for (const char c : data) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

class Writer {
public:
    void u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            out_ += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    }
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
    void str(std::string_view s) {
        u64(s.size());
        out_ += s;
    }
    void identity(const CatalogueSnapshot::Identity& id) {
        u64(id.size);
        i64(id.modifiedNs);
        i64(id.changedNs);
        u64(id.inode);
        u64(id.device);
    }
    std::string& text() { return out_; }

private:
    std::string out_;
};

// Reads what Writer wrote; every read past the end or of an implausible length fails the
// whole reader, and the snapshot is then ignored.
class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}
    bool ok() const { return ok_; }
    std::uint64_t u64() {
        if (!ok_ || in_.size() - at_ < 8) {
            ok_ = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in_[at_ + i])) << (8 * i);
        }
        at_ += 8;
        return v;
    }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
    std::string str() {
        const std::uint64_t n = u64();
        if (!ok_ || in_.size() - at_ < n) {
            ok_ = false;
            return {};
        }
        std::string s(in_.substr(at_, n));
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

private:
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
    return s;
}

void writeOutcome(Writer& w, const CatalogueSnapshot::Outcome& o) {
    w.u64(o.accepted ? 1 : 0);
    if (o.accepted) {
        w.str(o.key);
        w.str(o.displayName);
        w.i64(o.versionMajor);
        w.i64(o.versionMinor);
        w.u64(o.menus.size());
        for (const auto& [name, folder] : o.menus) {
            w.str(name);
            w.str(folder);
        }
        w.u64(o.applications.size());
        for (const auto& a : o.applications) {
            w.str(a.path);
            w.str(a.arguments);
            w.str(a.type);
            w.str(a.command);
            w.u64(a.modal ? 1 : 0);
        }
        return;
    }
    w.str(o.errorText);
    w.u64(static_cast<std::uint64_t>(o.diagnostic.fault));
    w.i64(o.diagnostic.line);
    w.str(o.diagnostic.reason);
    w.str(o.diagnostic.keyReached);
}

bool readOutcome(Reader& r, CatalogueSnapshot::Outcome& o) {
    const std::uint64_t accepted = r.u64();
    if (accepted > 1) {
        return false;
    }
    o.accepted = accepted == 1;
    if (o.accepted) {
        o.key = r.str();
        o.displayName = r.str();
        o.versionMajor = static_cast<std::int32_t>(r.i64());
        o.versionMinor = static_cast<std::int32_t>(r.i64());
        const std::uint64_t menus = r.u64();
        for (std::uint64_t i = 0; r.ok() && i < menus; ++i) {
            std::string name = r.str();
            o.menus.emplace_back(std::move(name), r.str());
        }
        const std::uint64_t apps = r.u64();
        for (std::uint64_t i = 0; r.ok() && i < apps; ++i) {
            CatalogueSnapshot::Outcome::Application a;
            a.path = r.str();
            a.arguments = r.str();
            a.type = r.str();
            a.command = r.str();
            a.modal = r.u64() == 1;
            o.applications.push_back(std::move(a));
        }
        return r.ok();
    }
    o.errorText = r.str();
    const std::uint64_t fault = r.u64();
    if (fault > static_cast<std::uint64_t>(DefinitionFault::ComError)) {
        return false;
    }
    o.diagnostic.fault = static_cast<DefinitionFault>(fault);
    o.diagnostic.line = static_cast<int>(r.i64());
    o.diagnostic.reason = r.str();
    o.diagnostic.keyReached = r.str();
    return r.ok();
}

// The binary the loader runs in: the shared object holding this code, or the program.
bool loaderIdentity(std::string& file, CatalogueSnapshot::Identity& out) {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&CatalogueSnapshot::disabledByEnvironment), &info) != 0 &&
        info.dli_fname && *info.dli_fname && CatalogueSnapshot::identify(info.dli_fname, out)) {
        file = info.dli_fname;
        return true;
    }
    std::error_code ec;
    file = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    return CatalogueSnapshot::identify("/proc/self/exe", out);
}

}  // namespace

bool CatalogueSnapshot::identify(const std::string& path, Identity& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    out = Identity{static_cast<std::uint64_t>(st.st_size), nanoseconds(st.st_mtim),
                   nanoseconds(st.st_ctim), static_cast<std::uint64_t>(st.st_ino),
                   static_cast<std::uint64_t>(st.st_dev)};
    return true;
}

bool CatalogueSnapshot::currentScope(const std::string& config, const std::string& language,
                                     const std::string& folder, const std::string& pattern,
                                     Scope& out) {
    Scope scope{config, language, folder, pattern, QmEnGetAppPath(), {}, {}, {}};
    if (!loaderIdentity(scope.loaderFile, scope.loader) ||
        !identify(folder + "/" + std::string(names::kDefinitionSchema), scope.schema)) {
        return false;
    }
    out = std::move(scope);
    return true;
}

CatalogueSnapshot::Outcome CatalogueSnapshot::fromRecord(const ModuleRecord& record) {
    Outcome o;
    o.accepted = true;
    o.key = record.GetKey();
    o.displayName = record.GetDisplayName();
    o.versionMajor = record.GetVersionMajor();
    o.versionMinor = record.GetVersionMinor();
    for (const MenuEntry& menu : record.GetMenus()) {
        o.menus.emplace_back(menu.name, menu.folder);
    }
    for (const QmApplication& app : record.GetApplications()) {
        o.applications.push_back(Outcome::Application{
            app.GetPath(), app.GetArguments(), app.GetType(), app.GetCommand(), app.GetModal()});
    }
    return o;
}

ModuleRecord CatalogueSnapshot::toRecord(const Outcome& o) {
    ModuleRecord record;
    record.SetKey(o.key);
    record.SetDisplayName(o.displayName);
    record.SetVersion(o.versionMajor, o.versionMinor);
    for (const auto& [name, folder] : o.menus) {
        record.AddMenu(name, folder);
    }
    for (const auto& a : o.applications) {
        record.AddApplication(
            QmApplication::Restored(a.path, a.arguments, a.type, a.command, a.modal));
    }
    return record;
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
    return qmsys::xdgFolder(qmsys::XdgFolder::State) + std::string(names::kProductFolderSuffix) +
           "/catalogue/" + name;
}

void CatalogueSnapshot::startScan() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    scanStartNs_ = nanoseconds(ts);
}

CatalogueSnapshot CatalogueSnapshot::load(const Scope& scope, DiagnosticLog* log) {
    CatalogueSnapshot empty(scope);
    const std::string file = fileOf(scope);
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(file, ec);
    if (ec || bytes > kMaxBytes || bytes < kMagic.size() + 16) {
        return empty;
    }
    std::string data;
    {
        std::ifstream in(file, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            data.clear();
        }
    }
    auto doubt = [&](const char* why) {
        if (log) {
            log->write(kLogCategory, "snapshot " + file + " ignored: " + why);
        }
        return empty;
    };
    if (data.size() != bytes || data.compare(0, kMagic.size(), kMagic) != 0) {
        return doubt("not a snapshot");
    }
    const std::string_view body(data.data(), data.size() - 8);
    Reader tail(std::string_view(data).substr(data.size() - 8));
    if (fnv1a(body) != tail.u64()) {
        return doubt("checksum");
    }
    Reader r(body.substr(kMagic.size()));
    if (r.u64() != kFormat) {
        return doubt("other format");
    }
    CatalogueSnapshot loaded(readScope(r));
    loaded.scanStartNs_ = r.i64();
    if (!r.ok() || !(loaded.scope_ == scope)) {
        return doubt("other schema, build, installation, configuration or language");
    }
    // A schema changed within the recording scan's first tick may have changed again since.
    if (scope.schema.modifiedNs >= loaded.scanStartNs_ ||
        scope.schema.changedNs >= loaded.scanStartNs_) {
        return doubt("schema changed while it was recorded");
    }
    const std::uint64_t count = r.u64();
    // Never more entries than the bytes could hold: a damaged count reserves nothing absurd.
    loaded.entries_.reserve(std::min<std::uint64_t>(count, bytes / 64));
    for (std::uint64_t i = 0; r.ok() && i < count; ++i) {
        Entry entry;
        entry.name = r.str();
        entry.identity = r.identity();
        if (!readOutcome(r, entry.outcome)) {
            return doubt("corrupt entry");
        }
        if (!loaded.entries_.empty() && !(loaded.entries_.back().name < entry.name)) {
            return doubt("entries out of order");
        }
        loaded.entries_.push_back(std::move(entry));
    }
    if (!r.ok() || !r.atEnd()) {
        return doubt("corrupt");
    }
    return loaded;
}

bool CatalogueSnapshot::take(const std::string& fileName, const Identity& now, Outcome& out) {
    const auto it =
        std::lower_bound(entries_.begin(), entries_.end(), fileName,
                         [](const Entry& e, const std::string& n) { return e.name < n; });
    if (it == entries_.end() || it->name != fileName || !(it->identity == now) ||
        now.modifiedNs >= scanStartNs_ || now.changedNs >= scanStartNs_) {
        return false;
    }
    out = std::move(it->outcome);
    return true;
}

void CatalogueSnapshot::put(const std::string& fileName, const Identity& identity,
                            Outcome outcome) {
    entries_.push_back(Entry{fileName, identity, std::move(outcome)});
}

void CatalogueSnapshot::save(DiagnosticLog* log) const {
    Writer w;
    w.text() += kMagic;
    w.u64(kFormat);
    writeScope(w, scope_);
    w.i64(scanStartNs_);
    std::vector<const Entry*> sorted;
    sorted.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        sorted.push_back(&entry);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const Entry* a, const Entry* b) { return a->name < b->name; });
    w.u64(sorted.size());
    for (const Entry* entry : sorted) {
        w.str(entry->name);
        w.identity(entry->identity);
        writeOutcome(w, entry->outcome);
    }
    const std::uint64_t sum = fnv1a(w.text());
    w.u64(sum);

    const std::string file = fileOf(scope_);
    const std::string temp = file + ".tmp." + std::to_string(::getpid());
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool written = fd >= 0 && qmsys::writeAll(fd, w.text());
    if (fd >= 0 && ::close(fd) != 0) {
        written = false;
    }
    if (!written || std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        if (log) {
            log->write(kLogCategory, "snapshot " + file + " not written");
        }
    }
}

}  // namespace qm
