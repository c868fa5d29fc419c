#include <utility>
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

// LoadLibraryExW on path; null with why set on failure. The library's own folder is searched
// for its dependencies, as the dynamic linker's $ORIGIN does.
HMODULE loadLibrary(const std::string& path, std::string& why) {
    const DWORD flags = isAbsolute(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    const HMODULE module = ::LoadLibraryExW(widePath(path).c_str(), nullptr, flags);
    if (module == nullptr) {
        why = path + ": error " + std::to_string(::GetLastError());
    }
    return module;
}

}  // namespace

std::string programFile() {
    return moduleFile(nullptr);
}

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
    // Never freed, so that pointers into it stay good.
    library.native_ = reinterpret_cast<void*>(loadLibrary(path, why));
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

ClosableLibrary ClosableLibrary::open(const std::string& path, std::string& why) {
    ClosableLibrary library;
    library.native_ = reinterpret_cast<void*>(loadLibrary(path, why));
    return library;
}

void* ClosableLibrary::symbol(const char* name) const {
    return native_ != nullptr
               ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(native_), name))
               : nullptr;
}

void ClosableLibrary::close() noexcept {
    if (native_ != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(std::exchange(native_, nullptr)));
    }
}

}  // namespace qmsys
