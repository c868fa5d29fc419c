// QmEnHelp starts a viewer without waiting for it.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "qmenv/environment.h"
#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"

namespace {

using namespace std::chrono_literals;

class HelpTest : public qmtest::RelocatedTest {
protected:
    // An installation whose folder name needs quoting in a shell and escaping in a URL.
    std::string app_ = user_.root() + "/My Apps #1";
    std::string record_ = user_.root() + "/viewer.txt";
    qmtest::ScopedEnv appPath_{"QM_APP_PATH", app_};

    void SetUp() override {
        qmtest::writeFile(app_ + "/Help/Quillmont_Base_Help.html", "<html></html>");
    }

    // A viewer that records its arguments (one per line) and its pid, then waits for a while.
    std::string writeViewer() {
        std::string viewer = user_.root() + "/viewer.sh";
        qmtest::writeFile(viewer, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + record_ +
                                      ".tmp'\necho $$ >> '" + record_ + ".tmp'\nmv '" + record_ +
                                      ".tmp' '" + record_ + "'\nexec sleep 30\n");
        ::chmod(viewer.c_str(), 0755);
        return viewer;
    }

    std::string waitForRecord() {
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
            struct stat st;
            if (::stat(record_.c_str(), &st) == 0)
                return qmtest::readFile(record_);
        }
        return "";
    }
};

TEST_F(HelpTest, OpensTheTopicInTheViewerAndReturnsAtOnce) {
    qmtest::ScopedEnv viewer("QM_HELP_VIEWER", writeViewer());
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(QmEnHelp(10100, "Quillmont_Base_Help"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    std::string record = waitForRecord();
    ASSERT_FALSE(record.empty()) << "the viewer never ran";
    auto newline = record.find('\n');
    EXPECT_EQ(record.substr(0, newline),
              "file://" + user_.root() + "/My%20Apps%20%231/Help/Quillmont_Base_Help.html#10100");
    pid_t viewerPid = std::stoi(record.substr(newline + 1));
    // Detached: the still-running viewer is no child of ours, so nothing is left to reap.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ::kill(viewerPid, SIGKILL);
}

}  // namespace
