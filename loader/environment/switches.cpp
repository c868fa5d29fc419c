#include "environment/switches.h"

#include <cstdlib>
#include <string_view>

namespace qm::switches {
namespace {

std::string_view variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string logFile() {
    return std::string(variable("QM_LOG"));
}

bool safeMode() {
    return variable("QM_SAFE_MODE") == "1";
}

bool noSnapshot() {
    return variable("QM_NO_SNAPSHOT") == "1";
}

}  // namespace qm::switches
