#pragma once
// A host running in the test process, writing its command line into a string, with a private
// user so that its remembered menus stay inside the test.
#include <sstream>
#include <string>
#include <vector>

#include "cadhost/console_session.h"
#include "cadhost/host.h"
#include "qmtest/relocated_user.h"
#include "qmtest/text.h"

namespace hosttest {

// Path of a test application built beside the host.
inline std::string arx(const std::string& name) {
    return qmtest::binDir() + "/" + name;
}

using qmtest::lines;

class HostTest : public qmtest::RelocatedTest {
protected:
    // Lines printed since the last call.
    std::vector<std::string> takeLines();
    // takeLines() reduced to those beginning with prefix.
    std::vector<std::string> takeLines(const std::string& prefix);
    // Executes command lines as typed at the host's command line.
    void type(std::initializer_list<std::string> commandLines);

    std::ostringstream out_;
    cadhost::Host host_{cadhost::HostOptions{&out_, {}}};
    cadhost::ConsoleSession console_{host_};
};

}  // namespace hosttest
