#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <unordered_map>

#include "key_path_p.h"
#include "name_folding_p.h"
#include "qmreg/registry.h"
#include "sqlite_connection_p.h"
#include "store_schema_p.h"

namespace qmreg {

namespace {

using detail::foldName;
using detail::kApplicationId;
using detail::kSchemaVersion;
using detail::SqliteConnection;

constexpr const char* kCountObjects = "SELECT count(*) FROM sqlite_master";
constexpr const char* kApplicationIdQuery = "PRAGMA application_id";
constexpr const char* kUserVersionQuery = "PRAGMA user_version";
constexpr const char* kJournalModeQuery = "PRAGMA journal_mode";
// Changes whenever another connection has committed since this one last read.
constexpr const char* kDataVersionQuery = "PRAGMA data_version";
constexpr const char* kFindKey = "SELECT id, path, folded FROM keys WHERE folded = ?1";
constexpr const char* kInsertKey =
    "INSERT INTO keys(parent, name, path, folded) VALUES(?1, ?2, ?3, ?4)";
constexpr const char* kHasSubkeys = "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1";
// A key's subkeys at every depth: the folded paths that begin with its own and a backslash.
// They sort from that prefix up to the prefix with ']', the character after the backslash. No
// deletion cascades from key to key, so depth costs nothing; each key takes its values along.
constexpr const char* kDeleteSubtree = "DELETE FROM keys WHERE folded >= ?1 AND folded < ?2";
constexpr const char* kDeleteKey = "DELETE FROM keys WHERE id = ?1";
constexpr const char* kSubkeys =
    "SELECT name FROM keys WHERE parent = ?1 ORDER BY name COLLATE NOCASE";
constexpr const char* kGetValue =
    "SELECT v.name, v.type, v.data FROM vals v JOIN keys k ON k.id = v.key "
    "WHERE k.folded = ?1 AND v.folded = ?2";
// A key and every key below it (see kDeleteSubtree for the range), with their values.
constexpr const char* kSubtree =
    "SELECT k.folded, v.folded, v.name, v.type, v.data FROM keys k "
    "LEFT JOIN vals v ON v.key = k.id WHERE k.folded = ?1 OR (k.folded >= ?2 AND k.folded < ?3)";
constexpr const char* kValues =
    "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY name COLLATE NOCASE";
// An existing value keeps the capitalisation of its name; type and data are replaced.
constexpr const char* kSetValue =
    "INSERT INTO vals(key, folded, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char* kDeleteValue = "DELETE FROM vals WHERE key = ?1 AND folded = ?2";

struct KeyRow {
    std::int64_t id;
    std::string path;
    std::string folded;  // as stored: what lookups compare, and the prefix of every subkey's
};

std::string folderOf(const std::string& file) {
    auto slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

void createFolders(const std::string& folder, const std::string& file) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        partial = folder.substr(0, pos);
        if (partial.empty() || ::mkdir(partial.c_str(), 0755) == 0 || errno == EEXIST)
            continue;
        throw StoreError("The registry store \"" + file + "\" cannot be created: folder \"" +
                         partial + "\": " + std::strerror(errno));
    }
}

// Whether this process may write file (and the WAL files beside it), or create it.
bool mayWrite(const std::string& file) {
    if (exists(file))
        return ::access(file.c_str(), W_OK) == 0 && ::access(folderOf(file).c_str(), W_OK) == 0;
    std::string folder = folderOf(file);
    while (!exists(folder) && folder != "/" && folder != ".")
        folder = folderOf(folder);
    return ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

struct Hive::Impl {
    // A subtree read in one query, answering reads inside it for the rest of the outermost
    // transaction (see Hive::prefetch).
    struct Prefetched {
        using Values = std::unordered_map<std::string, Value>;  // by folded name
        std::string root;                                       // folded path of the subtree's key
        // Folded key path -> its values.
        std::unordered_map<std::string, Values> keys;
        std::int64_t dataVersion = 0;  // the store's data version when it was read

        bool covers(const std::string& folded) const {
            return folded.size() >= root.size() && folded.compare(0, root.size(), root) == 0 &&
                   (folded.size() == root.size() || root.empty() || folded[root.size()] == '\\');
        }
        // The values of the key folded (inside the subtree), null when the store has no such
        // key. A key is opened and then read value by value: the last answer is kept, and
        // stays right because elements of keys never move and none is ever erased.
        const Values* find(const std::string& folded) const {
            if (!lastValid || folded != lastFolded) {
                const auto it = keys.find(folded);
                lastValues = it == keys.end() ? nullptr : &it->second;
                lastFolded = folded;
                lastValid = true;
            }
            return lastValues;
        }
        // Adds a key created meanwhile (it has no values yet).
        void add(const std::string& folded) {
            keys.try_emplace(folded);
            lastValid = false;
        }

    private:
        mutable std::string lastFolded;
        mutable const Values* lastValues = nullptr;
        mutable bool lastValid = false;
    };

    std::string file;
    // Null for a read-only hive whose file does not exist (or holds no store yet): it reads
    // as a hive with an empty root key.
    std::unique_ptr<SqliteConnection> db;
    bool writable = false;
    int depth = 0;                         // open Transaction scopes
    std::optional<Prefetched> prefetched;  // only while depth > 0 and nothing was written
    // The last transaction's prefetched copy, set aside when it ended (kept up to date by
    // this connection's own key creations, dropped by any other write of it). A later
    // prefetch of the same subtree takes it back when no other connection has committed
    // since, instead of reading the subtree again. Never answers a read by itself.
    std::optional<Prefetched> setAside;
    // The parent row of the last key createKey inserted, while the outermost transaction
    // lasts: keys are usually created side by side, and the parent need not be looked up
    // again for each of them.
    std::optional<KeyRow> lastParent;
    // The last key path asked for and its folded, normalised form: a key is usually opened
    // and then read several times.
    std::string lastKey;
    std::string lastFolded;

    const std::string& foldedKey(const std::string& key) {
        if (key != lastKey || lastKey.empty()) {
            if (detail::isNormalKeyPath(key))
                detail::foldNameInto(key, lastFolded);  // no copy for the usual path
            else
                detail::foldNameInto(detail::normalizeKeyPath(key), lastFolded);
            lastKey = key;
        }
        return lastFolded;
    }

    std::int64_t scalar(const char* sql) {
        auto st = db->statement(sql);
        return st.step() ? st.integer(0) : 0;
    }

    std::string journalMode() {
        auto st = db->statement(kJournalModeQuery);
        return st.step() ? st.text(0) : std::string();
    }

    // Checks that the file is a registry store, turns a new, empty file into one, and brings
    // a store of an older layout to the current one. A store this process may only read is
    // upgraded in a private copy in memory, and read from there.
    void prepare() {
        bool empty = scalar(kCountObjects) == 0 && scalar(kApplicationIdQuery) == 0;
        if (empty && !writable) {
            db.reset();
            return;
        }
        std::int64_t version = kSchemaVersion;
        if (!empty) {
            if (scalar(kApplicationIdQuery) != kApplicationId) {
                throw StoreError("The registry store \"" + file +
                                 "\" is a database of another program, not a registry store. "
                                 "It has been left as it is.");
            }
            version = scalar(kUserVersionQuery);
            if (version > kSchemaVersion) {
                throw StoreError("The registry store \"" + file +
                                 "\" was written by a newer version of this program.");
            }
        }
        if (writable) {
            db->exec("PRAGMA synchronous = NORMAL");
            if (journalMode() != "wal")
                db->enableWal();
        } else if (version < kSchemaVersion) {
            db->copyToMemory();
        }
        if (empty || version < kSchemaVersion) {
            // Another process may be creating or upgrading the store at the same moment; the
            // second one in finds the work done. Foreign keys are still off: dropping the old
            // tables must not cascade.
            db->exec("BEGIN IMMEDIATE");
            try {
                if (scalar(kCountObjects) == 0)
                    detail::createSchema(*db);
                else if (scalar(kUserVersionQuery) < kSchemaVersion)
                    detail::upgradeSchema(*db);
                db->exec("COMMIT");
            } catch (...) {
                rollbackQuietly();
                throw;
            }
        }
        db->exec("PRAGMA foreign_keys = ON");
    }

    void rollbackQuietly() noexcept {
        try {
            db->exec("ROLLBACK");
        } catch (const StoreError&) {
            // The transaction is gone already; nothing left to undo.
        }
    }

    std::optional<KeyRow> findKey(const std::string& normalized) {
        if (!db)
            return normalized.empty() ? std::optional<KeyRow>(KeyRow{1, "", ""}) : std::nullopt;
        auto st = db->statement(kFindKey);
        st.bind(1, foldName(normalized));
        if (!st.step())
            return std::nullopt;
        return KeyRow{st.integer(0), st.text(1), st.text(2)};
    }

    // Finds or creates the key with the given components; returns its row.
    KeyRow ensureKey(const std::vector<std::string>& parts, std::size_t count) {
        std::string path;
        for (std::size_t i = 0; i < count; ++i)
            path += (i ? "\\" : "") + parts[i];
        if (auto row = findKey(path))
            return *row;
        const std::string parentFolded =
            foldName(path.substr(0, path.size() - parts[count - 1].size() - (count > 1 ? 1 : 0)));
        if (!lastParent || lastParent->folded != parentFolded)
            lastParent = ensureKey(parts, count - 1);
        const KeyRow parent = *lastParent;
        const std::string& name = parts[count - 1];
        KeyRow row{0, parent.path.empty() ? name : parent.path + "\\" + name,
                   parent.folded.empty() ? foldName(name) : parent.folded + "\\" + foldName(name)};
        auto st = db->statement(kInsertKey);
        st.bind(1, parent.id).bind(2, name).bind(3, row.path).bind(4, row.folded).run();
        row.id = db->lastInsertRowid();
        return row;
    }

    // Adds a key this connection has just created, and its ancestors, to copy when they fall
    // inside its subtree: a new key has no values, so the copy stays what the store holds.
    static void addCreatedKey(std::optional<Prefetched>& copy, std::string folded) {
        if (!copy)
            return;
        while (copy->covers(folded)) {
            copy->add(folded);
            const auto backslash = folded.rfind('\\');
            if (backslash == std::string::npos) {
                if (folded.empty())
                    break;
                folded.clear();
            } else {
                folded.resize(backslash);
            }
        }
    }

    // Forgets everything read ahead: after a rollback, or a write the copies do not follow.
    void dropCopies() {
        prefetched.reset();
        setAside.reset();
        lastParent.reset();
    }

    // Runs a write as its own IMMEDIATE transaction, or inside the caller's open one.
    // keepsCopies: the body keeps the prefetched copies up to date itself.
    template <class F>
    bool write(Hive& hive, F&& body, bool keepsCopies = false) {
        if (!writable)
            return false;
        if (!keepsCopies)
            dropCopies();
        if (depth > 0)
            return body();
        Transaction transaction(hive);
        bool result = body();
        transaction.commit();
        return result;
    }
};

Hive::Hive(const std::string& file, bool readOnly) : impl_(std::make_unique<Impl>()) {
    impl_->file = file;
    if (readOnly) {
        if (!exists(file))
            return;
        impl_->db = std::make_unique<SqliteConnection>(file, SqliteConnection::Mode::ReadOnly);
    } else {
        createFolders(folderOf(file), file);
        impl_->db = std::make_unique<SqliteConnection>(file, SqliteConnection::Mode::ReadWrite);
        impl_->writable = !impl_->db->readOnly();
    }
    impl_->prepare();
}

Hive::~Hive() = default;

namespace {

thread_local std::uint64_t replacedConnections = 0;

}  // namespace

Hive& Hive::forThread(HiveId hive) {
    thread_local std::map<HiveId, std::unique_ptr<Hive>> cache;
    // Asked for before nearly every registry call: the name is built into one buffer that
    // keeps its room from call to call.
    thread_local std::string file;
    hiveFileInto(hive, file);
    auto& slot = cache[hive];
    // A connection in the middle of a transaction is kept until that transaction ends.
    if (slot && (slot->file() == file || slot->impl_->depth > 0))
        return *slot;
    if (slot)
        ++replacedConnections;
    slot.reset();
    bool readOnly = hive == HiveId::LocalMachine && !mayWrite(file);
    slot = std::make_unique<Hive>(file, readOnly);
    return *slot;
}

std::uint64_t Hive::replacedOnThread() {
    return replacedConnections;
}

const std::string& Hive::file() const {
    return impl_->file;
}

bool Hive::writable() const {
    return impl_->writable;
}

bool Hive::keyExists(const std::string& key) {
    if (impl_->prefetched) {
        const std::string& folded = impl_->foldedKey(key);
        if (impl_->prefetched->covers(folded))
            return impl_->prefetched->find(folded) != nullptr;
    }
    return impl_->findKey(detail::normalizeKeyPath(key)).has_value();
}

void Hive::prefetch(const std::string& key) {
    if (impl_->depth == 0 || !impl_->db)
        return;
    Impl::Prefetched prefetched;
    prefetched.root = foldName(detail::normalizeKeyPath(key));
    std::optional<Impl::Prefetched>& setAside = impl_->setAside;
    if (setAside && setAside->root == prefetched.root &&
        setAside->dataVersion == impl_->scalar(kDataVersionQuery)) {
        impl_->prefetched = std::move(setAside);
        setAside.reset();
        return;
    }
    auto st = impl_->db->statement(kSubtree);
    st.bind(1, prefetched.root).bind(2, prefetched.root + "\\").bind(3, prefetched.root + "]");
    // A key's rows come one after the other: its entry is looked up once for all of them.
    Impl::Prefetched::Values* values = nullptr;
    std::string folded;
    while (st.step()) {
        if (!values || st.textView(0) != folded) {
            folded = st.textView(0);
            values = &prefetched.keys[folded];
        }
        if (!st.isNull(1))
            values->emplace(st.text(1),
                            Value{st.text(2), static_cast<ValueType>(st.integer(3)), st.blob(4)});
    }
    prefetched.dataVersion = impl_->scalar(kDataVersionQuery);
    impl_->prefetched = std::move(prefetched);
}

bool Hive::createKey(const std::string& key) {
    auto parts = detail::splitKeyPath(key);
    if (parts.size() > kMaxKeyDepth)
        return false;
    return impl_->write(
        *this,
        [&] {
            const KeyRow row = impl_->ensureKey(parts, parts.size());
            Impl::addCreatedKey(impl_->prefetched, row.folded);
            Impl::addCreatedKey(impl_->setAside, row.folded);
            return true;
        },
        true);
}

bool Hive::deleteKey(const std::string& key, bool recursive) {
    std::string path = detail::normalizeKeyPath(key);
    if (path.empty())
        return false;  // the root key cannot be deleted
    return impl_->write(*this, [&] {
        auto row = impl_->findKey(path);
        if (!row)
            return false;
        if (!recursive) {
            auto st = impl_->db->statement(kHasSubkeys);
            if (st.bind(1, row->id).step())
                return false;
        }
        impl_->db->statement(kDeleteSubtree)
            .bind(1, row->folded + "\\")
            .bind(2, row->folded + "]")
            .run();
        impl_->db->statement(kDeleteKey).bind(1, row->id).run();
        detail::promoteDuplicateKey(*impl_->db, row->folded);
        return true;
    });
}

std::optional<Value> Hive::getValue(const std::string& key, const std::string& name) {
    if (!impl_->db)
        return std::nullopt;
    const std::string& folded = impl_->foldedKey(key);
    if (impl_->prefetched && impl_->prefetched->covers(folded)) {
        const Impl::Prefetched::Values* values = impl_->prefetched->find(folded);
        if (!values)
            return std::nullopt;
        const auto value = values->find(foldName(name));
        if (value == values->end())
            return std::nullopt;
        return value->second;
    }
    auto st = impl_->db->statement(kGetValue);
    st.bind(1, folded).bind(2, foldName(name));
    if (!st.step())
        return std::nullopt;
    return Value{st.text(0), static_cast<ValueType>(st.integer(1)), st.blob(2)};
}

bool Hive::setValue(const std::string& key, const Value& value) {
    std::string path = detail::normalizeKeyPath(key);
    return impl_->write(*this, [&] {
        auto row = impl_->findKey(path);
        if (!row)
            return false;
        auto st = impl_->db->statement(kSetValue);
        st.bind(1, row->id)
            .bind(2, foldName(value.name))
            .bind(3, value.name)
            .bind(4, static_cast<std::int64_t>(value.type))
            .bindBlob(5, value.data)
            .run();
        return true;
    });
}

bool Hive::deleteValue(const std::string& key, const std::string& name) {
    std::string path = detail::normalizeKeyPath(key);
    return impl_->write(*this, [&] {
        auto row = impl_->findKey(path);
        if (!row)
            return false;
        const std::string folded = foldName(name);
        impl_->db->statement(kDeleteValue).bind(1, row->id).bind(2, folded).run();
        if (impl_->db->changes() == 0)
            return false;
        detail::promoteDuplicateValue(*impl_->db, row->id, folded);
        return true;
    });
}

std::vector<std::string> Hive::subkeys(const std::string& key) {
    std::vector<std::string> names;
    auto row = impl_->findKey(detail::normalizeKeyPath(key));
    if (!row || !impl_->db)
        return names;
    auto st = impl_->db->statement(kSubkeys);
    st.bind(1, row->id);
    while (st.step())
        names.push_back(st.text(0));
    return names;
}

std::vector<Value> Hive::values(const std::string& key) {
    std::vector<Value> result;
    auto row = impl_->findKey(detail::normalizeKeyPath(key));
    if (!row || !impl_->db)
        return result;
    auto st = impl_->db->statement(kValues);
    st.bind(1, row->id);
    while (st.step()) {
        result.push_back(Value{st.text(0), static_cast<ValueType>(st.integer(1)), st.blob(2)});
    }
    return result;
}

std::optional<std::string> Hive::canonicalKey(const std::string& key) {
    auto row = impl_->findKey(detail::normalizeKeyPath(key));
    if (!row)
        return std::nullopt;
    return row->path;
}

std::vector<NameCollision> Hive::takeNameCollisions() {
    if (!impl_->db)
        return {};
    std::vector<NameCollision> list = detail::listedNameCollisions(*impl_->db);
    if (!list.empty()) {
        impl_->write(*this, [&] {
            detail::forgetNameCollisions(*impl_->db);
            return true;
        });
    }
    return list;
}

Hive::Transaction::Transaction(Hive& hive, Kind kind) : hive_(hive) {
    Impl& impl = *hive_.impl_;
    if (!impl.writable) {
        done_ = true;  // nothing can be written, so there is nothing to commit or undo
        return;
    }
    outermost_ = impl.depth == 0;
    impl.db->exec(!outermost_           ? "SAVEPOINT nested"
                  : kind == Kind::Reads ? "BEGIN DEFERRED"
                                        : "BEGIN IMMEDIATE");
    ++impl.depth;
}

Hive::Transaction::~Transaction() {
    if (done_)
        return;
    Impl& impl = *hive_.impl_;
    try {
        impl.db->exec(outermost_ ? "ROLLBACK" : "ROLLBACK TO nested; RELEASE nested");
    } catch (const StoreError&) {
        // A failed commit may already have ended the transaction.
    }
    --impl.depth;
    impl.dropCopies();
}

void Hive::Transaction::commit() {
    if (done_)
        return;
    hive_.impl_->db->exec(outermost_ ? "COMMIT" : "RELEASE nested");
    done_ = true;
    Impl& impl = *hive_.impl_;
    --impl.depth;
    if (outermost_) {
        // Another connection may write once this one lets go of the store: the parent row
        // may go, and the copy is taken back only after checking the data version.
        if (impl.prefetched)
            impl.setAside = std::move(impl.prefetched);
        impl.prefetched.reset();
        impl.lastParent.reset();
    }
}

}  // namespace qmreg
