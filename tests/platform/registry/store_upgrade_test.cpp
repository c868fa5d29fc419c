// A store written before names compared as Windows compares them (ASCII-only NOCASE), opened
// by this version: upgraded once, in place, with nothing lost.
#include <sqlite3.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "qmreg/registry.h"
#include "qmtest/child_process.h"
#include "qmtest/relocated_user.h"

namespace {

using qmreg::Hive;
using qmreg::HiveId;
using qmreg::NameCollision;
using qmreg::Value;

// The tables as the earlier version wrote them.
constexpr const char* kLayout1 = R"sql(
PRAGMA journal_mode = WAL;
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    path TEXT NOT NULL COLLATE NOCASE UNIQUE);
CREATE UNIQUE INDEX keys_by_parent ON keys(parent, name COLLATE NOCASE);
CREATE TABLE vals(
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key, name)) WITHOUT ROWID;
INSERT INTO keys(id, parent, name, path) VALUES(1, NULL, '', '');
PRAGMA application_id = 1364021831;
PRAGMA user_version = 1;
)sql";

// Writes a layout-1 store directly with SQLite, bypassing the store's code.
class Layout1Store {
public:
    explicit Layout1Store(const std::string& file) {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot create " + file);
        exec(kLayout1);
        exec("BEGIN");
    }
    ~Layout1Store() {
        exec("COMMIT");
        sqlite3_close(db_);
    }

    // Creates the key and its missing ancestors; returns its id.
    sqlite3_int64 key(const std::string& path) {
        if (path.empty())
            return 1;
        if (auto it = ids_.find(path); it != ids_.end())
            return it->second;
        const auto slash = path.rfind('\\');
        const sqlite3_int64 parent = key(slash == std::string::npos ? "" : path.substr(0, slash));
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO keys(parent, name, path) VALUES(?1, ?2, ?3)", -1, &st,
                           nullptr);
        sqlite3_bind_int64(st, 1, parent);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, path.c_str(), -1, SQLITE_TRANSIENT);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error("layout-1 store refused key " + path);
        return ids_[path] = sqlite3_last_insert_rowid(db_);
    }

    void value(const std::string& path, const std::string& name, const std::string& text) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, 1, ?3)", -1,
                           &st, nullptr);
        sqlite3_bind_int64(st, 1, key(path));
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(st, 3, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error("layout-1 store refused value " + name);
    }

private:
    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
    }

    sqlite3* db_ = nullptr;
    std::map<std::string, sqlite3_int64> ids_;
};

// One number from the file through a connection of our own.
sqlite3_int64 query(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_int64 result = -1;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        result = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

// A string value's text, or a mark that it is missing.
std::string text(const std::optional<Value>& value) {
    return value ? value->asString() : "(missing)";
}

constexpr int kChainLevels = 1100;  // deeper than SQLite's limit on cascading deletes

class StoreUpgradeTest : public qmtest::RelocatedTest {
protected:
    std::string file() const { return qmreg::hiveFile(HiveId::CurrentUser); }

    // Settings, two keys and two values that ASCII folding held apart, and a chain of keys
    // deeper than a key may now be.
    void writeLayout1Store() {
        Layout1Store old(file());
        old.value(kModule, "Activated", "True");
        old.value(kModule, "AutoStart", "False");
        old.value("Software\\Äb", "Välue", "first");
        old.value("Software\\Äb", "vÄlue", "second");
        old.value("Software\\äb\\X", "Inside", "other");
        std::string chain = "Software\\Chain";
        for (int level = 1; level <= kChainLevels; ++level)
            chain += "\\C" + std::to_string(level);
        old.value(chain, "Bottom", "deep");
    }

    static constexpr const char* kModule =
        "Software\\Brenvik\\Quillmont\\22.15\\Quillmont modules\\QM_ROADS";
};

TEST_F(StoreUpgradeTest, UpgradeKeepsEveryNameFindsThemInAnyCaseAndListsCollisionsOnce) {
    writeLayout1Store();
    const auto keysBefore = query(file(), "SELECT count(*) FROM keys");
    const auto valuesBefore = query(file(), "SELECT count(*) FROM vals");

    Hive hive(file());
    EXPECT_EQ(query(file(), "PRAGMA user_version"), 2);
    EXPECT_EQ(query(file(), "SELECT count(*) FROM keys"), keysBefore);
    EXPECT_EQ(query(file(), "SELECT count(*) FROM vals"), valuesBefore);

    EXPECT_EQ(text(hive.getValue("SOFTWARE\\brenvik\\QUILLMONT\\22.15\\quillmont MODULES\\qm_roads",
                                 "activated")),
              "True");
    EXPECT_EQ(hive.canonicalKey("software\\äB"), "Software\\Äb") << "the first one is found";
    EXPECT_EQ(text(hive.getValue("software\\äB", "VÄLUE")), "first");
    EXPECT_EQ(hive.subkeys("Software"), (std::vector<std::string>{"Brenvik", "Chain", "Äb", "äb"}));
    EXPECT_EQ(hive.values("Software\\Äb").size(), 2u);

    const auto collisions = hive.takeNameCollisions();
    ASSERT_EQ(collisions.size(), 2u);
    EXPECT_EQ(collisions[0].key, "Software");
    EXPECT_EQ(collisions[0].kept, "Äb");
    EXPECT_EQ(collisions[0].other, "äb");
    EXPECT_FALSE(collisions[0].value);
    EXPECT_EQ(collisions[1].key, "Software\\Äb");
    EXPECT_EQ(collisions[1].kept, "Välue");
    EXPECT_EQ(collisions[1].other, "vÄlue");
    EXPECT_TRUE(collisions[1].value);
    EXPECT_TRUE(hive.takeNameCollisions().empty());

    // Deleting the names that are found hands the names over to the ones kept beside them.
    EXPECT_TRUE(hive.deleteValue("Software\\Äb", "välue"));
    EXPECT_EQ(text(hive.getValue("Software\\Äb", "VÄLUE")), "second");
    EXPECT_TRUE(hive.deleteKey("Software\\ÄB", true));
    EXPECT_EQ(hive.canonicalKey("SOFTWARE\\ÄB\\x"), "Software\\äb\\X");
    EXPECT_EQ(text(hive.getValue("Software\\ÄB\\X", "inside")), "other");

    EXPECT_TRUE(hive.deleteKey("Software\\Chain", true));
    EXPECT_FALSE(hive.keyExists("Software\\Chain\\C1"));
    EXPECT_EQ(query(file(), "SELECT count(*) FROM keys"), keysBefore - 2 - kChainLevels);
}

TEST_F(StoreUpgradeTest, QmregWarnsAboutCollisionsOnTheFirstOpenAfterTheUpgrade) {
    writeLayout1Store();
    Hive(file()).keyExists("Software");  // the host upgrades the store first
    const std::string qmreg = qmtest::binDir() + "/qmreg";

    auto first = qmtest::runProcess({qmreg, "query", "HKCU\\Software\\ÄB"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.err.find("\"Äb\" and \"äb\" under \"HKEY_CURRENT_USER\\Software\""),
              std::string::npos)
        << first.err;
    EXPECT_NE(first.err.find("\"Välue\" and \"vÄlue\" of \"HKEY_CURRENT_USER\\Software\\Äb\""),
              std::string::npos)
        << first.err;
    auto second = qmtest::runProcess({qmreg, "query", "HKCU\\Software\\ÄB"});
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(second.out, first.out);
}

TEST_F(StoreUpgradeTest, AStoreThatMayOnlyBeReadIsReadThroughAnUpgradedCopy) {
    writeLayout1Store();
    Hive hive(file(), /*readOnly=*/true);
    EXPECT_FALSE(hive.writable());
    EXPECT_EQ(text(hive.getValue("software\\äB", "VÄLUE")), "first");
    EXPECT_FALSE(hive.setValue("Software", Value::dword("x", 1)));
    EXPECT_EQ(query(file(), "PRAGMA user_version"), 1) << "the file was left as it was";
}

}  // namespace
