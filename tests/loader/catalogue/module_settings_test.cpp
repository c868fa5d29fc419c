// The per-user settings of each module in the registry: the exact "True"/"False" rules,
// writing everything in one transaction, the forced base module and keys too long to use.
#include "catalogue/module_settings.h"

#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>
#include <qmreg/registry.h>
#include <qmtest/files.h>
#include <qmtest/module_settings.h>
#include <qmtest/recording_ui.h>
#include <qmtest/relocated_user.h>

#if !defined(_WIN32)
#include <qmtest/file_size_limit.h>
#include <sqlite3.h>
#endif

#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "catalogue/startup_pass.h"
#include "environment/diagnostic_log.h"
#include "environment/registry_layout.h"
#include "runtime/host_feedback.h"

namespace {

using qm::ModuleList;
using qm::ModuleRecord;
using qm::registry_layout::moduleKey;

struct Stored {
    std::optional<std::string> activated;
    std::optional<std::string> autoStart;
    std::optional<std::string> demandLoad;
};

struct Flags {
    bool activated;
    bool autoStart;
    bool demandLoad;
    bool operator==(const Flags&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Flags& f) {
    return os << "{A=" << f.activated << " S=" << f.autoStart << " D=" << f.demandLoad << "}";
}

Flags flagsOf(const ModuleRecord& r) {
    return {r.GetActivated(), r.GetAutoStart(), r.GetDemandLoad()};
}

ModuleRecord recordWithKey(const std::string& key) {
    ModuleRecord r;
    r.SetKey(key);
    return r;
}

#if !defined(_WIN32)
// Empties the hive's write-ahead log into the database, so that the log then holds only what
// is committed afterwards.
void emptyWriteAheadLog(const std::string& db) {
    sqlite3* connection = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.c_str(), &connection, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(connection, 10000);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(connection, "PRAGMA wal_checkpoint(TRUNCATE)", -1, &statement, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(statement, 0), 0) << "checkpoint blocked";
    sqlite3_finalize(statement);
    sqlite3_close(connection);
}

// The transactions committed to the write-ahead log: its frames that end a transaction, taken
// while their salt matches the log's header (later frames are left over from an earlier use).
int committedTransactions(const std::string& db) {
    std::ifstream in(db + "-wal", std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
    auto word = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
               std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
    };
    if (bytes.size() < 32) {
        return 0;
    }
    const std::size_t frame = 24 + word(8);
    int commits = 0;
    for (std::size_t at = 32; at + frame <= bytes.size(); at += frame) {
        if (word(at + 8) != word(16) || word(at + 12) != word(20)) {
            break;
        }
        commits += word(at + 4) != 0;  // the database size, set on a transaction's last frame
    }
    return commits;
}
#endif

class ModuleSettingsTest : public qmtest::RelocatedTest {
protected:
    // A connection of its own, as another process would have.
    static qmreg::Hive openHive() {
        return qmreg::Hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser));
    }
    static void store(const std::string& key, const Stored& values) {
        std::vector<std::pair<std::string, std::string>> present;
        for (const auto& [name, value] :
             {std::pair{"Activated", values.activated}, std::pair{"AutoStart", values.autoStart},
              std::pair{"DemandLoad", values.demandLoad}}) {
            if (value) {
                present.emplace_back(name, *value);
            }
        }
        qmtest::storeModuleSettings(key, present);
    }
    static std::optional<std::string> stored(const std::string& key, const std::string& name) {
        return qmtest::storedModuleSetting(key, name);
    }
};

TEST_F(ModuleSettingsTest, ReadAppliesTheExactWordRules) {
    const struct {
        const char* what;
        std::optional<Stored> stored;  // nullopt: no key at all
        Flags expected;
    } cases[] = {
        {"no key: the record is left alone", std::nullopt, {false, true, true}},
        {"empty key", Stored{}, {true, false, false}},
        {"all on", Stored{"True", "True", "True"}, {true, true, true}},
        {"activated lower case", Stored{"false", std::nullopt, std::nullopt}, {true, false, false}},
        {"autostart in capitals", Stored{std::nullopt, "TRUE", std::nullopt}, {true, false, false}},
        {"trailing space", Stored{std::nullopt, "True ", "True "}, {true, false, false}},
        {"other words", Stored{"no", "yes", "1"}, {true, false, false}},
        {"switched off wins", Stored{"False", "True", "True"}, {false, false, false}},
        {"only demand-loaded", Stored{"True", "False", "True"}, {true, false, true}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].stored) {
            store("QM_CASE_" + std::to_string(i), *cases[i].stored);
        }
    }
    // The settings read on its own, and the catalogue's one visit per key, which reads the
    // version override too and asks for each missing key instead of creating it.
    for (const bool oneVisit : {false, true}) {
        ModuleList list;
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            list.push_back(recordWithKey("QM_CASE_" + std::to_string(i)));
            // Start from the opposite of the defaults: reading must set every flag.
            list.back().SetActivated(false);
            list.back().SetAutoStart(true);
            list.back().SetDemandLoad(true);
        }
        std::vector<std::string> missing;
        if (oneVisit) {
            qm::StartupPass pass(nullptr, nullptr);
            for (ModuleRecord& record : list) {
                std::int32_t major = 1;
                std::int32_t minor = 2;
                EXPECT_TRUE(qm::ReadModuleKey(record.GetKey(), major, minor, &record, missing));
                EXPECT_EQ(major * 10 + minor, 12) << "no override stored";
            }
        } else {
            EXPECT_TRUE(qm::ReadModuleSettings(list));
        }
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            EXPECT_EQ(flagsOf(list[i]), cases[i].expected) << cases[i].what << " " << oneVisit;
        }
        EXPECT_EQ(missing, oneVisit ? std::vector<std::string>{moduleKey("QM_CASE_0")}
                                    : std::vector<std::string>{});
        EXPECT_FALSE(openHive().keyExists(moduleKey("QM_CASE_0"))) << "reading creates no key";
    }
}

TEST_F(ModuleSettingsTest, WriteStoresAllThreeForEveryModuleAndReadsBack) {
    // A switched-off module reaches the registry only with the next write.
    store("QM_OFF", {"False", "True", "True"});
    ModuleList list{recordWithKey("QM_BASE"), recordWithKey("QM_OFF"), recordWithKey("QM_DEMAND")};
    qm::ReadModuleSettings(list);
    EXPECT_EQ(stored("QM_OFF", "AutoStart"), "True");
    const Flags flags[] = {{true, true, false}, {false, false, false}, {true, false, true}};
    list[0].SetAutoStart(true);
    list[2].SetDemandLoad(true);
    EXPECT_TRUE(qm::WriteModuleSettings(list));
    EXPECT_EQ(stored("QM_OFF", "AutoStart"), "False");
    // Reading back needs the exact words: "False" to switch a module off, "True" for the rest.
    ModuleList again{recordWithKey("QM_BASE"), recordWithKey("QM_OFF"), recordWithKey("QM_DEMAND")};
    qm::ReadModuleSettings(again);
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(flagsOf(again[i]), flags[i]) << again[i].GetKey();
    }
}

#if !defined(_WIN32)  // the SQLite store's own behaviour; Windows has the real registry
TEST_F(ModuleSettingsTest, WriteIsOneTransactionThatOthersSeeWhole) {
    constexpr int kModules = 3000;
    ModuleList list;
    for (int i = 0; i < kModules; ++i) {
        list.push_back(recordWithKey("QM_MOD_" + std::to_string(i)));
    }
    const std::string first = moduleKey(list.front().GetKey());
    const std::string middle = moduleKey(list[kModules / 2].GetKey());
    const std::string last = moduleKey(list.back().GetKey());
    const std::string db = qmreg::hiveFile(qmreg::HiveId::CurrentUser);
    store("QM_EARLIER", Stored{"True", {}, {}});  // the hive exists with its tables
    const qmreg::Hive keepLogOpen(db, true);      // the last connection to close removes the log
    emptyWriteAheadLog(db);
    ASSERT_EQ(committedTransactions(db), 0);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> polls{0};
    std::thread observer([&] {
        // Reads the first module's value, then the middle and the last one's: once the first
        // is visible, the others must be too.
        qmreg::Hive hive(db, true);
        while (!done) {
            const bool firstSeen = hive.getValue(first, "Activated").has_value();
            const bool middleSeen = hive.getValue(middle, "Activated").has_value();
            const bool lastSeen = hive.getValue(last, "Activated").has_value();
            if (firstSeen && !(middleSeen && lastSeen)) {
                ++torn;
            }
            ++polls;
        }
    });
    qm::WriteModuleSettings(list);
    done = true;
    observer.join();
    EXPECT_EQ(torn, 0) << "after " << polls << " observations";
    EXPECT_EQ(stored(list.back().GetKey(), "Activated"), "True");
    EXPECT_EQ(committedTransactions(db), 1);
}
#endif

TEST_F(ModuleSettingsTest, BaseModuleIsForcedOnAndReadsBackSo) {
    store("QM_BASE", {"False", "False", "True"});
    qm::WriteBaseModuleSettings();
    EXPECT_EQ(stored("QM_BASE", "Activated"), "True");
    EXPECT_EQ(stored("QM_BASE", "AutoStart"), "True");
    EXPECT_EQ(stored("QM_BASE", "DemandLoad"), "False");
    ModuleList list{recordWithKey("QM_BASE")};
    qm::ReadModuleSettings(list);
    EXPECT_EQ(flagsOf(list[0]), (Flags{true, true, false}));
}

#if !defined(_WIN32)  // the SQLite store's own behaviour; Windows has the real registry
// Reported as the host framework's own message boxes are: OK only, with the exclamation icon.
TEST_F(ModuleSettingsTest, BaseModuleKeyThatCannotOpenIsReported) {
    // A damaged hive file is never replaced, so no key opens.
    qmtest::writeFile(qmreg::hiveFile(qmreg::HiveId::CurrentUser), std::string(4096, 'x'));
    std::ostringstream output;
    cadhost::Host host(cadhost::HostOptions{&output, {}});
    auto ui = std::make_shared<qmtest::RecordingUi>();
    host.setUiServices(ui);
    qm::HostFeedback feedback;
    qm::WriteBaseModuleSettings(nullptr, &feedback);
    EXPECT_EQ(
        ui->shown,
        (std::vector<qmtest::RecordingUi::Shown>{
            {"Serious problems!!!!!", "Quillmont", cadhost::MB_OK | cadhost::MB_ICONWARNING}}));
}
#endif

#if !defined(_WIN32)  // the SQLite store's own behaviour; Windows has the real registry
// A commit the store refuses (the disk fills up while the batch is written) stores nothing of
// the batch and says so in the diagnostic log: the settings stay as they were, whole.
TEST_F(ModuleSettingsTest, WriteThatCannotBeCommittedStoresNothingAndIsLogged) {
    store("QM_ROADS", {"True", "False", "False"});
    // The thread's own connection stays open, so the write-ahead log is kept; a large value
    // grows it to 2 MB (fewer pages than start a checkpoint). The next commit then writes its
    // pages past the 1 MB limit below, while the diagnostic log stays far below it.
    qmreg::Hive& hive = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
    qmreg::Value padding;
    padding.name = "Padding";
    padding.type = qmreg::ValueType::Binary;
    padding.data.assign(2u << 20, 0x5A);
    ASSERT_TRUE(hive.createKey(moduleKey("QM_PADDING")));
    hive.setValue(moduleKey("QM_PADDING"), padding);

    const std::string logFile = user_.root() + "/settings.log";
    qm::DiagnosticLog log(logFile);
    ModuleList list{recordWithKey("QM_ROADS"), recordWithKey("QM_TERRAIN")};
    list[0].SetAutoStart(true);
    {
        const qmtest::FileSizeLimit fullDisk(1u << 20);
        EXPECT_TRUE(qm::WriteModuleSettings(list, &log));
    }
    EXPECT_EQ(stored("QM_ROADS", "AutoStart"), "False");
    EXPECT_FALSE(openHive().keyExists(moduleKey("QM_TERRAIN")));
    const std::string text = qmtest::readFile(logFile);
    EXPECT_NE(text.find("registry: writing module settings: commit failed, nothing of it was "
                        "stored: "),
              std::string::npos)
        << text;

    // With room again, the same write goes through.
    EXPECT_TRUE(qm::WriteModuleSettings(list, &log));
    EXPECT_EQ(stored("QM_ROADS", "AutoStart"), "True");
}
#endif

TEST_F(ModuleSettingsTest, KeysThatDoNotFitTheKeyBufferAreRefusedAndLogged) {
    // The module key is the modules key, a separator and the module's key; 259 fits.
    const std::size_t room =
        qm::registry_layout::kMaxKeyPath - qm::registry_layout::modulesKey().size() - 1;
    // Counted in UTF-16 units: "\u00c4" takes two bytes and one unit.
    std::string wide;
    for (std::size_t i = 0; i < room; ++i) {
        wide += "\u00c4";
    }
    const struct {
        std::string key;
        bool fits;
    } cases[] = {{std::string(room, 'K'), true},
                 {std::string(room + 1, 'K'), false},
                 {std::string(300, 'K'), false},
                 {wide, true},
                 {wide + "K", false}};
    const std::string logFile = user_.root() + "/settings.log";
    qm::DiagnosticLog log(logFile);
    for (const auto& c : cases) {
        const std::string& key = c.key;
        ModuleList list{recordWithKey(key), recordWithKey("QM_NEIGHBOUR")};
        list[0].SetAutoStart(true);
        qm::WriteModuleSettings(list, &log);
        EXPECT_EQ(stored(key, "AutoStart").has_value(), c.fits) << key.size();
        EXPECT_EQ(stored("QM_NEIGHBOUR", "AutoStart"), "False") << key.size();

        list[0].SetAutoStart(false);
        qm::ReadModuleSettings(list, &log);
        EXPECT_EQ(list[0].GetAutoStart(), c.fits) << key.size();

        // The one visit per key reads the same, and says when it could not.
        list[0].SetAutoStart(false);
        std::vector<std::string> missing;
        std::int32_t major = 0;
        std::int32_t minor = 0;
        qm::StartupPass pass(nullptr, nullptr);
        EXPECT_EQ(qm::ReadModuleKey(key, major, minor, &list[0], missing), c.fits) << key.size();
        EXPECT_EQ(list[0].GetAutoStart(), c.fits) << key.size();
        EXPECT_TRUE(qm::ReadModuleKey(key, major, minor, nullptr, missing)) << key.size();
    }
    const std::string text = qmtest::readFile(logFile);
    EXPECT_NE(text.find("module key too long, settings not written: " + std::string(300, 'K')),
              std::string::npos);
    EXPECT_NE(text.find("module key too long, settings not read: " + std::string(300, 'K')),
              std::string::npos);
    EXPECT_EQ(text.find("not written: " + std::string(room, 'K') + "\n"), std::string::npos);
}

}  // namespace
