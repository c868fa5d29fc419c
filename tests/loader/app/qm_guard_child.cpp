// Test helper: a host that brings modules up under the crash guard and then dies without
// tidying up, in a process of its own, so that no test forks a copy of its own threads.
//   qm_guard_child FOLDER [--fsize BYTES] STEP...
// with the steps, in order:
//   begin KEY NAME   the guard records the module being brought up
//   begin-nth KEY NAME N
//                    the same for the N-th definition of its key
//   begin-at-edge KEY NAME
//                    the same, with the module's names held just before memory that cannot
//                    be read, so that a guard reading past a name kills this host every time
//   end              the guard records that it is up
//   truncate         another program empties the marker
//   hold             prints "held", then waits for a line or the end of standard input
//   take             a start after a dead host: prints the key of the module the guard names,
//                    or "nobody", and a line break
// It ends with _Exit(0) once every step has run, leaving the guard undestroyed, as a host
// killed at that point would. A file size limit set with --fsize (not on Windows, which has
// none) keeps SIGXFSZ fatal. Windows may refuse to let another program empty the marker while
// the host has it open; truncate then changes nothing and the host goes on.
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#else
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "app/crash_guard.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: qm_guard_child FOLDER [--fsize BYTES] STEP...\n");
    return 2;
}

// A module built at the end of a readable page followed by an unreadable one. A short name
// lives inside the string object, the module's last member, so the name's last byte is the
// last readable one.
const qm::CrashGuard::Module* moduleAtEdge(const char* key, const char* name) {
#if defined(_WIN32)
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    void* pages = ::VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD previous = 0;
    if (!pages ||
        !::VirtualProtect(static_cast<char*>(pages) + page, page, PAGE_NOACCESS, &previous)) {
        std::exit(5);
    }
#else
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    void* pages =
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED || ::mprotect(static_cast<char*>(pages) + page, page, PROT_NONE) != 0) {
        std::exit(5);
    }
#endif
    void* at = static_cast<char*>(pages) + page - sizeof(qm::CrashGuard::Module);
    return new (at) qm::CrashGuard::Module{key, name};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    int i = 2;
#if !defined(_WIN32)
    if (i + 1 < argc && std::strcmp(argv[i], "--fsize") == 0) {
        const auto bytes = static_cast<rlim_t>(std::strtoull(argv[i + 1], nullptr, 10));
        const rlimit limit{bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 3;
        }
        i += 2;
    }
#endif
    auto* guard = new qm::CrashGuard(argv[1]);  // never destroyed: the host died
    for (; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "begin" && i + 2 < argc) {
            guard->begin({argv[i + 1], argv[i + 2]});
            i += 2;
        } else if (step == "begin-nth" && i + 3 < argc) {
            guard->begin({argv[i + 1], argv[i + 2],
                          static_cast<unsigned>(std::strtoul(argv[i + 3], nullptr, 10))});
            i += 3;
        } else if (step == "begin-at-edge" && i + 2 < argc) {
            guard->begin(*moduleAtEdge(argv[i + 1], argv[i + 2]));
            i += 2;
        } else if (step == "end") {
            guard->end();
        } else if (step == "truncate") {
            std::error_code ec;
            std::filesystem::resize_file(guard->file(), 0, ec);
#if !defined(_WIN32)
            if (ec) {
                return 4;
            }
#endif
        } else if (step == "take") {
            const auto module = guard->takeInterrupted();
            std::printf("%s\n", module ? module->key.c_str() : "nobody");
            std::fflush(stdout);
        } else if (step == "hold") {
            std::printf("held\n");
            std::fflush(stdout);
            for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
            }
        } else {
            return usage();
        }
    }
    std::_Exit(0);
}
