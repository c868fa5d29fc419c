#include "qmtest/help_viewer.h"

#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "qmtest/files.h"
#include "qmtest/wait.h"

namespace qmtest {

HelpViewer::HelpViewer(const std::string& folder, bool keepsRunning)
    : log_(folder + "/viewer.log") {
    const std::string script = folder + "/viewer.sh";
    // One line per call, written at once (an appended short line is never interleaved): the
    // process id, then each argument on a tab.
    writeFile(script,
              "#!/bin/sh\nline=$$\nfor a in \"$@\"; do line=\"$line\t$a\"; done\n"
              "echo \"$line\" >> '" +
                  log_ + "'\n" + (keepsRunning ? "exec sleep 600\n" : ""));
    ::chmod(script.c_str(), 0755);
    env_ = std::make_unique<ScopedEnv>("QM_HELP_VIEWER", script);
}

HelpViewer::~HelpViewer() {
    for (const Call& call : calls()) {
        ::kill(call.pid, SIGKILL);
    }
}

std::vector<HelpViewer::Call> HelpViewer::calls() const {
    std::vector<Call> calls;
    std::ifstream log(log_);
    for (std::string line; std::getline(log, line);) {
        std::istringstream fields(line);
        Call call;
        std::string field;
        std::getline(fields, field, '\t');
        call.pid = std::stoi(field);
        while (std::getline(fields, field, '\t')) {
            call.arguments.push_back(field);
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

std::vector<HelpViewer::Call> HelpViewer::waitForCalls(std::size_t count,
                                                       std::chrono::milliseconds timeout) {
    std::vector<Call> seen;
    waitUntil([&] { return (seen = calls()).size() >= count; }, timeout);
    return seen;
}

}  // namespace qmtest
