#include "app/crash_guard.h"

#include <fcntl.h>
#include <qmsys/files.h>
#include <qmsys/user_folders.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace qm {

namespace {

// What the next start reads of a marker; also the size of a marker this guard writes, which
// holds any record but one with a name of thousands of characters (cut, see begin()).
constexpr std::size_t kMarkerBytes = 4096;
// Older markers were plain text of any length up to this.
constexpr std::size_t kMaxMarkerBytes = 64 * 1024;

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// "key\ndisplay name\n" and the NUL that ends it, the name cut to fit the marker; empty when
// not even the key fits.
std::string record(const CrashGuard::Module& module) {
    constexpr std::size_t kFixed = 3;  // two line breaks and the NUL
    if (module.key.size() + kFixed > kMarkerBytes) {
        return {};
    }
    const std::size_t room = kMarkerBytes - kFixed - module.key.size();
    std::string text = module.key + "\n" + module.displayName.substr(0, room) + "\n";
    text.push_back('\0');
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
    if (map_) {
        ::munmap(map_, kMarkerBytes);
    }
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(file_.c_str());
    }
}

std::optional<CrashGuard::Module> CrashGuard::takeInterrupted() {
    std::string text;
    if (qmsys::readRegularFile(file_, kMaxMarkerBytes, text) != qmsys::kErrorSuccess) {
        return std::nullopt;
    }
    ::unlink(file_.c_str());
    // "key\ndisplay name\n", ended by a NUL byte or the end of the file; what follows the NUL is
    // left over from a longer record. An empty marker names nobody.
    text.resize(std::min(text.size(), text.find('\0')));
    const auto firstEnd = text.find('\n');
    if (firstEnd == std::string::npos || firstEnd == 0) {
        return std::nullopt;
    }
    Module module;
    module.key = text.substr(0, firstEnd);
    const auto secondEnd = text.find('\n', firstEnd + 1);
    module.displayName =
        text.substr(firstEnd + 1,
                    secondEnd == std::string::npos ? std::string::npos : secondEnd - firstEnd - 1);
    return module;
}

void CrashGuard::open() {
    // Never truncated: another host of this user may have the same marker mapped, and a store
    // into a page the file no longer reaches kills that host (SIGBUS). What an earlier record
    // left lies behind the NUL that ends the next one.
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        return;
    }
    // The file's name must be on disk as well as its content.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    // No sync of the content: what was stored survives the death of the host process, which is
    // what the guard is for, and a sync per module would cost milliseconds each at start-up with
    // hundreds of started modules. Only a crash of the whole machine during bring-up can lose
    // the marker, and then the module is merely tried once more.
    // Mapped, the marker is written by plain stores into the file's page: no system call per
    // module. The page belongs to the file, not to this process, so what was stored survives
    // the death of the host just as a write would. Where the file cannot be mapped, it is
    // written.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 &&
        (st.st_size >= static_cast<off_t>(kMarkerBytes) || ::ftruncate(fd_, kMarkerBytes) == 0)) {
        void* map = ::mmap(nullptr, kMarkerBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
        if (map != MAP_FAILED) {
            map_ = static_cast<char*>(map);
        }
    }
}

void CrashGuard::begin(const Module& module) {
    if (fd_ < 0) {
        open();
        if (fd_ < 0) {
            return;
        }
    }
    // Names cannot hold line breaks or NUL bytes that matter here; the key decides, the name is
    // shown. The NUL ends the record, so that a shorter record needs no truncation of a longer
    // one before it.
    const std::string text = record(module);
    if (text.empty()) {
        return;  // the marker stays empty: this module cannot be named
    }
    if (!map_) {
        (void)writeAll(fd_, text);
        return;
    }
    // The first byte last: until it is stored the marker still reads as empty (the previous
    // module came up), so a death halfway never names a module by half a record.
    std::memcpy(map_ + 1, text.data() + 1, text.size() - 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    *static_cast<volatile char*>(map_) = text[0];
}

void CrashGuard::end() {
    // A NUL in the first byte: the record is empty. One byte cannot be half written.
    if (map_) {
        std::atomic_signal_fence(std::memory_order_seq_cst);
        *static_cast<volatile char*>(map_) = '\0';
    } else if (fd_ >= 0) {
        (void)writeAll(fd_, std::string(1, '\0'));
    }
}

}  // namespace qm
