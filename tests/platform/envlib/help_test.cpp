// QmEnHelp starts a viewer without waiting for it.
#if !defined(_WIN32)
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

#include "qmtest/help_viewer.h"
#endif

#include <gtest/gtest.h>

#include <filesystem>

#include "qmenv/environment.h"
#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"
#include "qmtest/text.h"
#include "qmtest/wait.h"

namespace {

class HelpTest : public qmtest::RelocatedTest {
protected:
    // An installation whose folder name needs quoting in a shell and escaping in a URL.
    std::string app_ = user_.root() + "/My Apps #1";
    qmtest::ScopedEnv appPath_{"QM_APP_PATH", app_};

    void SetUp() override {
        qmtest::writeFile(app_ + "/Help/Quillmont_Base_Help.html", "<html></html>");
    }
};

TEST_F(HelpTest, ATopicWithoutItsFileOpensNothing) {
    qmtest::ScopedEnv viewer("QM_HELP_VIEWER", user_.root() + "/no-viewer-here");
    EXPECT_FALSE(QmEnHelp(10100, "Quillmont_Missing_Help"));
    std::filesystem::create_directories(qmtest::fsPath(app_ + "/Help/Folder.html"));
    EXPECT_FALSE(QmEnHelp(10100, "Folder")) << "a folder is no help file";
}

#if defined(_WIN32)
// (The viewer of the POSIX test below is a shell script, checked with signals and waitpid; here
// it is a program that writes down its arguments.) The URL of a Windows path names its drive.
TEST_F(HelpTest, HandsTheTopicsFileUrlToTheViewer) {
    const std::string out = user_.root() + "/viewer-arguments";
    qmtest::ScopedEnv argumentsOut("QM_ARGV_OUT", out);
    qmtest::ScopedEnv viewer("QM_HELP_VIEWER", qmtest::binDir() + "/qm_argv_writer.exe");
    EXPECT_TRUE(QmEnHelp(10100, "Quillmont_Base_Help"));
    ASSERT_TRUE(qmtest::waitForFile(out)) << "the viewer never ran";
    const std::string arguments = qmtest::readFile(out);
    const std::size_t first = arguments.find('\0');
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(arguments.substr(first + 1),
              "file:///" + user_.root() + "/My%20Apps%20%231/Help/Quillmont_Base_Help.html#10100" +
                  std::string(1, '\0'));
}
#else
// The viewer stays open until it is killed: QmEnHelp returning while it still runs is the
// proof that nothing waited for it.
TEST_F(HelpTest, OpensTheTopicInTheViewerAndReturnsAtOnce) {
    qmtest::HelpViewer viewer(user_.root(), /*keepsRunning=*/true);
    EXPECT_TRUE(QmEnHelp(10100, "Quillmont_Base_Help"));

    const auto calls = viewer.waitForCalls(1);
    ASSERT_EQ(calls.size(), 1u) << "the viewer never ran";
    EXPECT_EQ(calls[0].arguments,
              std::vector<std::string>{"file://" + qmtest::urlPath(user_.root()) +
                                       "/My%20Apps%20%231/Help/Quillmont_Base_Help.html#10100"});
    EXPECT_EQ(::kill(calls[0].pid, 0), 0) << "the viewer still runs";
    // Detached: the still-running viewer is no child of ours, so nothing is left to reap.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}
#endif

}  // namespace
