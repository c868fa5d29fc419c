#include <cstdlib>

#include "qmsys/user_folders.h"
#include "win32_p.h"

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

std::string temporaryFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
        return "C:/Windows/Temp";
    }
    std::string folder = narrow(std::wstring_view(buffer, length));
    for (char& c : folder) {
        if (c == '\\') {
            c = '/';
        }
    }
    // "C:/Temp/" loses its separator, "C:/" keeps it: "C:" alone is the drive's working folder.
    if (folder.size() > 3 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

}  // namespace qmsys
