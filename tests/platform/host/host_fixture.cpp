#include "host_fixture.h"

namespace hosttest {

std::vector<std::string> HostTest::takeLines() {
    const std::string text = out_.str();
    out_.str({});
    return qmtest::lines(text);
}

std::vector<std::string> HostTest::takeLines(const std::string& prefix) {
    std::vector<std::string> out;
    for (std::string& line : takeLines()) {
        if (line.starts_with(prefix)) {
            out.push_back(std::move(line));
        }
    }
    return out;
}

void HostTest::type(std::initializer_list<std::string> commandLines) {
    for (const std::string& line : commandLines) {
        console_.execute(line);
    }
}

}  // namespace hosttest
