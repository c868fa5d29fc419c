// What must never happen to a user's registry: losing a commit, keeping half a transaction,
// or writing over a file that is not a healthy store.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "qmreg/registry.h"
#include "qmtest/child_process.h"
#include "qmtest/files.h"
#include "qmtest/ordinary_user.h"
#include "qmtest/own_process.h"
#include "qmtest/relocated_user.h"

namespace {

using qmreg::Hive;
using qmreg::HiveId;
using qmreg::Value;

using qmtest::kNobody;
using namespace std::chrono_literals;

// PRAGMA integrity_check through a connection of our own, bypassing the store's code.
std::string integrityCheck(const std::string& file) {
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return result;
}

class StoreSafetyTest : public qmtest::RelocatedTest {
protected:
    std::string hkcuFile() const { return user_.registryDir() + "/hkcu.db"; }
    std::string hklmFile() const { return user_.registryDir() + "/hklm.db"; }

    qmtest::ProcessResult qmreg(std::vector<std::string> args) {
        args.insert(args.begin(), qmtest::binDir() + "/qmreg");
        return qmtest::runProcess(args);
    }

    // Runs body as an ordinary user who owns the registry folder, so that file modes apply;
    // returns what body said, ending with the message of an exception that left body. Only in
    // a process of the test's own (qmtest::inOwnProcess).
    std::string asOrdinaryUser(const std::function<void(std::string& said)>& body) {
        ::chmod(user_.root().c_str(), 0755);
        if (::geteuid() == 0 && ::chown(user_.registryDir().c_str(), kNobody, kNobody) != 0)
            ADD_FAILURE() << "cannot hand the registry folder to an ordinary user";
        std::string said;
        const qmtest::AsOrdinaryUser user;
        EXPECT_TRUE(user.ordinary());
        try {
            body(said);
        } catch (const std::exception& e) {
            said += std::string("error: ") + e.what();
        }
        return said;
    }
};

// The writer is this test program started again in that role, so that it can be killed at a
// known point.
TEST_F(StoreSafetyTest, KillKeepsEveryCommitWholeAndDropsTheOpenTransaction) {
    constexpr int kBatch = 50;
    if (qmtest::helperRole() == "writer") {
        Hive hive(std::getenv("QMTEST_HIVE"));
        for (int n = 0; n <= 20; ++n) {
            Hive::Transaction transaction(hive);
            const std::string key = "Batch\\" + std::to_string(n);
            hive.createKey(key);
            for (int i = 0; i < kBatch; ++i)
                hive.setValue(key, Value::dword(std::to_string(i), 1));
            transaction.commit();
        }
        Hive::Transaction transaction(hive);
        for (int i = 0; i < 20000; ++i) {
            hive.createKey("Big\\K" + std::to_string(i % 500));
            hive.setValue("Big\\K" + std::to_string(i % 500), Value::dword(std::to_string(i), 1));
            if (i == 15000) {
                const std::string said = "\nmidway\n";
                [[maybe_unused]] const ssize_t n = ::write(1, said.data(), said.size());
            }
        }
        ::pause();
        return;
    }
    const auto writer = qmtest::startHelper("writer", {"QMTEST_HIVE=" + hkcuFile()});
    ASSERT_TRUE(writer->waitForOutput("\nmidway\n", 30s)) << writer->output();
    writer->kill();
    EXPECT_EQ(writer->wait(), 128 + SIGKILL);

    EXPECT_EQ(integrityCheck(hkcuFile()), "ok");
    Hive hive(hkcuFile());
    EXPECT_FALSE(hive.keyExists("Big"));
    const auto batches = hive.subkeys("Batch");
    EXPECT_EQ(batches.size(), 21u) << "a commit was lost";
    for (const auto& b : batches) {
        EXPECT_EQ(hive.values("Batch\\" + b).size(), std::size_t{kBatch}) << "batch " << b;
    }
}

// Writes a SQLite database through a connection of our own: statements run in order.
void writeDatabase(const std::string& file, const char* statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// A file that is no store this version can use is refused by name and left as it is: a damaged
// store, one written by a newer version (a user who went back to an older one keeps it for
// the newer), and another program's database.
TEST_F(StoreSafetyTest, AFileThatIsNoStoreOfThisVersionIsRefusedByNameAndLeftUntouched) {
    const struct {
        const char* what;
        std::function<void()> make;
        const char* reason;
    } files[] = {
        {"damaged",
         [&] {
             qmtest::writeFile(hkcuFile(),
                               qmtest::readFile(qmtest::sourceDir() +
                                                "/tests/platform/registry/data/garbage.db"));
         },
         "damaged"},
        {"newer version",
         [&] {
             writeDatabase(hkcuFile(),
                           "PRAGMA application_id = 1364021831; PRAGMA user_version = 3;"
                           "CREATE TABLE later(x); INSERT INTO later VALUES('kept');");
         },
         "newer version"},
        {"another program's database",
         [&] {
             writeDatabase(hkcuFile(), "CREATE TABLE notes(x); INSERT INTO notes VALUES('mine');");
         },
         "another program"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        std::filesystem::remove(hkcuFile());
        f.make();
        const std::string before = qmtest::readFile(hkcuFile());
        try {
            Hive hive(hkcuFile());
            ADD_FAILURE() << "the store was opened";
        } catch (const qmreg::StoreError& e) {
            EXPECT_NE(std::string(e.what()).find(hkcuFile()), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(f.reason), std::string::npos) << e.what();
        }
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"add", "HKCU\\Software\\X", "/v", "a", "/d", "b", "/f"},
              std::vector<std::string>{"query", "HKCU\\Software"}}) {
            const auto result = qmreg(args);
            EXPECT_EQ(result.exitCode, 1) << args[0];
            EXPECT_NE(result.err.find(hkcuFile()), std::string::npos) << args[0] << result.err;
        }
        EXPECT_EQ(qmtest::readFile(hkcuFile()), before);
        EXPECT_FALSE(std::filesystem::exists(hkcuFile() + "-wal"));
    }
}

// The machine hive, written by an administrator, then used by an ordinary user who may read
// but not write it. Root ignores file permissions, so the test runs in a process of its own
// that gives up root first.
class ReadOnlyMachineHiveTest : public StoreSafetyTest,
                                public ::testing::WithParamInterface<bool> {};

TEST_P(ReadOnlyMachineHiveTest, OrdinaryUserReadsButCannotWrite) {
    if (!qmtest::inOwnProcess()) {
        return;
    }
    QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(user_.root());
    const bool adminStillConnected = GetParam();
    auto admin = std::make_unique<Hive>(hklmFile());
    ASSERT_TRUE(admin->createKey("SOFTWARE\\Brenvik\\Quillmont\\22.15\\ModuleLoader"));
    ASSERT_TRUE(admin->setValue("SOFTWARE\\Brenvik\\Quillmont\\22.15\\ModuleLoader",
                                Value::dword("ModulesAutostartDisable", 1)));
    // The last connection to close removes the WAL files; the reader must cope either way.
    if (!adminStillConnected)
        admin.reset();
    ::chmod(user_.root().c_str(), 0755);
    ::chmod(hklmFile().c_str(), 0444);
    ::chmod(user_.registryDir().c_str(), 0555);

    std::string said;
    qmtest::ProcessResult tool;
    {
        const qmtest::AsOrdinaryUser user;
        ASSERT_TRUE(user.ordinary());
        // A connection of its own, made afresh with the user's rights.
        std::thread([&] {
            Hive& hive = Hive::forThread(HiveId::LocalMachine);
            auto v = hive.getValue("software\\brenvik\\quillmont\\22.15\\moduleloader",
                                   "ModulesAutostartDisable");
            said = std::string(hive.writable() ? "writable " : "read-only ") +
                   (v && v->asDword() == 1 ? "read " : "unread ") +
                   (hive.setValue("SOFTWARE", Value::dword("x", 1)) ? "wrote" : "refused");
        }).join();
        tool = qmreg({"add", "HKLM\\SOFTWARE\\X", "/f"});
    }
    EXPECT_EQ(said, "read-only read refused");
    EXPECT_EQ(tool.exitCode, 1);
    EXPECT_NE(tool.err.find("Access is denied"), std::string::npos) << tool.err;
    EXPECT_NE(tool.err.find(hklmFile()), std::string::npos) << tool.err;
    ::chmod(user_.registryDir().c_str(), 0755);
}

INSTANTIATE_TEST_SUITE_P(AdminConnection, ReadOnlyMachineHiveTest, ::testing::Bool(),
                         [](const auto& testCase) {
                             return testCase.param ? "AdminStillConnected" : "AdminGone";
                         });

// The user's store when SQLite cannot make the shared-memory index beside it: the folder has
// become read-only, or the disk is full (a file-size limit stands in for a full disk: the
// index is the only file that grows). What is stored still reads; writes are refused.
enum class NoIndex { FolderReadOnly, DiskFull };

class StoreWithoutIndexTest : public StoreSafetyTest,
                              public ::testing::WithParamInterface<NoIndex> {};

TEST_P(StoreWithoutIndexTest, StoredSettingsStillReadAndWritesAreRefused) {
    if (!qmtest::inOwnProcess()) {
        return;
    }
    QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(user_.root());
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const std::string reports = asOrdinaryUser([&](std::string& said) {
        {
            Hive hive(hkcuFile());
            hive.createKey("Software\\Kept");
            hive.setValue("Software\\Kept", Value::string("Activated", "False"));
        }
        if (GetParam() == NoIndex::FolderReadOnly) {
            ::chmod(user_.registryDir().c_str(), 0555);
        } else {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{8192, before.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        Hive hive(hkcuFile());
        auto v = hive.getValue("software\\kept", "activated");
        said = std::string(hive.writable() ? "writable " : "read-only ") +
               (v && v->asString() == "False" ? "read " : "unread ") +
               (hive.setValue("Software\\Kept", Value::dword("x", 1)) ? "wrote" : "refused");
    });
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::chmod(user_.registryDir().c_str(), 0755);
    EXPECT_EQ(reports, "read-only read refused");
}

INSTANTIATE_TEST_SUITE_P(Causes, StoreWithoutIndexTest,
                         ::testing::Values(NoIndex::FolderReadOnly, NoIndex::DiskFull),
                         [](const auto& testCase) {
                             return testCase.param == NoIndex::FolderReadOnly ? "FolderReadOnly"
                                                                              : "DiskFull";
                         });

TEST_F(StoreSafetyTest, AReadOnlySpellLeavesTheStoreWritableAfterwards) {
    if (!qmtest::inOwnProcess()) {
        return;
    }
    QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(user_.root());
    const std::string reports = asOrdinaryUser([&](std::string& said) {
        {
            Hive hive(hkcuFile());
            hive.createKey("Software\\Spell");
        }
        ::chmod(hkcuFile().c_str(), 0444);
        {
            Hive hive(hkcuFile());
            said += std::string(hive.writable() ? "writable " : "read-only ") +
                    (hive.keyExists("Software\\Spell") ? "read " : "unread ");
        }
        ::chmod(hkcuFile().c_str(), 0644);
        Hive hive(hkcuFile());
        said += hive.setValue("Software\\Spell", Value::dword("x", 1)) ? "wrote" : "refused";
    });
    EXPECT_EQ(reports, "read-only read wrote");
}

}  // namespace
