// Where the environment library says things are, as the loader and the checker see it.
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "qm/version.h"
#include "qmenv/environment.h"
#include "qmreg/registry.h"
#include "qmtest/child_process.h"
#if !defined(_WIN32)
#include "qmtest/file_size_limit.h"
#endif
#include "qmtest/files.h"
#include "qmtest/product_keys.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"

namespace {

// The variable that relocates the temporary folder (<TEMP>), and a folder for it: Windows
// gives the folder with its drive.
#if defined(_WIN32)
constexpr const char* kTempVariable = "TMP";
#define QM_TEST_TEMP "C:/var/tmp"
#else
constexpr const char* kTempVariable = "TMPDIR";
#define QM_TEST_TEMP "/var/tmp"
#endif

const std::string kKernelServices = qmtest::kKernelServicesKey;

class EnvironmentTest : public qmtest::RelocatedTest {
protected:
    // Changes the kernel services the way a user would, from another process.
    void setKernelValue(const std::string& name, const std::string& data,
                        const std::string& type = "REG_SZ") {
        auto result =
            qmtest::runProcess({qmtest::binDir() + "/qmreg", "add", "HKCU\\" + kKernelServices,
                                "/v", name, "/t", type, "/d", data, "/f"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
};

TEST_F(EnvironmentTest, BrandNewUserGetsTheDefaultConfigurationAndLanguage) {
    EXPECT_EQ(QmEnGetCurrentConfig(), "Default");
    // Both defaults are now stored, so that readers of the key itself see a complete set-up.
    qmreg::Hive& hive = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
    ASSERT_TRUE(hive.getValue(kKernelServices, "Language"));
    EXPECT_EQ(hive.getValue(kKernelServices, "Language")->asString(), "enu");
    EXPECT_EQ(hive.getValue(kKernelServices, "Current Config")->asString(), "Default");
    EXPECT_EQ(QmEnGetLanguageCode(), "enu");
}

// A start-up reads ahead in a Reads transaction, which takes no write lock: defaults found
// missing meanwhile are stored beside it, and its reads keep the view they began with.
TEST_F(EnvironmentTest, DefaultsFoundMissingDuringReadsAreStoredBesideThem) {
    qmreg::Hive& hive = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
    {
        qmreg::Hive::Transaction reads(hive, qmreg::Hive::Transaction::Kind::Reads);
        ASSERT_FALSE(hive.keyExists(kKernelServices));
        EXPECT_EQ(QmEnGetLanguageCode(), "enu");
#if !defined(_WIN32)
        // (The real registry keeps no view for reads: they see the defaults at once.)
        EXPECT_FALSE(hive.keyExists(kKernelServices)) << "nothing written through the reads";
#endif
        reads.commit();
    }
    ASSERT_TRUE(hive.getValue(kKernelServices, "Language"));
    EXPECT_EQ(hive.getValue(kKernelServices, "Language")->asString(), "enu");
    EXPECT_EQ(hive.getValue(kKernelServices, "Current Config")->asString(), "Default");
}

#if !defined(_WIN32)
// (Not on Windows: the full disk is a file size limit that the registry's file meets, and the
// real registry has neither.)
// On a full disk the defaults cannot be stored: they still apply, and the store's failure is
// reported once through the sink rather than dropped.
TEST_F(EnvironmentTest, DefaultsThatCannotBeStoredStillApplyAndTheFailureIsReported) {
    // The thread's connection stays open and keeps the write-ahead log, which a 2 MB value
    // grows past the limit below: the next commit fails, while nothing else reaches it.
    QmEnWinRegistry padding;
    ASSERT_TRUE(padding.OpenKey(kQmEnHKeyCurrentUser, "SOFTWARE\\Padding", true));
    ASSERT_TRUE(padding.WriteString("Padding", std::string(2u << 20, 'p')));
    std::vector<std::string> reported;
    struct SinkReset {
        ~SinkReset() { QmEnSetReportSink({}); }
    } sinkReset;
    QmEnSetReportSink([&reported](const std::string& message) { reported.push_back(message); });
    {
        const qmtest::FileSizeLimit fullDisk(1u << 20);
        EXPECT_EQ(QmEnGetCurrentConfig(), "Default");
        EXPECT_EQ(QmEnGetLanguageCode(), "enu");
    }
    EXPECT_FALSE(qmreg::Hive::forThread(qmreg::HiveId::CurrentUser).keyExists(kKernelServices));
    EXPECT_EQ(reported.size(), 1u) << "the same failure twice is reported once";
}
#endif

TEST_F(EnvironmentTest, KernelServicesAreReadAfreshOnEveryCall) {
    setKernelValue("Current Config", "Civil");
    setKernelValue("Language", "deu");
    EXPECT_EQ(QmEnGetCurrentConfig(), "Civil");
    EXPECT_EQ(QmEnGetLanguageCode(), "deu");
    setKernelValue("Current Config", "Road");
    EXPECT_EQ(QmEnGetCurrentConfig(), "Road");
}

TEST_F(EnvironmentTest, UnusableKernelValuesFallBackToTheDefaults) {
    setKernelValue("Current Config", "7", "REG_DWORD");
    setKernelValue("Language", "");
    EXPECT_EQ(QmEnGetCurrentConfig(), "Default");
    EXPECT_EQ(QmEnGetLanguageCode(), "enu");
    // An empty configuration is a name, the one the installation checker reads: it leaves
    // the configuration's part out of the user's folder.
    setKernelValue("Current Config", "");
    EXPECT_EQ(QmEnGetCurrentConfig(), "");
    EXPECT_EQ(QmEnGetUserDataPath(), user_.appData() + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION);
    setKernelValue("Language", "7", "REG_DWORD");
    EXPECT_EQ(QmEnGetLanguageCode(), "enu");
    EXPECT_EQ(qmreg::Hive::forThread(qmreg::HiveId::CurrentUser)
                  .getValue(kKernelServices, "Language")
                  ->type,
              qmreg::ValueType::Dword)
        << "a value of the wrong type is left alone";
}

TEST_F(EnvironmentTest, AppPathComesFromTheEnvironmentOrTheSample) {
    EXPECT_EQ(QmEnGetAppPath(), qmtest::sampleDir() + "/");
    qmtest::ScopedEnv appPath("QM_APP_PATH", "/opt/quillmont");
    EXPECT_EQ(QmEnGetAppPath(), "/opt/quillmont");
}

// A relative installation folder is taken against the current folder, so that every path
// built from it names the same place (an application path joined to a relative one would be
// resolved against it a second time).
TEST_F(EnvironmentTest, RelativeAppPathIsMadeAbsoluteAgainstTheCurrentFolder) {
    namespace fs = std::filesystem;
    const fs::path current = fs::current_path();
    const fs::path installation = fs::path(user_.root()) / "installation";
    fs::create_directories(installation / "Bin");
    const std::string relative = fs::relative(installation, current).generic_string();
    if (relative.empty()) {
        GTEST_SKIP() << "the temporary folder lies on another drive than the current folder";
    }
    ASSERT_FALSE(fs::path(relative).is_absolute());
    qmtest::ScopedEnv appPath("QM_APP_PATH", relative);
    const std::string expected = (current / relative).lexically_normal().generic_string();
    EXPECT_EQ(QmEnGetAppPath(), expected);
    EXPECT_EQ(QmEnBuildFilename("Bin\\tool", kQmEnBaseAppPath, 0), expected + "/Bin/tool");
}

TEST_F(EnvironmentTest, UserDataLiesBelowAppDataOrItsFallbacks) {
    setKernelValue("Current Config", "Civil");
    const std::string product = "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Civil";
    EXPECT_EQ(QmEnGetUserDataPath(), user_.appData() + product);
    // The installation checker builds its destination from the app-data folder itself.
    EXPECT_EQ(QmEnGetUserDataPath(),
              QmEnGetAppDataPath() + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Civil");

    qmtest::ScopedEnv noAppData("APPDATA", std::nullopt);
    EXPECT_EQ(QmEnGetUserDataPath(), user_.home() + "/.local/share" + product);
}

// Every macro, with the installation, user data, language and configuration fixed.
class BuildFilenameTest
    : public EnvironmentTest,
      public ::testing::WithParamInterface<std::tuple<const char*, int, const char*>> {
protected:
    void SetUp() override {
        qmreg::Hive& hkcu = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
        ASSERT_TRUE(hkcu.createKey(kKernelServices));
        ASSERT_TRUE(
            hkcu.setValue(kKernelServices, qmreg::Value::string("Current Config", "Civil")));
        ASSERT_TRUE(hkcu.setValue(kKernelServices, qmreg::Value::string("Language", "deu")));
    }
    qmtest::ScopedEnv app_{"QM_APP_PATH", "/opt/qm"};
    qmtest::ScopedEnv temp_{kTempVariable, QM_TEST_TEMP};
    qmtest::ScopedEnv host_{"QM_HOST_PATH", "/opt/host"};
    qmtest::ScopedEnv appData_{"APPDATA", "/home/u/AppData"};
    qmtest::ScopedEnv home_{"HOME", "/home/u"};
};

TEST_P(BuildFilenameTest, ExpandsAndJoins) {
    const auto& [relative, base, expected] = GetParam();
    EXPECT_EQ(QmEnBuildFilename(relative, base, 0), expected) << relative;
}

constexpr const char* kUserData = "/home/u/AppData/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Civil";

INSTANTIATE_TEST_SUITE_P(
    Macros, BuildFilenameTest,
    ::testing::Values(
        std::make_tuple("Zadod\\Modules", 1, "/opt/qm/Zadod/Modules"),
        std::make_tuple("Base\\Menus\\KRQM_QCO_Menu_<LANGCODE>.mnu", 1,
                        "/opt/qm/Base/Menus/KRQM_QCO_Menu_deu.mnu"),
        std::make_tuple("Menus\\KRQM_QCO_Menu_<LANGCODE>.mnu", 2,
                        "/home/u/AppData/Brenvik/Quillmont/" QM_PRODUCT_VERSION
                        "/Civil/Menus/KRQM_QCO_Menu_deu.mnu"),
        std::make_tuple("<APPATH>\\Tools\\x.exe", 2, "/opt/qm/Tools/x.exe"),
        std::make_tuple("<BINARIES>\\qmtool", 1, "/opt/qm/Bin/qmtool"),
        std::make_tuple("<RESOURCES>\\<LANGCODE>", 2, "/opt/qm/Resources/deu"),
        std::make_tuple("<QUILLMONTSHARED>", 1, "/opt/qm/Shared"),
        std::make_tuple("<TORNELOSHARED>\\Fonts", 1, "/opt/qm/Shared/Tornelo/Fonts"),
        std::make_tuple("<USERDATA>\\Menus", 1,
                        "/home/u/AppData/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Civil/Menus"),
        std::make_tuple("<AUTOCAD>\\Support", 1, "/opt/host/Support"),
        std::make_tuple("<TEMP>\\qm.log", 1, QM_TEST_TEMP "/qm.log"),
        std::make_tuple("<MYQUILLMONT>\\Projects", 1, "/home/u/Documents/Quillmont/Projects"),
        std::make_tuple("Lang\\<LANGNAME>_<LANGCOUNTRY>.txt", 1, "/opt/qm/Lang/German_de-DE.txt"),
        std::make_tuple("Config\\<CURRENTCONFIG>\\<DEFAULTCONFIG>", 1,
                        "/opt/qm/Config/Civil/Default"),
        std::make_tuple("<UNKNOWN>\\<langcode>\\<LANGCODE", 1,
                        "/opt/qm/<UNKNOWN>/<langcode>/<LANGCODE"),
        std::make_tuple("\\\\server\\share\\x.arx", 1, "//server/share/x.arx"),
        std::make_tuple("", 1, "/opt/qm"), std::make_tuple("", 2, kUserData),
        std::make_tuple("Zadod\\Modules", 0, "Zadod/Modules")));

TEST_F(EnvironmentTest, BuildFilenameJoinsWithOneSeparator) {
    setKernelValue("Current Config", "Civil");
    // Folders given with trailing separators, as users write them.
    qmtest::ScopedEnv appPath("QM_APP_PATH", "/opt/qm//");
    qmtest::ScopedEnv appData("APPDATA", "/home/u/AppData/");
    qmtest::ScopedEnv temp(kTempVariable, QM_TEST_TEMP "/");
    qmtest::ScopedEnv host("QM_HOST_PATH", "/opt/host/");
    const std::pair<const char*, const char*> cases[] = {
        {"Zadod\\Modules", "/opt/qm/Zadod/Modules"},
        {"<BINARIES>\\x.arx", "/opt/qm/Bin/x.arx"},
        {"<APPATH>\\Bin\\x.arx", "/opt/qm/Bin/x.arx"},
        {"<APPATH>/Bin/x.arx", "/opt/qm/Bin/x.arx"},
        {"<QUILLMONTSHARED>\\x", "/opt/qm/Shared/x"},
        {"<USERDATA>\\Menus",
         "/home/u/AppData/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Civil/Menus"},
        {"<TEMP>\\qm.log", QM_TEST_TEMP "/qm.log"},
        {"<AUTOCAD>\\Support", "/opt/host/Support"},
    };
    for (const auto& [relative, expected] : cases) {
        EXPECT_EQ(QmEnBuildFilename(relative, kQmEnBaseAppPath, 0), expected) << relative;
    }
    EXPECT_EQ(QmEnGetUserDataPath(),
              "/home/u/AppData/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Civil");

    qmtest::ScopedEnv root("QM_APP_PATH", "/");
    qmtest::ScopedEnv rootData("APPDATA", "/");
    EXPECT_EQ(QmEnBuildFilename("Zadod", kQmEnBaseAppPath, 0), "/Zadod");
    EXPECT_EQ(QmEnBuildFilename("<BINARIES>\\x.arx", kQmEnBaseAppPath, 0), "/Bin/x.arx");
    EXPECT_EQ(QmEnGetUserDataPath(), "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Civil");
}

TEST(ResourceLoaderTest, InnermostActiveLoaderOfTheThreadIsCurrent) {
    EXPECT_EQ(QmEnCurrentResourceModule(), "");
    {
        QmEnResourceLoader outer("QmModuleLoader");
        EXPECT_EQ(QmEnCurrentResourceModule(), "") << "not active before Activate";
        EXPECT_TRUE(outer.Activate(nullptr));
        {
            QmEnResourceLoader inner("OtherModule");
            inner.Activate(nullptr);
            EXPECT_EQ(QmEnCurrentResourceModule(), "OtherModule");
            std::string seenByOtherThread = "unset";
            std::thread([&] { seenByOtherThread = QmEnCurrentResourceModule(); }).join();
            EXPECT_EQ(seenByOtherThread, "");
        }
        EXPECT_EQ(QmEnCurrentResourceModule(), "QmModuleLoader");
    }
    EXPECT_EQ(QmEnCurrentResourceModule(), "");

    // A loader ending out of order removes only itself.
    auto first = std::make_unique<QmEnResourceLoader>("First");
    auto second = std::make_unique<QmEnResourceLoader>("Second");
    first->Activate(nullptr);
    second->Activate(nullptr);
    first.reset();
    EXPECT_EQ(QmEnCurrentResourceModule(), "Second");
    second.reset();
    EXPECT_EQ(QmEnCurrentResourceModule(), "");
}

}  // namespace
