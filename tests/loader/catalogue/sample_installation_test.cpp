// The sample installation shipped with the project, as the build copies it: complete in
// itself, so that a copy anywhere is an installation. Its applications (a program run through
// its #! line and an ARX application built by the project) really run, the host brings its
// modules up, and its help page opens at the dialogs' topic.
#include <cadhost/arx.h>
#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>
#include <qmtest/child_process.h>
#include <qmtest/files.h>
#include <qmtest/relocated_user.h>
#include <qmtest/scoped_env.h>
#include <qmtest/temp_dir.h>
#include <qmtest/wait.h>

#include <filesystem>
#include <sstream>

#include "catalogue/catalogue.h"
#include "qm/version.h"

namespace {

namespace fs = std::filesystem;

// The host's ARX loading, as the module loader hands it in (the catalogue's tests see no
// runtime layer).
const qm::ArxLoader kHostArx{&acedArxLoad,
                             [](const char* command) { acedCommandS(RTSTR, command, RTNONE); }};

// A copy of the build's sample installation in a folder of its own, with nothing pointing
// back at the build.
class SampleInstallationTest : public ::testing::Test {
protected:
    SampleInstallationTest() {
        fs::copy(qmtest::sampleDir(), root_.path(),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }

    qm::ModuleList catalogue(const std::string& config) {
        qm::ModuleList list;
        std::string errorText;
        EXPECT_TRUE(qm::LoadCatalogue(qm::MakeCatalogueContext(config, "enu"),
                                      root_ / "Zadod/Modules", "xml", list, errorText));
        EXPECT_EQ(errorText, "");
        return list;
    }

    qmtest::TempDir root_;
    qmtest::RelocatedUser user_{root_.path() + "/"};
};

TEST_F(SampleInstallationTest, HoldsItsOwnFilesOnly) {
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root_.path())) {
        EXPECT_FALSE(e.is_symlink()) << e.path();
    }
    EXPECT_TRUE(fs::is_regular_file(root_ / "Bin/krqm_roads.arx"));
    // The dialogs open their help at this topic (how a topic reaches the viewer is tested with
    // the environment library and the dialogs).
    EXPECT_NE(qmtest::readFile(root_ / "Help/Quillmont_Base_Help.html").find("id=\"10100\""),
              std::string::npos);
}

TEST_F(SampleInstallationTest, ApplicationsRunForReal) {
    std::ostringstream output;
    cadhost::Host host(cadhost::HostOptions{&output, {}});
    qmtest::Descendants started;  // the survey sync the module starts
    for (const qm::ModuleRecord& r : catalogue("Default")) {
        EXPECT_TRUE(qm::LoadApplications(r.GetApplications(), kHostArx)) << r.GetKey();
    }
    EXPECT_NE(output.str().find("Quillmont Road Design 22.15 ready."), std::string::npos)
        << output.str();
    bool roadsLoaded = false;
    for (const cadhost::ArxAppInfo& app : host.applications()) {
        roadsLoaded = roadsLoaded || app.fileName == "krqm_roads.arx";
    }
    EXPECT_TRUE(roadsLoaded);
    EXPECT_TRUE(host.runCommand({"KRQM_ROADS_PROFILE"}));

    // The log exists from the moment the script opens it, before its line is written: the
    // script's end is what says the line is there.
    ASSERT_TRUE(started.waitForAll());
    const std::string log = user_.stateDir() + "/quillmont/survey_sync.log";
    EXPECT_NE(qmtest::readFile(log).find("--configuration default"), std::string::npos);
}

// The host program on the copy, as a user starts it with the road design module switched on.
TEST_F(SampleInstallationTest, HostBringsUpTheCopysModules) {
    qmtest::ProcessOptions options;
    options.extraEnv = user_.environment();
    ASSERT_EQ(
        qmtest::runProcess({qmtest::binDir() + "/qmreg", "add",
                            "HKCU\\SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Quillmont "
                            "modules\\QM_ROADS",
                            "/v", "AutoStart", "/d", "True", "/f"},
                           options)
            .exitCode,
        0);
    options.input = "ARX\nMENUGROUPS\nQUIT\n";
    const qmtest::ProcessResult result =
        qmtest::runProcess({qmtest::binDir() + "/cadhost", "--console"}, options);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // The road design application can only have come from the copy's Bin folder.
    EXPECT_NE(result.out.find("Quillmont Road Design 22.15 ready.\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\nkrqm_roads.arx\n"), std::string::npos) << result.out;
    const std::string menus =
        user_.appData() + "/Brenvik/Quillmont/" QM_PRODUCT_VERSION "/Default/Menus/";
    EXPECT_NE(result.out.find("KRQM_ROADS\t" + menus + "KRQM_Roads_enu.mnu"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("KRQM_BASE\t" + menus + "KRQM_Base_enu.mnu"), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("Unable to read"), std::string::npos) << result.out;
}

}  // namespace
