// The module loader as the host sees it: the real QmModuleLoader.arx loaded by a real host,
// in this process and in child cadhost processes.
#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sstream>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "qm/version.h"
#include "qmsys/module.h"
#include "qmsys/named_mutex.h"
#include "qmtest/child_process.h"
#include "qmtest/files.h"
#include "qmtest/module_settings.h"
#include "qmtest/own_process.h"
#include "qmtest/private_mounts.h"
#include "qmtest/relocated_user.h"
#include "test_installation.h"

namespace {

using namespace std::chrono_literals;

std::string loaderPath() {
    return qmtest::binDir() + "/QmModuleLoader.arx";
}

void setBaseDword(const std::string& name, std::uint32_t value) {
    QmEnWinRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, QmEnGetRegistryKey() + "\\Base", true));
    reg.WriteLong(name, static_cast<std::int32_t>(value));
}

// The loader locks itself in memory and holds the single-instance mutex for as long as the
// process lives: each of these tests loads it in a process of its own.
class InProcessLoaderTest : public qmtest::RelocatedTest {
protected:
    void SetUp() override {
        ownProcess_ = qmtest::inOwnProcess();
        if (!ownProcess_) {
            return;
        }
        host_ = std::make_unique<cadhost::Host>(cadhost::HostOptions{&out_, {}});
        ASSERT_EQ(host_->loadApplication(loaderPath()).status, RTNORM) << out_.str();
        host_->newDrawing();
    }
    int lispInt(const std::string& name) {
        const auto r = host_->callLisp(name);
        EXPECT_EQ(r.outcome, cadhost::LispCallResult::Outcome::Value) << name;
        return std::holds_alternative<int>(r.value) ? std::get<int>(r.value) : -12345;
    }
    bool defined(const std::string& name) {
        return host_->callLisp(name).outcome != cadhost::LispCallResult::Outcome::Undefined;
    }

    bool ownProcess_ = false;
    std::ostringstream out_;
    std::unique_ptr<cadhost::Host> host_;
};

// The body of an in-process test runs only in the process started for it.
#define IN_OWN_PROCESS() \
    if (!ownProcess_) {  \
        return;          \
    }

struct QueryCase {
    const char* function;
    const char* value;
    std::uint32_t stored;
    int expected;
};

// Test names must not depend on addresses, which differ from run to run.
void PrintTo(const QueryCase& c, std::ostream* os) {
    *os << c.function << '=' << c.stored;
}

class LispQueryTest : public InProcessLoaderTest,
                      public ::testing::WithParamInterface<QueryCase> {};

TEST_P(LispQueryTest, AnswersTheStoredValueReadAfresh) {
    IN_OWN_PROCESS();
    const QueryCase& c = GetParam();
    EXPECT_EQ(lispInt(c.function), 1) << "default without a key";
    setBaseDword(c.value, c.stored);
    EXPECT_EQ(lispInt(c.function), c.expected) << "no restart needed";
    // The other query reads a value of its own.
    const char* other = std::string(c.function) == "krqm_CheckCommandlineSetting"
                            ? "krqm_CheckInsUnitsDefSourceSetting"
                            : "krqm_CheckCommandlineSetting";
    EXPECT_EQ(lispInt(other), 1) << other;
}

INSTANTIATE_TEST_SUITE_P(Values, LispQueryTest,
                         ::testing::Values(QueryCase{"krqm_CheckCommandlineSetting",
                                                     "CheckCommandlineSetting", 0, 0},
                                           QueryCase{"krqm_CheckCommandlineSetting",
                                                     "CheckCommandlineSetting", 4294967295u, -1},
                                           QueryCase{"krqm_CheckInsUnitsDefSourceSetting",
                                                     "CheckInsUnitsDefSourceSetting", 7, 7}));

TEST_F(InProcessLoaderTest, FunctionsFollowTheDrawings) {
    IN_OWN_PROCESS();
    const std::string first = host_->currentDrawing();
    host_->newDrawing();
    EXPECT_TRUE(defined("krqm_CheckCommandlineSetting"));
    ASSERT_TRUE(host_->closeDrawing());
    ASSERT_EQ(host_->currentDrawing(), first);
    EXPECT_TRUE(defined("krqm_CheckCommandlineSetting"));
    EXPECT_TRUE(defined("krqm_CheckInsUnitsDefSourceSetting"));
}

TEST_F(InProcessLoaderTest, EntryPointIgnoresUnknownMessagesAndLocksItself) {
    IN_OWN_PROCESS();
    std::string why;
    const qmsys::Library loader = qmsys::Library::open(loaderPath(), why);  // the host's own
    ASSERT_TRUE(loader.isOpen()) << why;
    auto entry = reinterpret_cast<AcRxEntryPointFunc>(loader.symbol("acrxEntryPoint", why));
    auto version = reinterpret_cast<int (*)()>(loader.symbol("acrxGetApiVersion", why));
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 0x00180000);
    for (int code : {16, 1000}) {
        EXPECT_EQ(entry(static_cast<AcRx::AppMsgCode>(code), nullptr), AcRx::kRetOK);
        // Neither taken for the drawing's unload nor for the application's.
        EXPECT_TRUE(defined("krqm_CheckCommandlineSetting")) << code;
        EXPECT_TRUE(defined("krqm_CheckInsUnitsDefSourceSetting")) << code;
    }
    EXPECT_EQ(host_->unloadApplication("QmModuleLoader.arx"), RTERROR) << "locked";
    bool listed = false;
    for (const auto& app : host_->applications()) {
        listed |= app.fileName == "QmModuleLoader.arx" && app.locked;
    }
    EXPECT_TRUE(listed);
}

// Other programs of the product family switch the extra menu on and off through the
// library's own exports; unloading says true also when there is nothing to unload.
TEST_F(InProcessLoaderTest, ExtraMenuExportsSwitchItsGroupOnAndOff) {
    IN_OWN_PROCESS();
    std::string why;
    const qmsys::Library loader = qmsys::Library::open(loaderPath(), why);  // the host's own
    ASSERT_TRUE(loader.isOpen()) << why;
    auto load = reinterpret_cast<bool (*)()>(loader.symbol("loadQCOMenu", why));
    auto unload = reinterpret_cast<bool (*)()>(loader.symbol("unloadQCOMenu", why));
    ASSERT_NE(load, nullptr);
    ASSERT_NE(unload, nullptr);
    EXPECT_TRUE(load()) << out_.str();
    EXPECT_TRUE(acedIsMenuGroupLoaded("KRQM_QCO")) << out_.str();
    EXPECT_TRUE(unload());
    EXPECT_FALSE(acedIsMenuGroupLoaded("KRQM_QCO"));
    EXPECT_TRUE(unload());
}

// The single-instance guard across real host processes of one user session.
class HostProcessTest : public qmtest::RelocatedTest {
protected:
    std::vector<std::string> cadhost() const {
        return {qmtest::binDir() + "/cadhost", "--console"};
    }
    qmtest::ProcessOptions options(std::string input = {}) const {
        qmtest::ProcessOptions o;
        o.extraEnv = user_.environment();
        o.input = std::move(input);
        return o;
    }
    static bool hasLine(const std::string& out, const std::string& line) {
        return ("\n" + out).find("\n" + line + "\n") != std::string::npos;
    }
    // The ARX listing has the loader's file name on a line of its own.
    static bool listsLoader(const std::string& out) { return hasLine(out, "QmModuleLoader.arx"); }
};

TEST_F(HostProcessTest, SecondHostRunsWithoutTheLoaderUntilTheFirstIsGone) {
    {
        qmtest::BackgroundProcess first(cadhost(), options());
        first.writeInput("ARX\n");
        ASSERT_TRUE(first.waitForOutput("QmModuleLoader.arx\n", 20s)) << first.output();

        const auto second =
            qmtest::runProcess(cadhost(), options("ARX\n(krqm_CheckCommandlineSetting)\n"));
        EXPECT_EQ(second.exitCode, 0) << second.err;
        EXPECT_FALSE(listsLoader(second.out)) << second.out;
        EXPECT_NE(second.out.find("; error: no function definition:"), std::string::npos);

        first.kill(9);  // a crash releases the marker too
        first.wait();
    }
    const auto third = qmtest::runProcess(cadhost(), options("ARX\n"));
    EXPECT_TRUE(listsLoader(third.out)) << third.out << third.err;
}

#if !defined(_WIN32)  // no FIFOs there
// The diagnostic log named by QM_LOG is a FIFO that nobody reads: the host starts all the same.
TEST_F(HostProcessTest, ALogNobodyReadsNeverHoldsTheHostUp) {
    const std::string fifo = user_.root() + "/log.fifo";
    qmtest::makeFifo(fifo);
    qmtest::ProcessOptions o = options("ARX\n");
    o.extraEnv.push_back("QM_LOG=" + fifo);
    o.timeout = 15s;
    const auto host = qmtest::runProcess(cadhost(), o);
    EXPECT_FALSE(host.timedOut);
    EXPECT_EQ(host.exitCode, 0) << host.err;
    EXPECT_TRUE(listsLoader(host.out)) << host.out;
}
#endif

TEST_F(HostProcessTest, RegistryToolChangesTheAnswerWithoutRestart) {
    qmtest::BackgroundProcess host(cadhost(), options());
    host.writeInput("(krqm_CheckCommandlineSetting)\nARX\n");
    ASSERT_TRUE(host.waitForOutput("QmModuleLoader.arx\n", 20s)) << host.output();
    EXPECT_TRUE(hasLine(host.output(), "1")) << host.output();

    const auto add =
        qmtest::runProcess({qmtest::binDir() + "/qmreg", "add",
                            "HKCU\\SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Base",
                            "/v", "CheckCommandlineSetting", "/t", "REG_DWORD", "/d", "0", "/f"},
                           options());
    ASSERT_EQ(add.exitCode, 0) << add.err;
    host.writeInput("(krqm_CheckCommandlineSetting)\nQUIT\n");
    host.closeInput();
    EXPECT_EQ(host.wait(), 0);
    EXPECT_TRUE(hasLine(host.output(), "0")) << host.output();
}

#if !defined(_WIN32)  // no lock folders there: named mutexes
// When no private folder for the session's locks can be had (another local user planted the
// shared ones), the loader cannot know whether another one runs: it refuses, saying why.
TEST(SingleInstanceGuard, FailsClosedWithoutAPrivateLockFolder) {
    qmtest::RelocatedUser user;
    const std::string tmp = user.root() + "/tmp";
    qmtest::ScopedEnv tmpdir("TMPDIR", tmp);
    for (const std::string& planted :
         {user.runtimeDir() + "/quillmont", tmp + "/quillmont-" + std::to_string(::geteuid()),
          user.stateDir() + "/quillmont-session"}) {
        std::filesystem::create_directories(planted);
        std::filesystem::permissions(planted, std::filesystem::perms::all);  // open to all
    }
    std::ostringstream out;
    cadhost::Host host(cadhost::HostOptions{&out, {}});
    EXPECT_EQ(host.loadApplication(loaderPath()).status, RTERROR);
    EXPECT_NE(out.str().find("[Quillmont] The module loader was not started: it cannot tell "
                             "whether another one runs in this session, because no private "
                             "folder for the session's locks"),
              std::string::npos)
        << out.str();
}
#endif

// A module whose application kills the host while it starts: the next start skips it with
// one message, and the start after that brings it up again. Real host processes throughout.
class CrashGuardTest : public ::testing::Test {
protected:
    CrashGuardTest() : user_(installDir_.path()), install_(installDir_.path()) {}

    // A module started with the host whose one application is the test ARX; group "" for a
    // module without menu.
    void addStartedModule(const std::string& key, const std::string& name,
                          const std::string& group) {
        install_.addModule({key,
                            name,
                            group,
                            {"<Application path=\"" + qmtest::binDir() +
                             "/qmtest_runtime_arx.arx\" arguments=\"\" type=\"arx\" "
                             "command=\"\" modal=\"False\"/>"}});
        qmtest::storeModuleSettings(
            key, {{"Activated", "True"}, {"AutoStart", "True"}, {"DemandLoad", "False"}});
    }

    qmtest::ProcessResult start(bool killInInit,
                                std::chrono::milliseconds timeout = 30000ms) const {
        qmtest::ProcessOptions o;
        o.extraEnv = user_.environment();
        o.extraEnv.push_back("QM_LOG=" + logFile());
        if (killInInit) {
            o.extraEnv.push_back("QMTEST_ARX_KILL_INIT=1");
        }
        o.input = "ARX\nMENUGROUPS\n";
        o.timeout = timeout;
        return qmtest::runProcess({qmtest::binDir() + "/cadhost", "--console"}, o);
    }
    // A start after which the test ARX is up and nothing was said.
    void expectBroughtUpSilently(const qmtest::ProcessResult& r) const {
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("qmtest_runtime_arx.arx\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("[Quillmont]"), std::string::npos) << r.out;
    }
    std::string logFile() const { return user_.root() + "/diagnostic.log"; }

    qmtest::TempDir installDir_;
    qmtest::RelocatedUser user_;
    qmtest::TestInstallation install_;
};

TEST_F(CrashGuardTest, ModuleThatKillsTheHostIsSkippedOnceWithOneMessage) {
    addStartedModule("QM_CRASHY", "Crashy", "KRQM_CRASHY");
    const auto first = start(true);
    ASSERT_EQ(first.exitCode, 128 + 9) << first.out << first.err;

    // Still armed: were the module brought up again, the host would die again.
    const auto second = start(true);
    EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
    const std::string message = "[Quillmont] The module \"Crashy\" was not started";
    EXPECT_NE(second.out.find(message), std::string::npos) << second.out;
    EXPECT_EQ(second.out.find(message), second.out.rfind("[Quillmont]")) << second.out;
    EXPECT_NE(second.out.find("QmModuleLoader.arx\n"), std::string::npos) << second.out;
    EXPECT_EQ(second.out.find("qmtest_runtime_arx.arx"), std::string::npos) << second.out;
    EXPECT_NE(qmtest::readFile(logFile()).find("module QM_CRASHY not brought up"),
              std::string::npos);

    expectBroughtUpSilently(start(false));
}

// Two definitions share a key, apart in the folder's listing and in the catalogue (another
// between them in both): the next start holds back the definition the host died in, not the
// first of that key; under the same display name only its place among the key's definitions
// tells them apart.
struct TwinNames {
    const char* label;
    const char* harmless;
    const char* crashing;
    bool crashingListedFirst;
};

class SharedKeyCrashTest : public CrashGuardTest,
                           public ::testing::WithParamInterface<TwinNames> {};

TEST_P(SharedKeyCrashTest, TheDefinitionTheHostDiedInIsSkipped) {
    const TwinNames& names = GetParam();
    install_.addModule({"QM_TWIN", names.harmless, "", {}});
    install_.addModule({"QM_MIDDLE", "M between them", "", {}});
    addStartedModule("QM_TWIN_Z", names.crashing, "");
    const std::string modules = installDir_ / "Zadod/Modules";
    const std::string first = modules + "/A_TWIN.default.xml";
    const std::string last = modules + "/Z_TWIN.default.xml";
    std::filesystem::rename(modules + "/QM_TWIN.default.xml",
                            names.crashingListedFirst ? last : first);
    const std::string crashing = names.crashingListedFirst ? first : last;
    std::filesystem::rename(modules + "/QM_TWIN_Z.default.xml", crashing);
    std::string text = qmtest::readFile(crashing);
    text.replace(text.find("QM_TWIN_Z"), 9, "QM_TWIN");
    qmtest::writeFile(crashing, text);
    qmtest::storeModuleSettings(
        "QM_TWIN", {{"Activated", "True"}, {"AutoStart", "True"}, {"DemandLoad", "False"}});
    ASSERT_EQ(start(true).exitCode, 128 + 9);

    const auto next = start(true);
    EXPECT_EQ(next.exitCode, 0) << next.out << next.err;
    EXPECT_NE(next.out.find(std::string("[Quillmont] The module \"") + names.crashing +
                            "\" was not started"),
              std::string::npos)
        << next.out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SharedKeyCrashTest,
    ::testing::Values(TwinNames{"Different", "A harmless twin", "Z crashing twin", false},
                      TwinNames{"SameListedFirst", "M twin", "M twin", true},
                      TwinNames{"SameListedLast", "M twin", "M twin", false}),
    [](const ::testing::TestParamInfo<TwinNames>& p) { return p.param.label; });

// The user switched the module that killed the host off before the next start: it is not
// started, and no message claims that the guard held it back.
TEST_F(CrashGuardTest, AModuleNoLongerStartedIsNotReportedAsSkipped) {
    addStartedModule("QM_CRASHY", "Crashy", "KRQM_CRASHY");
    ASSERT_EQ(start(true).exitCode, 128 + 9);
    {
        QmEnWinRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser,
                                QmEnGetRegistryKey() + "\\Quillmont modules\\QM_CRASHY", false));
        reg.WriteString("AutoStart", "False");
    }
    const auto next = start(false);
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(next.out.find("[Quillmont]"), std::string::npos) << next.out;
    EXPECT_EQ(next.out.find("qmtest_runtime_arx.arx"), std::string::npos) << next.out;
}

// Starts that died without evidence against a module: the next start brings the module up and
// says nothing.
enum class Death {
    // The module's application kills the host while it initialises.
    InItsApplication,
    // Another process holds the menu protector; the host, waiting on it for the module's
    // menus, is killed before the wait times out.
    WaitingOnTheMenuProtector,
};

struct NoEvidenceCase {
    const char* name;
    const char* key;
    Death death;
};

void PrintTo(const NoEvidenceCase& c, std::ostream* os) {
    *os << c.name;
}

class CrashGuardNoEvidenceTest : public CrashGuardTest,
                                 public ::testing::WithParamInterface<NoEvidenceCase> {};

TEST_P(CrashGuardNoEvidenceTest, NextStartBringsTheModuleUpSilently) {
    const NoEvidenceCase& c = GetParam();
    const bool base = std::string(c.key) == "QM_BASE";
    addStartedModule(c.key, "Module", base ? "KRQM_BASE" : "KRQM_MODULE");
    expectBroughtUpSilently(start(false));
    qmtest::ProcessResult dead;
    if (c.death == Death::InItsApplication) {
        dead = start(true);
    } else {
        qmsys::NamedMutex protector("MenuLoaderProtector");
        ASSERT_TRUE(protector.lock(1000ms));
        dead = start(false, 2500ms);
        protector.unlock();
    }
    ASSERT_EQ(dead.exitCode, 128 + 9) << dead.out << dead.err;
    const auto next = start(false);
    expectBroughtUpSilently(next);
    if (base) {
        EXPECT_NE(next.out.find("KRQM_BASE"), std::string::npos) << next.out;
        EXPECT_EQ(next.out.find("KRQM_MODULELOADER"), std::string::npos) << next.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, CrashGuardNoEvidenceTest,
    ::testing::Values(
        // The base module is never skipped: without it the host has no loader menu, and the
        // dialog offered for loading a skipped module never lists it.
        NoEvidenceCase{"BaseModuleKilledTheHost", "QM_BASE", Death::InItsApplication},
        NoEvidenceCase{"KilledWaitingOnTheMenuProtector", "QM_MODULE",
                       Death::WaitingOnTheMenuProtector}),
    [](const ::testing::TestParamInfo<NoEvidenceCase>& param) { return param.param.name; });

#if !defined(_WIN32)  // a full file system needs a tmpfs mount
const bool kPrivateMounts = qmtest::keepMountsPrivate();

// A full file system under the state folder (a 512 KiB tmpfs, filled after one start): every
// later start still brings the module up. Needs the right to mount; skipped without it.
TEST_F(CrashGuardTest, FullStateFolderNeitherKillsTheHostNorKeepsAModuleDown) {
    if (!kPrivateMounts) {
        GTEST_SKIP() << "no mount namespace of the test's own here (a killed test would leave "
                        "its mount behind)";
    }
    const std::string state = user_.stateDir();
    std::filesystem::create_directories(state);
    if (::mount("tmpfs", state.c_str(), "tmpfs", 0, "size=512k,mode=0700") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
    }
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{state};
    addStartedModule("QM_MODULE", "Module", "KRQM_MODULE");
    expectBroughtUpSilently(start(false));
    {
        const int fd = ::open((state + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        EXPECT_EQ(errno, ENOSPC);
        ::close(fd);
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        expectBroughtUpSilently(start(false));
    }
}
#endif

}  // namespace
