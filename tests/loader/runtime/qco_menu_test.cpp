// The extra menu's exports: keeping the user's copy current, loading it, and the one message
// the module loader shows from this path (a copy that cannot be made).
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <filesystem>

#include <gtest/gtest.h>

#include <qmsys/files.h>
#include <qmtest/files.h>
#if !defined(_WIN32)
#include <qmtest/ordinary_user.h>
#include <qmtest/own_process.h>
#endif
#include <qmtest/recording_ui.h>

#include "../checker/file_stamps.h"
#include "menu_runtime_fixture.h"
#include "runtime/qco_menu.h"

namespace {

namespace fs = std::filesystem;

// Message boxes are user interaction; this front end answers OK and remembers what it showed.
class QcoMenuTest : public qmtest::MenuRuntimeTest {
protected:
    QcoMenuTest() {
        source_ = writeInstalledMenu("Base/Menus/KRQM_QCO_Menu_enu.mnu", "KRQM_QCO");
        host_->setUiServices(ui_);
    }
    std::string copy() const { return userMenus() + "/KRQM_QCO_Menu_enu.mnu"; }
    std::string compiled(const char* ext) const {
        return userMenus() + "/KRQM_QCO_Menu_enu." + ext;
    }

    std::shared_ptr<qmtest::RecordingUi> ui_ = std::make_shared<qmtest::RecordingUi>();
    qm::QcoMenu qco_{automation_, log_};
    std::string source_;
};

TEST_F(QcoMenuTest, MissingInstalledMenuFailsSilently) {
    qmsys::deleteFile(source_);
    EXPECT_FALSE(qco_.loadQcoMenu());
    EXPECT_FALSE(qmsys::fileExists(copy()));
    EXPECT_TRUE(ui_->shown.empty());
}

TEST_F(QcoMenuTest, LoadedGroupIsKeptAndNoFileTouchedEvenWhenTheInstallationChanged) {
    ASSERT_TRUE(qco_.loadQcoMenu());
    const std::int64_t stamp = qmtest::mtimeNs(copy());
    writeInstalledMenu("Base/Menus/KRQM_QCO_Menu_enu.mnu", "KRQM_QCO", "// newer\n");
    EXPECT_TRUE(qco_.loadQcoMenu());
    EXPECT_EQ(qmtest::mtimeNs(copy()), stamp);
}

TEST_F(QcoMenuTest, CurrentCopyIsLoadedAsItIsAndMadeWritable) {
    // Same size and stamp, other content: only a copy that was used as it is keeps it.
    std::string content = qmtest::readFile(source_);
    content.replace(content.find("Line"), 4, "LINE");
    qmtest::writeFile(copy(), content);
    qmtest::setLastWriteNs(copy(), qmtest::lastWriteNs(source_));
    qmtest::makeReadOnly(copy());

    ASSERT_TRUE(qco_.loadQcoMenu());
    EXPECT_EQ(qmtest::readFile(copy()), content);
    EXPECT_TRUE(qmtest::isWritable(copy()));
    EXPECT_TRUE(isLoaded("KRQM_QCO"));
}

TEST_F(QcoMenuTest, CopyDifferingOnlyInItsStampIsReplacedAfterItsCompiledFiles) {
    fs::create_directories(userMenus());
    fs::copy_file(source_, copy());
    qmtest::shiftMtime(copy(), std::chrono::seconds(-5));
    for (const char* ext : {"mns", "mnc", "mnr", "cui", "cuix"}) {
        qmtest::writeFile(compiled(ext), "compiled");
    }
    ASSERT_TRUE(qco_.loadQcoMenu());
    EXPECT_EQ(qmtest::mtimeNs(copy()), qmtest::mtimeNs(source_));
    for (const char* ext : {"mns", "mnc", "mnr", "cui", "cuix"}) {
        EXPECT_FALSE(qmsys::fileExists(compiled(ext))) << ext;
    }
    EXPECT_EQ(groupFile("KRQM_QCO"), copy());
}

TEST_F(QcoMenuTest, FailedCopyShowsTheCopyMessageAndFails) {
    // A file where the user's menus folder belongs.
    qmtest::writeFile(userMenus(), "not a folder");
    EXPECT_FALSE(qco_.loadQcoMenu());
    ASSERT_EQ(ui_->shown.size(), 1u);
    EXPECT_EQ(ui_->shown[0].caption, "Create QCO files");
    EXPECT_EQ(ui_->shown[0].style, cadhost::MB_ICONERROR | cadhost::MB_OK);
    EXPECT_EQ(ui_->shown[0].text, "Could not copy file from \n\"" + source_ + "\"\nto\n\"" +
                                      copy() + "\"\n\nError msg: 3");
    EXPECT_FALSE(isLoaded("KRQM_QCO"));
}

#if !defined(_WIN32)  // a second user and a sticky folder are POSIX's
// A stale copy, or one of its compiled files, that the user may not delete fails the load
// without a message; what was deleted before stays deleted, and nothing after it is touched.
// As an ordinary user, in a menus folder shared by all (sticky): only the blocked file belongs
// to someone else.
TEST_F(QcoMenuTest, StaleFilesTheUserMayNotDeleteFailTheLoadSilently) {
    if (!qmtest::inOwnProcess()) {
        return;
    }
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs a second user";
    }
    struct Case {
        const char* blocked;  // "mnu" (the copy) or a compiled file's extension
        bool copyLeft;
    };
    for (const std::string& folder : {user_.root(), installDir_.path()}) {
        fs::permissions(folder, fs::perms(0755));
        QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(folder);
    }
    for (const Case& c : {Case{"mnu", true}, Case{"mnc", false}}) {
        fs::remove_all(userMenus());
        fs::create_directories(userMenus());
        for (const char* ext : {"mnu", "mns", "mnc"}) {
            qmtest::writeFile(compiled(ext), "stale");
            if (std::string(ext) != c.blocked) {
                ASSERT_EQ(::chown(compiled(ext).c_str(), qmtest::kNobody, qmtest::kNobody), 0);
            }
        }
        fs::permissions(userMenus(), fs::perms(01777));

        std::string said;
        {
            const qmtest::AsOrdinaryUser user;
            ASSERT_TRUE(user.ordinary());
            const bool loaded = qco_.loadQcoMenu();
            said = std::string(loaded ? "loaded" : "failed") + ", " +
                   std::to_string(ui_->shown.size()) + " messages";
        }
        EXPECT_EQ(said, "failed, 0 messages") << c.blocked;
        EXPECT_EQ(qmsys::fileExists(copy()), c.copyLeft) << c.blocked;
        EXPECT_EQ(qmsys::fileExists(compiled("mns")), c.copyLeft) << c.blocked;
        EXPECT_TRUE(qmsys::fileExists(compiled("mnc"))) << c.blocked;
        EXPECT_FALSE(isLoaded("KRQM_QCO")) << c.blocked;
    }
}
#endif

TEST_F(QcoMenuTest, FailedLoadStillCountsAsSuccess) {
    qmtest::writeFile(source_, "no group line\n");
    EXPECT_TRUE(qco_.loadQcoMenu());
    EXPECT_FALSE(isLoaded("KRQM_QCO"));
}

TEST_F(QcoMenuTest, UnloadIsTrueWhetherOrNotTheGroupWasLoaded) {
    EXPECT_TRUE(qco_.unloadQcoMenu());
    ASSERT_TRUE(qco_.loadQcoMenu());
    EXPECT_TRUE(qco_.unloadQcoMenu());
    EXPECT_FALSE(isLoaded("KRQM_QCO"));
}

}  // namespace
