// The checker's set-up checks: which facts it establishes, the report line each failure
// leaves, and that a checker that failed once keeps failing.
#include <functional>

#include <gtest/gtest.h>

#include <qmsys/files.h>

#include "checker/installation_setup.h"
#include "checker/my_launchrig_api.h"
#include "checker/start_up_checker_impl.h"
#include "checker_installation.h"

namespace {

using qmtest::CheckerInstallation;

const std::string kKeyText =
    "HKEY_CURRENT_USER\\SOFTWARE\\Brenvik\\Quillmont\\22.15\\Kernel Services";

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
    EXPECT_EQ(checker_.report(), "");
    EXPECT_EQ(checker_.language(), "deu");
    EXPECT_EQ(checker_.currentConfig(), "Road");
    EXPECT_EQ(checker_.rootDirectory(), install_.root()) << "one trailing separator is removed";
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
    EXPECT_EQ(checker_.report(), expected);
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
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallationSetupTest, OneReportLineFailsEveryLaterSetUp) {
    install_.removeKernelValue("Language");
    ASSERT_FALSE(runSetup(install_.root()));
    install_.writeKernelServices("enu", "Default");
    EXPECT_FALSE(runSetup(install_.root())) << "the report is never cleared";
    EXPECT_FALSE(api_.MenuUpdate("Mod", "KRQM_Mod_enu"));
}

}  // namespace
