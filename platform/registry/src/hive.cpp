#include <qmsys/files.h>

#include <cassert>
#include <string>
#include <thread>
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
// A key and every key below it (see kDeleteSubtree for the range): one range of the key
// index, from the key's own path, which also holds the keys whose names only begin with the
// key's last name (the caller skips them), because one range scan costs a third less than the
// key and its subtree as two (docs/PERFORMANCE.md: the prefetch reads one range).
constexpr const char* kSubtreeKeys = "SELECT folded FROM keys WHERE folded >= ?1 AND folded < ?2";
// Their values, found from the values' side: a scan of the values with each one's key by its
// id, instead of a search of the values for each key of the range, nearly all of which hold
// none (docs/PERFORMANCE.md: the prefetch reads one range).
constexpr const char* kSubtreeValues =
    "SELECT k.folded, v.folded, v.name, v.type, v.data FROM vals v CROSS JOIN keys k "
    "ON k.id = v.key WHERE k.folded >= ?1 AND k.folded < ?2";
constexpr const char* kHasValues =
    "SELECT 1 FROM vals v JOIN keys k ON k.id = v.key WHERE k.folded = ?1 LIMIT 1";
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

void createFolders(const std::string& folder, const std::string& file) {
    if (const qmsys::WinError error = qmsys::createDirectories(folder);
        error != qmsys::kErrorSuccess) {
        throw StoreError("The registry store \"" + file + "\" cannot be created: folder \"" +
                         folder + "\" cannot be made (error " + std::to_string(error) + ")");
    }
}

// Whether this process may write file (and the WAL files beside it), or create it.
bool mayWrite(const std::string& file) {
    if (qmsys::existsAsWritten(file))
        return qmsys::mayWrite(file) && qmsys::mayWrite(folderOf(file));
    std::string folder = folderOf(file);
    while (!qmsys::existsAsWritten(folder) && folder != "/" && folder != ".")
        folder = folderOf(folder);
    return qmsys::mayWrite(folder);
}

// A folded name with its hash worked out already: an open key's path (Hive::KeyPath) is hashed
// once, not at each of its reads from the prefetched copy.
struct HashedName {
    std::string_view name;
    std::size_t hash;
};

bool operator==(const HashedName& a, std::string_view b) {
    return a.name == b;
}

// Lookups by a view of a name, without building a string for each (a start-up reads several
// values of thousands of keys). Deliberately not noexcept: libstdc++ then keeps each entry's
// hash beside it instead of hashing every entry a lookup passes again (docs/PERFORMANCE.md:
// hash maps keep each entry's hash).
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        return std::hash<std::string_view>{}(name);
    }
    std::size_t operator()(const HashedName& name) const { return name.hash; }
};
template <class T>
using NameMap = std::unordered_map<std::string, T, NameHash, std::equal_to<>>;

// The folded, normalised form of a key path: what the store compares.
std::string foldedKey(std::string_view key) {
    if (detail::isNormalKeyPath(key))
        return foldName(key);  // no copy for the usual path
    return foldName(detail::normalizeKeyPath(key));
}

}  // namespace

// The one copy of the store's data a connection keeps is the prefetched subtree
// (Hive::prefetch), and it lives exactly as long as the outermost transaction it was read in:
// with it end the reads it answers. Nothing else read from the store is kept between calls
// (the connection keeps its prepared statements, which hold no data).
struct Hive::Impl {
    // A subtree read at once, answering reads inside it for the rest of the outermost
    // transaction.
    struct Prefetched {
        using Values = NameMap<Value>;  // by folded name
        std::string root;               // folded path of the subtree's key
        NameMap<Values> keys;           // folded key path -> its values

        bool covers(std::string_view folded) const {
            return folded.size() >= root.size() && folded.substr(0, root.size()) == root &&
                   (folded.size() == root.size() || root.empty() || folded[root.size()] == '\\');
        }
        // The values of the key folded (inside the subtree), null when the store has no such
        // key.
        const Values* find(const KeyPath& key) const {
            const auto it = keys.find(HashedName{key.folded_, key.hash_});
            return it == keys.end() ? nullptr : &it->second;
        }
    };

    std::string file;
    // Null for a read-only hive whose file does not exist (or holds no store yet): it reads
    // as a hive with an empty root key.
    std::unique_ptr<SqliteConnection> db;
    bool writable = false;
    int depth = 0;       // open Transaction scopes
    bool reads = false;  // the outermost open transaction is a Reads one
    // SQLite wants a connection used by one thread: the one that opened it.
    const std::thread::id owner = std::this_thread::get_id();
    std::optional<Prefetched> prefetched;  // only while depth > 0 and nothing was written

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

    // The row of the key whose folded, normalised path is folded.
    std::optional<KeyRow> findKey(std::string_view folded) {
        if (!db)
            return folded.empty() ? std::optional<KeyRow>(KeyRow{1, "", ""}) : std::nullopt;
        auto st = db->statement(kFindKey);
        st.bind(1, folded);
        if (!st.step())
            return std::nullopt;
        return KeyRow{st.integer(0), st.text(1), st.text(2)};
    }

    // The folded path of the key named by the first count of parts.
    static std::string foldedPrefix(const std::vector<std::string>& parts, std::size_t count) {
        std::string path;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0)
                path += '\\';
            path += parts[i];
        }
        return foldName(path);
    }

    // Creates the key named by the first count of parts unless it exists, with its missing
    // ancestors; returns its row.
    KeyRow ensureKey(const std::vector<std::string>& parts, std::size_t count) {
        if (count == 0)
            return KeyRow{1, "", ""};  // the root, made with the store
        std::string folded = foldedPrefix(parts, count);
        if (auto row = findKey(folded))
            return *row;
        const KeyRow parent = ensureKey(parts, count - 1);
        const std::string& name = parts[count - 1];
        KeyRow row{0, parent.path.empty() ? name : parent.path + '\\' + name, std::move(folded)};
        db->statement(kInsertKey)
            .bind(1, parent.id)
            .bind(2, name)
            .bind(3, row.path)
            .bind(4, row.folded)
            .run();
        row.id = db->lastInsertRowid();
        return row;
    }

    // Adds a key this connection has just created, and its ancestors, to the prefetched copy
    // when they fall inside its subtree: a new key has no values, so the copy stays what the
    // store holds.
    void addCreatedKey(std::string folded) {
        if (!prefetched)
            return;
        while (prefetched->covers(folded)) {
            prefetched->keys.try_emplace(folded);
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

    // Runs a write as its own IMMEDIATE transaction, or inside the caller's open one.
    // keepsPrefetched: the body keeps the prefetched copy up to date itself; any other write
    // drops it.
    template <class F>
    bool write(Hive& hive, F&& body, bool keepsPrefetched = false) {
        if (!writable)
            return false;
        ++hive.stats_.writes;
        assert(!(depth > 0 && reads) && "nothing is written inside a Reads transaction");
        if (!keepsPrefetched)
            prefetched.reset();
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
        if (!qmsys::existsAsWritten(file))
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

std::shared_ptr<Hive> Hive::openForThread(HiveId hive, const std::string& file) {
    const bool readOnly = hive == HiveId::LocalMachine && !mayWrite(file);
    return std::make_shared<Hive>(file, readOnly);
}

bool Hive::inTransaction() const {
    return impl_->depth > 0;
}

const std::string& Hive::file() const {
    return impl_->file;
}

bool Hive::writable() const {
    return impl_->writable;
}

bool Hive::inReads() const {
    return impl_->depth > 0 && impl_->reads;
}

Hive::KeyPath::KeyPath(std::string_view path)
    : folded_(foldedKey(path)), hash_(NameHash{}(folded_)) {}

bool Hive::keyExists(std::string_view key) {
    return keyExists(KeyPath(key));
}

bool Hive::keyExists(const KeyPath& key) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    const std::string& folded = key.folded_;
    if (impl_->prefetched && impl_->prefetched->covers(folded)) {
        ++stats_.cachedReads;
        return impl_->prefetched->find(key) != nullptr;
    }
    countStoreRead(folded);
    return impl_->findKey(folded).has_value();
}

void Hive::prefetch(std::string_view key) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    if (impl_->depth == 0 || !impl_->db)
        return;
    Impl::Prefetched prefetched;
    prefetched.root = foldedKey(key);
    const std::string end = prefetched.root + "]";
    auto keys = impl_->db->statement(kSubtreeKeys);
    keys.bind(1, prefetched.root).bind(2, end);
    while (keys.step()) {
        const std::string_view folded = keys.textView(0);
        if (!prefetched.covers(folded))
            continue;  // a neighbour of the key, such as "22.15.1" beside "22.15"
        prefetched.keys.try_emplace(std::string(folded));
        if (countKeys_)
            ++stats_.keyReads[std::string(folded)];
    }
    auto values = impl_->db->statement(kSubtreeValues);
    values.bind(1, prefetched.root).bind(2, end);
    // A key's values need not come one after the other: each finds its key.
    while (values.step()) {
        const std::string_view folded = values.textView(0);
        if (!prefetched.covers(folded))
            continue;
        const auto found = prefetched.keys.find(folded);
        if (found == prefetched.keys.end())
            continue;  // cannot be: both reads are of one transaction's view
        found->second.emplace(
            values.text(1),
            Value{values.text(2), static_cast<ValueType>(values.integer(3)), values.blob(4)});
    }
    impl_->prefetched = std::move(prefetched);
}

bool Hive::createKey(std::string_view key) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    auto parts = detail::splitKeyPath(key);
    if (parts.size() > kMaxKeyDepth)
        return false;
    return impl_->write(
        *this,
        [&] {
            impl_->addCreatedKey(impl_->ensureKey(parts, parts.size()).folded);
            return true;
        },
        true);
}

bool Hive::deleteKey(std::string_view key, bool recursive) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    const std::string folded = foldedKey(key);
    if (folded.empty())
        return false;  // the root key cannot be deleted
    return impl_->write(*this, [&] {
        auto row = impl_->findKey(folded);
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

std::optional<Value> Hive::getValue(std::string_view key, std::string_view name) {
    return getValue(KeyPath(key), name);
}

std::optional<Value> Hive::getValue(const KeyPath& key, std::string_view name) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    if (!impl_->db)
        return std::nullopt;
    const std::string& folded = key.folded_;
    if (impl_->prefetched && impl_->prefetched->covers(folded)) {
        ++stats_.cachedReads;
        const Impl::Prefetched::Values* values = impl_->prefetched->find(key);
        // Most keys of a start-up hold no value: the name is then not even folded
        // (docs/PERFORMANCE.md: a key without values answers without folding the name).
        if (!values || values->empty())
            return std::nullopt;
        const auto value = values->find(foldName(name));
        if (value == values->end())
            return std::nullopt;
        return value->second;
    }
    countStoreRead(folded);
    auto st = impl_->db->statement(kGetValue);
    st.bind(1, folded).bind(2, foldName(name));
    if (!st.step())
        return std::nullopt;
    return Value{st.text(0), static_cast<ValueType>(st.integer(1)), st.blob(2)};
}

bool Hive::hasValues(const KeyPath& key) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    if (!impl_->db)
        return false;
    const std::string& folded = key.folded_;
    if (impl_->prefetched && impl_->prefetched->covers(folded)) {
        ++stats_.cachedReads;
        const Impl::Prefetched::Values* values = impl_->prefetched->find(key);
        return values && !values->empty();
    }
    countStoreRead(folded);
    auto st = impl_->db->statement(kHasValues);
    st.bind(1, folded);
    return st.step();
}

bool Hive::setValue(std::string_view key, const Value& value) {
    return setValue(KeyPath(key), value);
}

bool Hive::setValue(const KeyPath& key, const Value& value) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    return impl_->write(*this, [&] {
        auto row = impl_->findKey(key.folded_);
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

bool Hive::deleteValue(std::string_view key, std::string_view name) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    const std::string foldedPath = foldedKey(key);
    return impl_->write(*this, [&] {
        auto row = impl_->findKey(foldedPath);
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

std::vector<std::string> Hive::subkeys(std::string_view key) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    std::vector<std::string> names;
    const std::string folded = foldedKey(key);
    countStoreRead(folded);
    auto row = impl_->findKey(folded);
    if (!row || !impl_->db)
        return names;
    auto st = impl_->db->statement(kSubkeys);
    st.bind(1, row->id);
    while (st.step())
        names.push_back(st.text(0));
    return names;
}

std::vector<Value> Hive::values(std::string_view key) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    std::vector<Value> result;
    const std::string folded = foldedKey(key);
    countStoreRead(folded);
    auto row = impl_->findKey(folded);
    if (!row || !impl_->db)
        return result;
    auto st = impl_->db->statement(kValues);
    st.bind(1, row->id);
    while (st.step()) {
        result.push_back(Value{st.text(0), static_cast<ValueType>(st.integer(1)), st.blob(2)});
    }
    return result;
}

std::optional<std::string> Hive::canonicalKey(std::string_view key) {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
    const std::string folded = foldedKey(key);
    countStoreRead(folded);
    auto row = impl_->findKey(folded);
    if (!row)
        return std::nullopt;
    return row->path;
}

std::vector<NameCollision> Hive::takeNameCollisions() {
    assert(impl_->owner == std::this_thread::get_id() && "a connection belongs to one thread");
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
    assert(impl.owner == std::this_thread::get_id() && "a connection belongs to one thread");
    if (!impl.writable) {
        done_ = true;  // nothing can be written, so there is nothing to commit or undo
        return;
    }
    outermost_ = impl.depth == 0;
    if (outermost_) {
        impl.reads = kind == Kind::Reads;
        ++hive_.stats_.transactions;
    }
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
    // A rolled-back key creation may be in the copy.
    impl.prefetched.reset();
}

void Hive::Transaction::commit() {
    if (done_)
        return;
    hive_.impl_->db->exec(outermost_ ? "COMMIT" : "RELEASE nested");
    done_ = true;
    Impl& impl = *hive_.impl_;
    --impl.depth;
    if (outermost_) {
        // Another connection may write once this one lets go of the store.
        impl.prefetched.reset();
    }
}

}  // namespace qmreg
