#include "host_fixture.h"

namespace hosttest {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> HostTest::takeLines() {
    const std::string text = out_.str();
    out_.str({});
    return splitLines(text);
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
