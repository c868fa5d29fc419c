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

// A shared library that its owner opens and closes again, as the host does with an ARX
// application it loads and unloads: close() runs the library's static destructors unless the
// system keeps it loaded for another open of it. Opening one library twice (under one path or
// two) gives the same handle() both times, and it is counted: the library stays loaded until
// each open has been closed. Its symbols stay its own (no other module binds to them).
// Move-only; closed when destroyed.
class ClosableLibrary {
public:
    ClosableLibrary() noexcept = default;
    // Opens path, with every dependency resolved now. Not open on failure, with why saying what
    // failed (the system's words, naming path).
    static ClosableLibrary open(const std::string& path, std::string& why);
    ~ClosableLibrary() { close(); }
    ClosableLibrary(ClosableLibrary&& other) noexcept : native_(other.native_) {
        other.native_ = nullptr;
    }
    ClosableLibrary& operator=(ClosableLibrary&& other) noexcept {
        if (this != &other) {
            close();
            native_ = other.native_;
            other.native_ = nullptr;
        }
        return *this;
    }
    ClosableLibrary(const ClosableLibrary&) = delete;
    ClosableLibrary& operator=(const ClosableLibrary&) = delete;

    bool isOpen() const noexcept { return native_ != nullptr; }
    // The system's handle of the library: equal for every open of one library while it is
    // loaded, so it tells whether two opens found the same library. Null when not open.
    void* handle() const noexcept { return native_; }
    // The address of the exported symbol name; null when it is missing or nothing is open.
    void* symbol(const char* name) const;
    // Gives up this open (nothing when none); the library is unloaded with its last one.
    void close() noexcept;

private:
    void* native_ = nullptr;
};

// The running program's file, an absolute path; empty when the system cannot say.
std::string programFile();

}  // namespace qmsys
