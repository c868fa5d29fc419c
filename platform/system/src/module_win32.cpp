#include <vector>

#include "qmsys/module.h"
#include "win32_p.h"

namespace qmsys {

namespace {

std::string moduleFile(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return narrow(std::wstring_view(buffer.data(), n));
        }
        buffer.resize(buffer.size() * 2);  // cut short: the name is longer
    }
}

bool isAbsolute(const std::string& path) {
    return (path.size() > 2 && path[1] == ':' && (path[2] == '/' || path[2] == '\\')) ||
           path.starts_with("\\\\") || path.starts_with("//");
}

}  // namespace

std::string moduleFileOf(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(address), &module)) {
        module = nullptr;  // the program's file
    }
    return moduleFile(module);
}

Library Library::open(const std::string& path, std::string& why) {
    Library library;
    // The library's own folder is searched for its dependencies, as the dynamic linker's
    // $ORIGIN does; it is never freed, so that pointers into it stay good.
    const DWORD flags = isAbsolute(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    library.native_ =
        reinterpret_cast<void*>(::LoadLibraryExW(widePath(path).c_str(), nullptr, flags));
    if (library.native_ == nullptr) {
        why = path + ": error " + std::to_string(::GetLastError());
    }
    return library;
}

void* Library::symbol(const char* name, std::string& why) const {
    if (native_ == nullptr) {
        return nullptr;
    }
    void* address = reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(native_), name));
    if (address == nullptr) {
        why = std::string(name) + ": error " + std::to_string(::GetLastError());
    }
    return address;
}

}  // namespace qmsys
