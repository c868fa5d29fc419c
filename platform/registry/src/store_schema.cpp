#include "store_schema_p.h"

#include <string_view>
#include <unordered_map>

#include "name_folding_p.h"
#include "sqlite_connection_p.h"

namespace qmreg::detail {

namespace {

// The tables of the current layout; indexes come after the rows, see kIndexes.
constexpr const char* kTables = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER,
    name TEXT NOT NULL,
    path TEXT NOT NULL,
    folded TEXT NOT NULL UNIQUE);
CREATE TABLE vals(
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    folded TEXT NOT NULL,
    name TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key, folded)) WITHOUT ROWID;
)sql";
constexpr const char* kIndexes = R"sql(
CREATE INDEX keys_by_parent ON keys(parent, name COLLATE NOCASE);
PRAGMA application_id = 1364021831;
PRAGMA user_version = 2;
)sql";
static_assert(kApplicationId == 1364021831 && kSchemaVersion == 2);

constexpr const char* kInsertRoot =
    "INSERT INTO keys(id, parent, name, path, folded) VALUES(1, NULL, '', '', '')";

constexpr const char* kOldKeys = "SELECT id, parent, name, path FROM keys_v1 ORDER BY id";
constexpr const char* kOldValues =
    "SELECT key, name, type, data FROM vals_v1 ORDER BY key, name COLLATE BINARY";
constexpr const char* kCopyKey =
    "INSERT INTO keys(id, parent, name, path, folded) VALUES(?1, ?2, ?3, ?4, ?5)";
constexpr const char* kCopyValue =
    "INSERT INTO vals(key, folded, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5)";
constexpr const char* kCreateCollisions =
    "CREATE TABLE name_collisions(key TEXT NOT NULL, kept TEXT NOT NULL, other TEXT NOT NULL, "
    "value INTEGER NOT NULL)";
constexpr const char* kListCollision =
    "INSERT INTO name_collisions(key, kept, other, value) VALUES(?1, ?2, ?3, ?4)";
constexpr const char* kHasCollisions =
    "SELECT count(*) FROM sqlite_master WHERE name = 'name_collisions'";
constexpr const char* kCollisions =
    "SELECT key, kept, other, value FROM name_collisions ORDER BY rowid";

// A duplicate's folded name is the first one's, then kMark, a number and ')'. Folded names hold
// no lower-case ASCII letter, so no lookup produces it; and the duplicates of one name sort
// together, from that name and kMark up to that name and kMarkEnd.
constexpr std::string_view kMark = " (duplicate ";
constexpr std::string_view kMarkEnd = " (duplicate!";  // '!' follows ' '

// The first duplicate of a key: a marked path with no further backslash after the mark, so not a
// subkey of a duplicate.
constexpr const char* kFindDuplicateKey =
    "SELECT folded FROM keys WHERE folded >= ?1 AND folded < ?2 "
    "AND instr(substr(folded, length(?1) + 1), '\\') = 0 ORDER BY id LIMIT 1";
constexpr const char* kRenameDuplicateKeys =
    "UPDATE keys SET folded = ?1 || substr(folded, length(?2) + 1) "
    "WHERE folded = ?2 OR (folded >= ?2 || '\\' AND folded < ?2 || ']')";
constexpr const char* kFindDuplicateValue =
    "SELECT folded FROM vals WHERE key = ?1 AND folded >= ?2 AND folded < ?3 LIMIT 1";
constexpr const char* kRenameDuplicateValue =
    "UPDATE vals SET folded = ?3 WHERE key = ?1 AND folded = ?2";

// Copies the rows of the layout-1 tables, folding names, and lists the collisions.
class Upgrade {
public:
    explicit Upgrade(SqliteConnection& db) : db_(db) {}

    void run() {
        db_.exec(
            "ALTER TABLE vals RENAME TO vals_v1; ALTER TABLE keys RENAME TO keys_v1; "
            "DROP INDEX keys_by_parent");
        db_.exec(kTables);
        db_.exec(kInsertRoot);
        copyKeys();
        copyValues();
        db_.exec("DROP TABLE vals_v1; DROP TABLE keys_v1");
        db_.exec(kIndexes);
        if (collisions_.empty())
            return;
        db_.exec(kCreateCollisions);
        for (const auto& c : collisions_) {
            db_.statement(kListCollision)
                .bind(1, c.key)
                .bind(2, c.kept)
                .bind(3, c.other)
                .bind(4, std::int64_t{c.value})
                .run();
        }
    }

private:
    struct Key {
        std::string path;
        std::string folded;
    };

    // A folded name no lookup produces: folded names hold no lower-case ASCII letter.
    std::string unreachable(const std::string& folded) {
        return folded + std::string(kMark) + std::to_string(++duplicates_) + ")";
    }

    void copyKeys() {
        std::unordered_map<std::string, std::string> nameOfFolded;  // folded path -> path
        auto st = db_.statement(kOldKeys);
        while (st.step()) {
            const std::int64_t id = st.integer(0);
            const std::int64_t parent = st.integer(1);
            const std::string name = st.text(2);
            const std::string path = st.text(3);
            if (id == 1) {
                keys_.emplace(id, Key{"", ""});  // the root, already in place
                continue;
            }
            // A parent is always written before its subkeys, so it is known here; its folded
            // path may carry a duplicate's mark, which its subkeys then share.
            const auto up = keys_.find(parent);
            std::string folded = up == keys_.end() ? foldName(path)
                                 : up->second.folded.empty()
                                     ? foldName(name)
                                     : up->second.folded + "\\" + foldName(name);
            auto [it, fresh] = nameOfFolded.emplace(folded, path);
            if (!fresh) {
                const std::string parentPath = up == keys_.end() ? "" : up->second.path;
                collisions_.push_back(NameCollision{parentPath, lastName(it->second), name, false});
                folded = unreachable(folded);
            }
            db_.statement(kCopyKey)
                .bind(1, id)
                .bind(2, parent)
                .bind(3, name)
                .bind(4, path)
                .bind(5, folded)
                .run();
            keys_.emplace(id, Key{path, std::move(folded)});
        }
    }

    void copyValues() {
        std::int64_t currentKey = -1;
        std::unordered_map<std::string, std::string> nameOfFolded;  // within the current key
        auto st = db_.statement(kOldValues);
        while (st.step()) {
            const std::int64_t key = st.integer(0);
            const std::string name = st.text(1);
            if (key != currentKey) {
                nameOfFolded.clear();
                currentKey = key;
            }
            std::string folded = foldName(name);
            auto [it, fresh] = nameOfFolded.emplace(folded, name);
            if (!fresh) {
                const auto owner = keys_.find(key);
                collisions_.push_back(NameCollision{owner == keys_.end() ? "" : owner->second.path,
                                                    it->second, name, true});
                folded = unreachable(folded);
            }
            db_.statement(kCopyValue)
                .bind(1, key)
                .bind(2, folded)
                .bind(3, name)
                .bind(4, st.integer(2))
                .bindBlob(5, st.blob(3))
                .run();
        }
    }

    static std::string lastName(const std::string& path) {
        const auto slash = path.rfind('\\');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

    SqliteConnection& db_;
    std::unordered_map<std::int64_t, Key> keys_;
    std::vector<NameCollision> collisions_;
    int duplicates_ = 0;
};

}  // namespace

void createSchema(SqliteConnection& db) {
    db.exec(kTables);
    db.exec(kInsertRoot);
    db.exec(kIndexes);
}

void upgradeSchema(SqliteConnection& db) {
    Upgrade(db).run();
}

void promoteDuplicateKey(SqliteConnection& db, const std::string& folded) {
    std::string duplicate;
    {
        auto st = db.statement(kFindDuplicateKey);
        st.bind(1, folded + std::string(kMark)).bind(2, folded + std::string(kMarkEnd));
        if (!st.step())
            return;
        duplicate = st.text(0);
    }
    db.statement(kRenameDuplicateKeys).bind(1, folded).bind(2, duplicate).run();
}

void promoteDuplicateValue(SqliteConnection& db, std::int64_t key, const std::string& folded) {
    std::string duplicate;
    {
        auto st = db.statement(kFindDuplicateValue);
        st.bind(1, key)
            .bind(2, folded + std::string(kMark))
            .bind(3, folded + std::string(kMarkEnd));
        if (!st.step())
            return;
        duplicate = st.text(0);
    }
    db.statement(kRenameDuplicateValue).bind(1, key).bind(2, duplicate).bind(3, folded).run();
}

std::vector<NameCollision> listedNameCollisions(SqliteConnection& db) {
    std::vector<NameCollision> list;
    auto has = db.statement(kHasCollisions);
    if (!has.step() || has.integer(0) == 0)
        return list;
    auto st = db.statement(kCollisions);
    while (st.step())
        list.push_back(NameCollision{st.text(0), st.text(1), st.text(2), st.integer(3) != 0});
    return list;
}

void forgetNameCollisions(SqliteConnection& db) {
    db.exec("DROP TABLE IF EXISTS name_collisions");
}

}  // namespace qmreg::detail
