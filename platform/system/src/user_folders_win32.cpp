#include <cstdlib>

#include "qmsys/user_folders.h"

namespace qmsys {

std::string homeFolder() {
    // HOME relocates the user as on Linux; the profile folder is the account's home.
    for (const char* variable : {"HOME", "USERPROFILE"}) {
        if (const char* value = std::getenv(variable); value && *value) {
            return value;
        }
    }
    return "C:/";
}

}  // namespace qmsys
