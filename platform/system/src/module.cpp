#include "qmsys/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <utility>

namespace qmsys {

std::string programFile() {
    char program[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", program, sizeof program);
    return n > 0 && static_cast<std::size_t>(n) < sizeof program
               ? std::string(program, static_cast<std::size_t>(n))
               : std::string();
}

std::string moduleFileOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) != 0 && info.dli_fname != nullptr && *info.dli_fname != '\0') {
        return info.dli_fname;
    }
    return programFile();
}

Library Library::open(const std::string& path, std::string& why) {
    Library library;
    // Never unloaded (RTLD_NODELETE), so that pointers into it stay good; its symbols stay its
    // own (RTLD_LOCAL).
    library.native_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library.native_ == nullptr) {
        const char* error = ::dlerror();
        why = error != nullptr ? error : path;
    }
    return library;
}

void* Library::symbol(const char* name, std::string& why) const {
    if (native_ == nullptr) {
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(native_, name);
    if (address == nullptr) {
        const char* error = ::dlerror();
        why = error != nullptr ? error : name;
    }
    return address;
}

ClosableLibrary ClosableLibrary::open(const std::string& path, std::string& why) {
    ClosableLibrary library;
    library.native_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library.native_ == nullptr) {
        const char* error = ::dlerror();
        why = error != nullptr ? error : "cannot open the library";
    }
    return library;
}

void* ClosableLibrary::symbol(const char* name) const {
    return native_ != nullptr ? ::dlsym(native_, name) : nullptr;
}

void ClosableLibrary::close() noexcept {
    if (native_ != nullptr) {
        ::dlclose(std::exchange(native_, nullptr));
    }
}

}  // namespace qmsys
