// The sample installation shipped with the project (its definitions are read by qmloader's
// tests): its applications (a program run through its #! line and an ARX application built by
// the project) really run.
#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmtest/files.h>
#include <qmtest/relocated_user.h>
#include <qmtest/temp_dir.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "catalogue/catalogue.h"

namespace {

namespace fs = std::filesystem;

std::string sourceSample() {
    return qmtest::sourceDir() + "/examples/sample";
}

// A copy of the sample whose Bin folder is this build's bin folder.
class SampleInstallationTest : public ::testing::Test {
protected:
    SampleInstallationTest() {
        for (const fs::directory_entry& e : fs::directory_iterator(sourceSample())) {
            if (e.path().filename() != "Bin") {
                fs::copy(e.path(), root_ / e.path().filename().string(),
                         fs::copy_options::recursive);
            }
        }
        fs::create_directory_symlink(fs::absolute(qmtest::binDir()), root_ / "Bin");
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
    qmtest::RelocatedUser user_{root_.path()};
};

TEST_F(SampleInstallationTest, ApplicationsRunForReal) {
    std::ostringstream output;
    cadhost::Host host(cadhost::HostOptions{&output, {}});
    for (const qm::ModuleRecord& r : catalogue("Default")) {
        EXPECT_TRUE(qm::LoadApplications(r.GetApplications())) << r.GetKey();
    }
    EXPECT_NE(output.str().find("Quillmont Road Design 22.15 ready."), std::string::npos)
        << output.str();
    bool roadsLoaded = false;
    for (const cadhost::ArxAppInfo& app : host.applications()) {
        roadsLoaded = roadsLoaded || app.fileName == "krqm_roads.arx";
    }
    EXPECT_TRUE(roadsLoaded);
    EXPECT_TRUE(host.runCommand({"KRQM_ROADS_PROFILE"}));

    const std::string log = user_.stateDir() + "/quillmont/survey_sync.log";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(log) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(fs::exists(log));
    EXPECT_NE(qmtest::readFile(log).find("--configuration default"), std::string::npos);
}

}  // namespace
