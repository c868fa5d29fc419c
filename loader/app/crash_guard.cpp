#include "app/crash_guard.h"

#include <fcntl.h>
#include <qmsys/files.h>
#include <qmsys/user_folders.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace qm {

namespace {

// The most of a marker that is read; also the most this guard writes, which holds any record
// but one with a name of thousands of characters (cut, see record()).
constexpr std::size_t kMarkerBytes = 4096;

// One pwrite at offset 0; false when it did not write everything.
bool writeAt0(int fd, std::string_view text) {
    ssize_t n;
    do {
        n = ::pwrite(fd, text.data(), text.size(), 0);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(text.size());
}

// "key NUL display name NUL", the name cut to fit the marker; empty when not even the key fits
// (the module then goes unguarded).
std::string record(const CrashGuard::Module& module) {
    constexpr std::size_t kFixed = 2;  // the two NULs
    if (module.key.empty() || module.key.size() + kFixed > kMarkerBytes) {
        return {};
    }
    const std::size_t room = kMarkerBytes - kFixed - module.key.size();
    // The name ends at its first NUL, if any, and at the room left.
    const std::string_view name = std::string_view(module.displayName)
                                      .substr(0, std::min(module.displayName.find('\0'), room));
    std::string text;
    text.reserve(module.key.size() + name.size() + kFixed);
    text.append(module.key).push_back('\0');
    text.append(name).push_back('\0');
    return text;
}

}  // namespace

CrashGuard::CrashGuard(std::string folder)
    : folder_(std::move(folder)), file_(folder_ + "/bringing-up") {
    qmsys::createDirectories(folder_);
}

std::string CrashGuard::defaultFolder() {
    return qmsys::xdgFolder(qmsys::XdgFolder::State) + "/quillmont";
}

CrashGuard::~CrashGuard() {
    if (fd_ >= 0) {
        // Truncation needs no free block, so even a full disk lets a normal end say nobody.
        // The file stays: unlinking it would let a host that opened it just before lock a
        // file nobody reads any more. Closing releases the lock.
        (void)::ftruncate(fd_, 0);
        ::close(fd_);
    }
}

bool CrashGuard::open() {
    if (fd_ >= 0 || tried_) {
        return fd_ >= 0;
    }
    tried_ = true;
    // A write past the process's file size limit raises SIGXFSZ, which ends the host unless it
    // is ignored; below a limit that holds the largest record the start goes unguarded.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < kMarkerBytes) {
        return false;
    }
    // No link is followed and the open never waits (a FIFO in the marker's place).
    const int fd = ::open(file_.c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) {
        return false;
    }
    // A regular file with one name: a hard link to another file of the user is never written.
    // Locked without waiting: a lock held means a live host owns the marker.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    // The file's name must be on disk as well as its content.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::optional<CrashGuard::Module> CrashGuard::takeInterrupted() {
    if (!open()) {
        return std::nullopt;
    }
    std::string text(kMarkerBytes, '\0');
    ssize_t n;
    do {
        n = ::pread(fd_, text.data(), text.size(), 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(n));
    // Answered once: the next start finds nothing unless this one names a module again.
    (void)::ftruncate(fd_, 0);
    // The key up to its NUL, whole (line breaks included); what follows the name's NUL is left
    // over from a longer record. No NUL after the key: a record cut short, naming nobody.
    const std::size_t keyEnd = text.find('\0');
    if (keyEnd == 0 || keyEnd == std::string::npos) {
        return std::nullopt;
    }
    Module module;
    module.key = text.substr(0, keyEnd);
    const std::size_t nameEnd = text.find('\0', keyEnd + 1);
    module.displayName = text.substr(
        keyEnd + 1, nameEnd == std::string::npos ? std::string::npos : nameEnd - keyEnd - 1);
    return module;
}

void CrashGuard::begin(const Module& module) {
    if (!open()) {
        return;
    }
    const std::string text = record(module);
    if (!text.empty()) {
        (void)writeAt0(fd_, text);
    }
}

void CrashGuard::end() {
    // One byte cannot be half written.
    if (fd_ >= 0) {
        (void)writeAt0(fd_, std::string_view("\0", 1));
    }
}

}  // namespace qm
