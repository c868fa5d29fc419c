#include "qmsys/environment.h"

#include <cstdlib>

namespace qmsys {

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace qmsys
