// The checker's set-up checks: which facts it establishes, the report line each failure
// leaves, and that a checker that failed once keeps failing.
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include <qmsys/files.h>
#include <qmtest/files.h>
#include "qmtest/product_keys.h"

#include "checker/installation_setup.h"
#include "checker/my_launchrig_api.h"
#include "checker/start_up_checker_impl.h"
#include "checker_installation.h"
#include "qm/version.h"

namespace {

using qmtest::CheckerInstallation;

const std::string kKeyText = std::string("HKEY_CURRENT_USER\\") + qmtest::kKernelServicesKey;

class InstallationSetupTest : public qmtest::RelocatedTest {
protected:
    bool runSetup(const std::string& root) {
        checker_.SetRootDirectory(root);
        return qm::InstallationSetup(checker_).Run();
    }

    CheckerInstallation install_;
    qm::MyLaunchrigApi api_;
    qm::StartUpCheckerImpl checker_{api_};
};

TEST_F(InstallationSetupTest, CompleteSetUpReadsLanguageAndConfiguration) {
    install_.writeKernelServices("deu", "Road");
    EXPECT_TRUE(runSetup(install_.root() + "/"));
    EXPECT_EQ(checker_.Report(), "");
    EXPECT_EQ(checker_.Language(), "deu");
    EXPECT_EQ(checker_.CurrentConfig(), "Road");
    EXPECT_EQ(checker_.RootDirectory(), install_.root()) << "one trailing separator is removed";
}

struct SetupFailure {
    const char* name;
    std::function<void(CheckerInstallation&, std::string& root)> breakIt;
    // The report line; "<root>" stands for the installation root.
    std::string expected;
};

class SetupFailureTest : public InstallationSetupTest,
                         public ::testing::WithParamInterface<SetupFailure> {};

TEST_P(SetupFailureTest, FailsWithItsReportLine) {
    std::string root = install_.root();
    GetParam().breakIt(install_, root);
    EXPECT_FALSE(runSetup(root));
    std::string expected = GetParam().expected;
    if (auto at = expected.find("<root>"); at != std::string::npos) {
        expected.replace(at, 6, install_.root());
    }
    EXPECT_EQ(checker_.Report(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SetupFailureTest,
    ::testing::Values(
        SetupFailure{"KeyMissing",
                     [](CheckerInstallation& i, std::string&) { i.removeKernelKey(); },
                     "\nRegistry key not found: \"" + kKeyText + "\""},
        SetupFailure{"RootMissing",
                     [](CheckerInstallation&, std::string& root) { root += "-missing"; },
                     "\n\nCan not set root directory for Quillmont"},
        SetupFailure{"LanguageMissing",
                     [](CheckerInstallation& i, std::string&) { i.removeKernelValue("Language"); },
                     "\nRegistry String Value not found: \"" + kKeyText + "\\Language\""},
        SetupFailure{
            "ConfigMissing",
            [](CheckerInstallation& i, std::string&) { i.removeKernelValue("Current Config"); },
            "\nRegistry String Value not found: \"" + kKeyText + "\\Current Config\""},
        SetupFailure{"ConfigurationFileMissing",
                     [](CheckerInstallation&, std::string& root) {
                         qmsys::deleteFile(root + "/Base/Config/Launchrig.ini");
                     },
                     "\nMissing configuration file: \"<root>/Base/Config/Launchrig.ini\""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(InstallationSetupTest, OneReportLineFailsEveryLaterSetUp) {
    install_.removeKernelValue("Language");
    ASSERT_FALSE(runSetup(install_.root()));
    install_.writeKernelServices("enu", "Default");
    EXPECT_FALSE(runSetup(install_.root())) << "the report is never cleared";
    EXPECT_FALSE(api_.MenuUpdate("Mod", "KRQM_Mod_enu"));
}

// A message file replaces the texts it holds a non-empty entry for, found with the lookup
// rules of initialisation files; everything else keeps its default text.
TEST_F(InstallationSetupTest, MessageFileTextsReplaceTheDefaults) {
    const std::string messages = install_.root() + "/messages.ini";
    qmtest::writeFile(messages,
                      "[Other]\nID_STR_NOT_FOUND=from another section\n"
                      "[quillmont]\n id_str_reg_string_value = \"Zeichenkette\" \n"
                      "ID_STR_NOT_FOUND=\nID_STR_HKEY_CURRENT_USER=HKCU\n"
                      "ID_STR_HKEY_CURRENT_USER=second entry\n");
    install_.writeKernelServices("enu", "Default");
    install_.removeKernelValue("Language");
    const std::string tail = std::string("\\") + qmtest::kKernelServicesKey + "\\Language\"";
    const std::string defaults = "\nRegistry String Value not found: \"HKEY_CURRENT_USER" + tail;
    const struct {
        std::string file;
        std::string expected;
    } cases[] = {
        {messages, "\nZeichenkette not found: \"HKCU" + tail},
        {install_.root() + "/absent.ini", defaults},
        {"", defaults},
    };
    for (const auto& c : cases) {
        // Through the API object, as a checker user sets it.
        qm::MyLaunchrigApi api;
        api.SetMessageFile(c.file);
        api.SetRootDirectory(install_.root());
        EXPECT_FALSE(api.MenuUpdate("Road", "KRQM_Road_enu")) << c.file;
        EXPECT_EQ(api.Report(), c.expected) << c.file;
    }
}

}  // namespace
