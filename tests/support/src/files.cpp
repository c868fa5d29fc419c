#include "qmtest/files.h"

#if defined(_WIN32)
#include "qmtest/win32.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <qmsys/files.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "qmtest/wait.h"

namespace qmtest {

std::filesystem::path fsPath(const std::string& path) {
    // std::filesystem takes a narrow name in the system's code page on Windows, UTF-8 only
    // from char8_t.
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::int64_t lastWriteNs(const std::string& path) {
    qmsys::FileAttributes attributes;
    return qmsys::getFileAttributes(path, attributes) == qmsys::kErrorSuccess
               ? attributes.lastWriteNs
               : -1;
}

void setLastWriteNs(const std::string& path, std::int64_t ns) {
#if defined(_WIN32)
    // FILETIME counts 100 ns from 1601; the epoch is 11,644,473,600 s later.
    const auto ticks = static_cast<std::uint64_t>(ns / 100 + 116444736000000000LL);
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const std::filesystem::path p = fsPath(path);
    HANDLE file = ::CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool set = file != INVALID_HANDLE_VALUE && ::SetFileTime(file, nullptr, nullptr, &time);
    if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
    }
#else
    const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1000000000, ns % 1000000000}};
    const bool set = ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
#endif
    if (!set) {
        throw std::runtime_error("cannot set the last-write time of " + path);
    }
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void writeFile(const std::string& path, const std::string& content) {
    const std::filesystem::path p = fsPath(path);
    if (p.has_parent_path()) {
        std::filesystem::create_directories(p.parent_path());
    }
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    if (!f) {
        throw std::runtime_error("cannot write " + path);
    }
    f << content;
}

std::optional<std::string> readFileOnceThere(const std::string& path,
                                             std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (waitForFile(path, timeout)) {
        try {
            return readFile(path);
        } catch (const std::runtime_error&) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return std::nullopt;
}

std::string readFile(const std::string& path) {
    std::ifstream f(fsPath(path), std::ios::binary);
    if (!f) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace qmtest
