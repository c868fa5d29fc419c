#pragma once
// Modules: the shared libraries (and the program) that code runs in. Their file names, their
// exports, finding the file a piece of code was loaded from, and loading one by its path.
#include <string>
#include <string_view>

// Marks a function as an export of the module it is built into. Modules are built with hidden
// symbols; only what carries this is seen by the host or by another module.
#if defined(_WIN32)
#define QM_EXPORT __declspec(dllexport)
#else
#define QM_EXPORT __attribute__((visibility("default")))
#endif

namespace qmsys {

// What the name of a shared library ends in on this system: "libX" + ... is a convention, the
// suffix is not.
#if defined(_WIN32)
inline constexpr std::string_view kModuleSuffix = ".dll";
#else
inline constexpr std::string_view kModuleSuffix = ".so";
#endif

// The file of the module that holds address (the shared library a function was loaded from,
// or the program); the program's file when the system cannot say which module; empty when it
// cannot say that either. An absolute path where the module was loaded by one.
std::string moduleFileOf(const void* address);

// A shared library opened by its path, with its dependencies resolved at once. It stays loaded
// for the life of the process, also after this object is gone: code that has handed out
// pointers into a library (callbacks, type information) cannot know when they are dropped.
class Library {
public:
    // Opens path. Not open (isOpen() false) on failure, with why saying what failed.
    static Library open(const std::string& path, std::string& why);

    bool isOpen() const { return native_ != nullptr; }
    // The address of the exported symbol name; null when it is missing (why says so).
    void* symbol(const char* name, std::string& why) const;

private:
    void* native_ = nullptr;
};

}  // namespace qmsys
