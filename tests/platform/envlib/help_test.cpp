// QmEnHelp starts a viewer without waiting for it.
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "qmenv/environment.h"
#include "qmtest/files.h"
#include "qmtest/help_viewer.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"

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

// The viewer stays open until it is killed: QmEnHelp returning while it still runs is the
// proof that nothing waited for it.
TEST_F(HelpTest, OpensTheTopicInTheViewerAndReturnsAtOnce) {
    qmtest::HelpViewer viewer(user_.root(), /*keepsRunning=*/true);
    EXPECT_TRUE(QmEnHelp(10100, "Quillmont_Base_Help"));

    const auto calls = viewer.waitForCalls(1);
    ASSERT_EQ(calls.size(), 1u) << "the viewer never ran";
    EXPECT_EQ(calls[0].arguments,
              std::vector<std::string>{"file://" + user_.root() +
                                       "/My%20Apps%20%231/Help/Quillmont_Base_Help.html#10100"});
    EXPECT_EQ(::kill(calls[0].pid, 0), 0) << "the viewer still runs";
    // Detached: the still-running viewer is no child of ours, so nothing is left to reap.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
