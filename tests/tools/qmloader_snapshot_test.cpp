// The catalogue snapshot changes how fast the catalogue is built, never what it holds:
// qmloader list --json with and without the snapshot must agree, and so must what the scan
// logs about each definition, after any change to the definitions, the schema, the
// configuration, the environment and registry values that path macros read, or the snapshot
// itself.
//
// QMTEST_SNAPSHOT_STEPS sets the number of random steps (a short run by default; the long run is
// QMTEST_SNAPSHOT_STEPS=1000), QMTEST_SNAPSHOT_SEED the seed.
#include <gtest/gtest.h>
#include <qmenv/environment.h>
#include <qmtest/child_process.h>
#include <qmtest/files.h>
#include <qmtest/module_settings.h>
#include <qmtest/private_mounts.h>
#include <qmtest/product_keys.h>
#include <qmtest/relocated_user.h>
#include <qmtest/scoped_env.h>
#include <qmtest/temp_dir.h>
#include <qmtest/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>
#include "qm/version.h"

#if !defined(_WIN32)
#include <sqlite3.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int envNumber(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// A definition whose applications lie under every path macro the environment library knows.
std::string definitionUnderEveryMacro(const std::string& key) {
    std::string apps;
    int n = 0;
    for (const auto& [macro, value] : QmEnMacroValues()) {
        const std::string escaped = "&lt;" + macro.substr(1, macro.size() - 2) + "&gt;";
        apps += "<Application path=\"" + escaped + "\\app" + std::to_string(n++) +
                "\" arguments=\"\" type=\"exe\" command=\"\" modal=\"False\"/>";
    }
    return "<?xml version=\"1.0\"?>\n<QM_Module><Keyname>" + key +
           "</Keyname><Version><VersionMajor>1</VersionMajor><VersionMinor>0</VersionMinor>"
           "</Version><Name><ModuleName>" +
           key + "</ModuleName></Name><Applications>" + apps + "</Applications></QM_Module>\n";
}

class SnapshotEqualityTest : public ::testing::Test {
protected:
    SnapshotEqualityTest() : user_(install_.path()) {
        fs::create_directories(modules());
        fs::copy_file(qmtest::sourceDir() + "/examples/sample/Zadod/Modules/QM_Module.xsd",
                      modules() + "/QM_Module.xsd");
    }
    std::string modules() const { return install_.path() + "/Zadod/Modules"; }

    // One definition: valid ones in several shapes, and the kinds of rejection.
    std::string definition(std::mt19937& rng) {
        const int key = static_cast<int>(rng() % 12);  // repeated keys on purpose
        const int variant = static_cast<int>(rng() % 10);
        const std::string k = "QM_K" + std::to_string(key);
        const std::string name = "Module " + std::to_string(rng() % 50);
        // Under the installation, or under a macro whose value the steps change.
        const char* folders[] = {"Bin",
                                 "&lt;TEMP&gt;",
                                 "&lt;USERDATA&gt;",
                                 "&lt;MYQUILLMONT&gt;",
                                 "&lt;AUTOCAD&gt;",
                                 "&lt;CURRENTCONFIG&gt;",
                                 "&lt;LANGCODE&gt;"};
        const std::string app =
            "<Application path=\"" + std::string(folders[rng() % 7]) + "\\\\tool" +
            std::to_string(rng() % 3) + ".exe\" arguments=\"-x\" type=\"exe\" command=\"\"" +
            (variant == 7 ? std::string() : " modal=\"True\"") + "/>";  // 7: COM error
        if (variant == 8) {
            return "<QM_Module><Keyname>" + k + "</Keyname>";  // not well-formed
        }
        if (variant == 9) {
            return "<QM_Module><Colour/></QM_Module>";  // invalid
        }
        // A third of the keys also declare an encoding other than UTF-8, which the log notes.
        const char* declaration = key % 3 == 0 ? "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                                               : "<?xml version=\"1.0\"?>";
        return declaration + std::string("\n<QM_Module>\n  <Keyname>") + k +
               "</Keyname>\n  <Version><VersionMajor>" + std::to_string(rng() % 9) +
               "</VersionMajor><VersionMinor>" + std::to_string(rng() % 90) +
               "</VersionMinor></Version>\n  <Name>\n    <ModuleName>" + name +
               "</ModuleName>\n    <MenuName path=\"Modules\\\\" + k + "\">KRQM_" + k +
               "_enu</MenuName>\n  </Name>\n" +
               (variant == 6 ? std::string() : "  <Applications>" + app + "</Applications>\n") +
               "</QM_Module>\n";
    }

    // count definitions, m0.default.xml and on.
    void writeDefinitions(int count, std::mt19937& rng) {
        for (int i = 0; i < count; ++i) {
            qmtest::writeFile(modules() + "/m" + std::to_string(i) + ".default.xml",
                              definition(rng));
        }
    }

    std::vector<fs::path> definitionFiles() const {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(modules())) {
            if (e.path().extension() != ".xsd") {
                files.push_back(e.path());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    qmtest::ProcessResult list(const std::string& config, bool snapshot) {
        std::vector<std::string> args = {qmtest::binDir() + "/qmloader", "--config", config, "list",
                                         "--json"};
        if (!snapshot) {
            args.push_back("--no-snapshot");
        }
        return qmtest::runProcess(args);
    }

    // list() with its catalogue log lines (without their times), but for those about the
    // snapshot itself.
    struct Logged {
        qmtest::ProcessResult result;
        std::vector<std::string> lines;
    };
    Logged listLogged(const std::string& config, bool snapshot) {
        const std::string log = user_.root() + "/list.log";
        fs::remove(log);
        const qmtest::ScopedEnv logEnv("QM_LOG", log);
        Logged logged{list(config, snapshot), {}};
        const std::string text = fs::exists(log) ? qmtest::readFile(log) : std::string();
        constexpr std::string_view kCategory = " catalogue: ";
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            const std::string_view line = std::string_view(text).substr(at, end - at);
            const std::size_t category = line.find(kCategory);
            if (category != std::string_view::npos &&
                line.find("snapshot", category) == std::string_view::npos) {
                logged.lines.emplace_back(line.substr(category + kCategory.size()));
            }
            at = end + 1;
        }
        return logged;
    }

    // Waits until the file clock has passed the times of every definition, the schema and the
    // folder: a file stamped within the recording scan's first clock tick would be read once
    // more, and the folder listed again.
    void waitPastFileTimes() {
        std::vector<std::string> paths = {modules(), modules() + "/QM_Module.xsd"};
        for (const fs::path& file : definitionFiles()) {
            paths.push_back(file.string());
        }
        ASSERT_TRUE(qmtest::waitPastFileTimes(paths)) << "file clock stands still";
    }

    // "N of M definitions read" from the last scan logged in log.
    static std::string lastReadCount(const std::string& log) {
        const std::string text = qmtest::readFile(log);
        const std::size_t at = text.rfind("snapshot: ");
        return at == std::string::npos ? std::string("no snapshot")
                                       : text.substr(at + 10, text.find('\n', at) - at - 10);
    }

    qmtest::TempDir install_;
    qmtest::RelocatedUser user_;
};

TEST_F(SnapshotEqualityTest, ListIsTheSameWithAndWithoutTheSnapshotAfterRandomChanges) {
    const int steps = envNumber("QMTEST_SNAPSHOT_STEPS", 40);
    const auto seed = static_cast<unsigned>(envNumber("QMTEST_SNAPSHOT_SEED", 20261206));
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const char* configs[] = {"default", "other"};
    std::string config = "default";
    auto newName = [&] {
        return "def" + std::to_string(rng() % 1000) + "." + configs[rng() % 2] + ".xml";
    };
    for (int i = 0; i < 8; ++i) {
        qmtest::writeFile(modules() + "/" + newName(), definition(rng));
    }
    std::vector<std::unique_ptr<qmtest::ScopedEnv>> env;  // the environment changes so far
    int noted = 0;     // log lines noting an encoding, over every step
    int rejected = 0;  // log lines of rejected definitions

    for (int step = 0; step < steps; ++step) {
        const std::vector<fs::path> files = definitionFiles();
        const fs::path some = files.empty() ? fs::path() : files[rng() % files.size()];
        const int kind = static_cast<int>(rng() % 13);
        std::string what;
        if (files.empty() || kind == 0) {
            what = "addition";
            qmtest::writeFile(modules() + "/" + newName(), definition(rng));
        } else if (kind == 1) {
            what = "edit with a size change";
            qmtest::writeFile(qmtest::utf8(some),
                              qmtest::readFile(qmtest::utf8(some)) + "<!-- more -->\n");
        } else if (kind == 2 || kind == 3) {
            // Same size, and (kind 3) the old modification time put back: only the change
            // time tells.
            what = kind == 2 ? "edit of the same size" : "edit within the same second";
            const std::int64_t before = qmtest::lastWriteNs(qmtest::utf8(some));
            std::string text = qmtest::readFile(qmtest::utf8(some));
            const std::size_t digit = text.find_first_of("0123456789");
            if (digit != std::string::npos) {
                text[digit] = static_cast<char>('0' + (text[digit] - '0' + 1) % 10);
            }
            qmtest::writeFile(qmtest::utf8(some), text);
            if (kind == 3) {
                qmtest::setLastWriteNs(qmtest::utf8(some), before);
            }
        } else if (kind == 4) {
            what = "touch";
            qmtest::setLastWriteNs(qmtest::utf8(some), qmtest::nowNs());
        } else if (kind == 5) {
            what = "rename";
            fs::rename(some, modules() + "/" + newName());
        } else if (kind == 6) {
            what = "deletion";
            fs::remove(some);
        } else if (kind == 7) {
            what = "rename of letter case only";
            std::string name = some.filename().string();
            for (char& c : name) {
                c = static_cast<char>(std::isupper(static_cast<unsigned char>(c))
                                          ? std::tolower(static_cast<unsigned char>(c))
                                          : std::toupper(static_cast<unsigned char>(c)));
            }
            fs::rename(some, some.parent_path() / name);
        } else if (kind == 8) {
            what = "schema change";
            const std::string schema = modules() + "/QM_Module.xsd";
            std::string text = qmtest::readFile(schema);
            // Applications required or optional: definitions without them change sides.
            const std::string element = "name=\"Applications\" type=\"ApplicationsType\" ";
            const std::size_t at = text.find(element + "minOccurs=\"");
            if (at != std::string::npos) {
                char& flag = text[at + element.size() + std::string("minOccurs=\"").size()];
                flag = flag == '0' ? '1' : '0';
            }
            qmtest::writeFile(schema, text);
        } else if (kind == 9) {
            what = "configuration switch";
            config = config == "default" ? "other" : "default";
        } else if (kind == 11) {
            what = "environment change";
            static const char* const kVariables[] = {"TMPDIR", "APPDATA", "HOME", "QM_HOST_PATH"};
            const char* variable = kVariables[rng() % 4];
            const std::string value = user_.root() + "/" + variable + std::to_string(rng() % 3);
            fs::create_directories(value);
            env.push_back(std::make_unique<qmtest::ScopedEnv>(variable, value));
        } else if (kind == 12) {
            what = "registry change";
            static const char* const kConfigs[] = {"Default", "DEFAULT", "Other"};
            static const char* const kLanguages[] = {"enu", "ENU", "deu"};
            if (rng() % 2 == 0) {
                qmtest::storeKernelService("Current Config", kConfigs[rng() % 3]);
            } else {
                qmtest::storeKernelService("Language", kLanguages[rng() % 3]);
            }
        } else {
            what = "snapshot damaged";
            const fs::path folder =
                user_.stateDir() + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/catalogue";
            if (fs::exists(folder)) {
                for (const auto& e : fs::directory_iterator(folder)) {
                    std::string bytes = qmtest::readFile(qmtest::utf8(e.path()));
                    bytes.resize(bytes.size() / (1 + rng() % 3));
                    if (!bytes.empty()) {
                        bytes[rng() % bytes.size()] ^= 0x5A;
                    }
                    qmtest::writeFile(qmtest::utf8(e.path()), bytes);
                }
            }
        }
        SCOPED_TRACE("step " + std::to_string(step) + ": " + what);
        // The runs come once the change's tick is over: what they record is vouched for, so
        // the next step's change is seen only by the identities the snapshot compares (a
        // change within the recording tick is the racy-stamp test's).
        waitPastFileTimes();
        // Either order: the snapshot run may come before or after the plain one.
        const bool snapshotFirst = rng() % 2 == 0;
        const Logged a = listLogged(config, snapshotFirst);
        const Logged b = listLogged(config, !snapshotFirst);
        ASSERT_EQ(a.result.exitCode, b.result.exitCode);
        ASSERT_EQ(a.result.out, b.result.out);
        ASSERT_EQ(a.result.err, b.result.err);
        ASSERT_EQ(a.lines, b.lines);
        for (const std::string& line : a.lines) {
            noted += line.find("encoded as ISO-8859-1") != std::string::npos ? 1 : 0;
            rejected += line.find("rejected") != std::string::npos ? 1 : 0;
        }
    }
    // The log comparison above compared something.
    EXPECT_GT(noted, 0);
    EXPECT_GT(rejected, 0);
}

TEST_F(SnapshotEqualityTest, UnchangedDefinitionsAreNotReadAgain) {
    std::mt19937 rng(7);
    writeDefinitions(4, rng);
    // Listed last (NTFS order), recorded first (byte order): every name of the recorded
    // listing sits elsewhere among the snapshot's entries.
    qmtest::writeFile(modules() + "/Z9.default.xml", definition(rng));
    waitPastFileTimes();
    const std::string log = user_.root() + "/qm.log";
    qmtest::ScopedEnv logEnv("QM_LOG", log);
    auto readCount = [&] { return lastReadCount(log); };
    ASSERT_EQ(list("default", true).exitCode, 0);
    EXPECT_EQ(readCount(), "5 of 5 definitions read");
    ASSERT_EQ(list("default", true).exitCode, 0);
    EXPECT_EQ(readCount(), "0 of 5 definitions read");

    // Edited in place, so that the folder's listing stays as recorded.
    qmtest::writeFile(modules() + "/m2.default.xml", definition(rng) + "\n");
    waitPastFileTimes();
    ASSERT_EQ(list("default", true).exitCode, 0);
    EXPECT_EQ(readCount(), "1 of 5 definitions read");
    // What was read again is recorded in its turn.
    ASSERT_EQ(list("default", true).exitCode, 0);
    EXPECT_EQ(readCount(), "0 of 5 definitions read");

    const fs::path folder =
        user_.stateDir() + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/catalogue";
    for (const auto& e : fs::directory_iterator(folder)) {
        qmtest::writeFile(qmtest::utf8(e.path()), "not a snapshot");
    }
    ASSERT_EQ(list("default", true).exitCode, 0);
    EXPECT_EQ(readCount(), "5 of 5 definitions read");
}

// The host's start-up and the tool each keep a snapshot of their own: taking turns, neither
// makes the other read the definitions again. Four program starts (one turn each way after
// both recorded): one shared snapshot would already show at the host's first start, which
// would read nothing, and at each start after, which would read everything.
TEST_F(SnapshotEqualityTest, TheHostAndTheToolKeepSnapshotsOfTheirOwn) {
    std::mt19937 rng(11);
    writeDefinitions(3, rng);
    waitPastFileTimes();
    const std::string log = user_.root() + "/qm.log";
    qmtest::ScopedEnv logEnv("QM_LOG", log);
    qmtest::ProcessOptions quit;
    quit.input = "QUIT\n";
    // A start takes about a second under Wine on a busy machine; a hung one fails its step
    // well within the test's time-out.
    quit.timeout = 20s;
    for (const char* reads : {"3 of 3 definitions read", "0 of 3 definitions read"}) {
        SCOPED_TRACE(reads);
        ASSERT_EQ(list("default", true).exitCode, 0);
        EXPECT_EQ(lastReadCount(log), reads);
        const qmtest::ProcessResult host =
            qmtest::runProcess({qmtest::binDir() + "/cadhost", "--console"}, quit);
        ASSERT_EQ(host.exitCode, 0) << host.err << (host.timedOut ? " (timed out)" : "");
        EXPECT_EQ(lastReadCount(log), reads);
    }
}

#if !defined(_WIN32)  // the store's own write lock is the SQLite store's
// While another program holds the user's registry store for writing, qmloader list reads at
// once: it asks for no write lock. The lock is held until it has ended and its busy time-out
// is ten minutes, so a list that asked for the lock would not end before its run's time-out
// kills it: that it ends at all, with the same answer, is the proof, whatever the machine's
// speed. (The host's start reads the same way, as the start-up's own tests show; its
// writes do wait.)
TEST_F(SnapshotEqualityTest, ListReadsWhileAnotherProgramHoldsTheStoreForWriting) {
    std::mt19937 rng(12);
    writeDefinitions(3, rng);
    const qmtest::ProcessResult free = list("default", true);  // also makes the store
    ASSERT_EQ(free.exitCode, 0) << free.err;

    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open((user_.registryDir() + "/hkcu.db").c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(writer);
    qmtest::ProcessOptions options;
    options.extraEnv = {"QM_REGISTRY_BUSY_MS=600000"};
    const qmtest::ProcessResult locked = qmtest::runProcess(
        {qmtest::binDir() + "/qmloader", "--config", "default", "list", "--json"}, options);
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    EXPECT_EQ(locked.exitCode, 0) << locked.err;
    EXPECT_EQ(locked.out, free.out);
    EXPECT_EQ(locked.err, free.err);
}
#endif

// Application paths are recorded expanded, so a recorded outcome holds only while every path
// macro still stands for what it did: each input the macros read (environment variables,
// the registry values of the configuration and language, their exact letter case) changed in
// turn must show in the list at once, as it does without the snapshot.
TEST_F(SnapshotEqualityTest, ApplicationPathsFollowEveryInputOfTheMacros) {
    qmtest::writeFile(modules() + "/paths.default.xml", definitionUnderEveryMacro("QM_PATHS"));
    waitPastFileTimes();
    const std::string log = user_.root() + "/qm.log";
    qmtest::ScopedEnv logEnv("QM_LOG", log);
    std::vector<std::unique_ptr<qmtest::ScopedEnv>> env;
    auto setEnv = [&env](const char* name, std::optional<std::string> value) {
        env.push_back(std::make_unique<qmtest::ScopedEnv>(name, std::move(value)));
    };
    const std::string root = user_.root();
    const struct {
        const char* what;
        std::function<void()> change;
        const char* shows;  // in the list afterwards
    } changes[] = {
#if defined(_WIN32)  // GetTempPathW reads TMP first
        {"TMP", [&] { setEnv("TMP", root + "/tmp2"); }, "/tmp2/app"},
#else
        {"TMPDIR", [&] { setEnv("TMPDIR", root + "/tmp2"); }, "/tmp2/app"},
#endif
        {"APPDATA", [&] { setEnv("APPDATA", root + "/appdata2"); }, "/appdata2/"},
        {"XDG_DATA_HOME standing in for APPDATA",
         [&] {
             setEnv("APPDATA", std::nullopt);
             setEnv("XDG_DATA_HOME", root + "/data2");
         },
         "/data2/"},
        {"HOME", [&] { setEnv("HOME", root + "/home2"); }, "/home2/Documents/Quillmont/app"},
        {"QM_HOST_PATH", [&] { setEnv("QM_HOST_PATH", "/opt/host"); }, "/opt/host/app"},
        {"the configuration's letter case",
         [] { qmtest::storeKernelService("Current Config", "DEFAULT"); }, "/DEFAULT/app"},
        {"the language's letter case", [] { qmtest::storeKernelService("Language", "ENU"); },
         "/ENU/app"},
        {"the language", [] { qmtest::storeKernelService("Language", "deu"); }, "/de-DE/app"},
    };
    ASSERT_EQ(list("default", true).exitCode, 0);
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        const qmtest::ProcessResult before = list("default", true);
        ASSERT_EQ(lastReadCount(log), "0 of 1 definitions read");  // the snapshot is in use
        c.change();
        const qmtest::ProcessResult withSnapshot = list("default", true);
        const qmtest::ProcessResult without = list("default", false);
        ASSERT_EQ(without.exitCode, 0) << without.err;
        EXPECT_NE(without.out.find(c.shows), std::string::npos) << without.out;
        EXPECT_NE(without.out, before.out);
        EXPECT_EQ(withSnapshot.out, without.out);
    }
}

// The environment that names a process's temporary folder: TMPDIR, or on Windows TMP and TEMP
// (GetTempPathW reads the first that is set).
std::vector<std::string> temporaryFolderIs(const std::string& folder) {
#if defined(_WIN32)
    return {"TMP=" + folder, "TEMP=" + folder};
#else
    return {"TMPDIR=" + folder};
#endif
}

// The same through the host: a module started with the host runs its program under the
// temporary folder of the start that runs it, not of the start that recorded the catalogue.
TEST_F(SnapshotEqualityTest, TheHostRunsTheProgramUnderItsOwnStartsTempFolder) {
    qmtest::writeFile(
        modules() + "/rec.default.xml",
        "<?xml version=\"1.0\"?>\n<QM_Module><Keyname>QM_REC</Keyname><Version><VersionMajor>1"
        "</VersionMajor><VersionMinor>0</VersionMinor></Version><Name><ModuleName>Recorder"
        "</ModuleName></Name><Applications><Application path=\"&lt;TEMP&gt;\\rec\" "
        "arguments=\"started\" type=\"exe\" command=\"\" modal=\"False\"/></Applications>"
        "</QM_Module>\n");
    const qmtest::ProcessResult set =
        qmtest::runProcess({qmtest::binDir() + "/qmloader", "set", "QM_REC", "--activated", "on",
                            "--autostart", "on"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const std::string temps[] = {user_.root() + "/tmp1", user_.root() + "/tmp2"};
    for (const std::string& temp : temps) {
        fs::create_directories(temp);
#if defined(_WIN32)
        const std::string rec = temp + "/rec.exe";  // found as rec
#else
        const std::string rec = temp + "/rec";
#endif
        fs::copy_file(qmtest::fsPath(qmtest::program("qmtest_argv_recorder")), qmtest::fsPath(rec));
    }
    waitPastFileTimes();
    for (const std::string& temp : temps) {
        SCOPED_TRACE("TMPDIR " + temp);
        const qmtest::ProcessResult start =
            qmtest::runProcess({qmtest::binDir() + "/cadhost", "--console"},
                               qmtest::ProcessOptions{temporaryFolderIs(temp), "QUIT\n"});
        ASSERT_EQ(start.exitCode, 0) << start.err;
        ASSERT_TRUE(qmtest::waitForFile(temp + "/rec.argv"));
        EXPECT_EQ(qmtest::readFile(temp + "/rec.argv"), "started\n");
        for (const std::string& other : temps) {
            EXPECT_TRUE(other == temp || !fs::exists(other + "/rec.argv")) << other;
        }
        fs::remove(temp + "/rec.argv");
    }
}

#if !defined(_WIN32)  // a loop-mounted ext2 needs Linux
// A file system with whole-second times, mounted from an image for the test (skipped where
// the machine allows no loop mount). A deployment that copies definitions and lists the
// catalogue within one second: a module added, and a definition edited to the same size, in
// the second of the scan that recorded the snapshot must show at once and ever after.
const bool kPrivateMounts = qmtest::keepMountsPrivate();

class WholeSecondFileSystem {
public:
    explicit WholeSecondFileSystem(const std::string& root)
        : image_(root + "/ext2.img"), mountPoint_(root + "/ext2") {
        fs::create_directories(mountPoint_);
        qmtest::writeFile(image_, "");
        if (!kPrivateMounts || ::truncate(image_.c_str(), 16 << 20) != 0) {
            return;
        }
        mounted_ = run({"/sbin/mkfs.ext2", "-q", "-F", "-I", "128", image_}) &&
                   run({"/bin/mount", "-o", "loop", image_, mountPoint_});
    }
    ~WholeSecondFileSystem() {
        if (mounted_) {
            run({"/bin/umount", mountPoint_});
        }
    }
    bool mounted() const { return mounted_; }
    const std::string& path() const { return mountPoint_; }

private:
    static bool run(const std::vector<std::string>& argv) {
        return fs::exists(argv[0]) && qmtest::runProcess(argv).exitCode == 0;
    }
    std::string image_;
    std::string mountPoint_;
    bool mounted_ = false;
};

TEST_F(SnapshotEqualityTest, ChangesWithinTheRecordingSecondOfAWholeSecondFileSystemShow) {
    WholeSecondFileSystem ext2(user_.root());
    if (!ext2.mounted()) {
        GTEST_SKIP() << "no loop-mounted ext2 in a mount namespace of the test's own here";
    }
    const std::string folder = ext2.path() + "/Zadod/Modules";
    fs::create_directories(folder);
    fs::copy_file(modules() + "/QM_Module.xsd", folder + "/QM_Module.xsd");
    qmtest::ScopedEnv app("QM_APP_PATH", ext2.path());
    const std::string log = user_.root() + "/qm.log";
    qmtest::ScopedEnv logEnv("QM_LOG", log);
    auto def = [](const std::string& key, int minor) {
        return "<?xml version=\"1.0\"?>\n<QM_Module><Keyname>" + key +
               "</Keyname><Version><VersionMajor>1</VersionMajor><VersionMinor>" +
               std::to_string(minor) + "</VersionMinor></Version><Name><ModuleName>" + key +
               "</ModuleName></Name></QM_Module>\n";
    };
    auto second = [] { return std::chrono::system_clock::now().time_since_epoch() / 1s; };
    // The case needs both listings within the second of the first: an attempt that spills
    // into the next second proves nothing, and is made again from a new second.
    bool withinOneSecond = false;
    for (int attempt = 0; attempt < 10 && !withinOneSecond; ++attempt) {
        fs::remove(folder + "/a.default.xml");
        fs::remove(folder + "/b.default.xml");
        fs::remove_all(user_.stateDir() + "/Brenvik");
        for (const auto start = second(); second() == start;) {
            std::this_thread::sleep_for(5ms);  // to the start of a second
        }
        const auto start = second();
        qmtest::writeFile(folder + "/a.default.xml", def("QM_A", 1));
        ASSERT_EQ(list("default", true).exitCode, 0);
        qmtest::writeFile(folder + "/b.default.xml", def("QM_B", 1));
        qmtest::writeFile(folder + "/a.default.xml", def("QM_A", 2));  // the same size
        const qmtest::ProcessResult withSnapshot = list("default", true);
        withinOneSecond = second() == start;
        if (!withinOneSecond) {
            continue;  // the machine was too slow this time: try again from a new second
        }
        const qmtest::ProcessResult without = list("default", false);
        EXPECT_NE(without.out.find("\"key\": \"QM_B\""), std::string::npos) << without.out;
        EXPECT_NE(without.out.find("\"version_minor\": 2"), std::string::npos) << without.out;
        EXPECT_EQ(withSnapshot.out, without.out);
        // And ever after: once even a two-second tick holding those stamps is over, the
        // snapshot recorded meanwhile still shows them.
        while (second() < start + 2) {
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_EQ(list("default", true).out, without.out);
    }
    if (!withinOneSecond) {
        GTEST_SKIP() << "this machine never ran two listings within one second";
    }
}
#endif

// The racy-timestamp rule: a file whose times fall within the clock tick in which the
// recording scan started (or later) could change again in that tick without its times
// moving, so the snapshot never vouches for it. A modification time put into the scan's tick
// and beyond makes every scan read that file again, and only that file.
TEST_F(SnapshotEqualityTest, AFileStampedWithinTheRecordingTickIsReadAgain) {
    std::mt19937 rng(5);
    writeDefinitions(3, rng);
    waitPastFileTimes();
    const std::string racy = modules() + "/m1.default.xml";
    qmtest::setLastWriteNs(racy, qmtest::nowNs() + std::chrono::nanoseconds(600s).count());

    const std::string log = user_.root() + "/qm.log";
    qmtest::ScopedEnv logEnv("QM_LOG", log);
    ASSERT_EQ(list("default", true).exitCode, 0);
    EXPECT_EQ(lastReadCount(log), "3 of 3 definitions read");
    for (int scan = 0; scan < 2; ++scan) {
        SCOPED_TRACE("scan " + std::to_string(scan));
        const qmtest::ProcessResult withSnapshot = list("default", true);
        EXPECT_EQ(lastReadCount(log), "1 of 3 definitions read");
        EXPECT_EQ(withSnapshot.out, list("default", false).out);
    }
}

}  // namespace
