#include "app/crash_guard.h"

#include <fcntl.h>
#include <qmsys/files.h>
#include <qmsys/user_folders.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qm {

namespace {

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

void CrashGuard::begin(const Module& module) {
    if (fd_ < 0) {
        fd_ = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0) {
            return;
        }
        // The file's name must be on disk as well as its content.
        const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    // Names cannot hold line breaks or NUL bytes that matter here; the key decides, the name is
    // shown. The NUL ends the record, so that a shorter record needs no truncation of a longer
    // one before it: one write names the module.
    std::string text = module.key + "\n" + module.displayName + "\n";
    text.push_back('\0');
    // No sync per module: what was written survives the death of the host process, which is
    // what the guard is for, and a sync per module would cost milliseconds each at start-up
    // with hundreds of started modules. Only a crash of the whole machine during bring-up can
    // lose the marker, and then the module is merely tried once more.
    (void)writeAll(fd_, text);
}

void CrashGuard::end() {
    // A NUL in the first byte: the record is empty. One byte cannot be half written.
    if (fd_ >= 0) {
        (void)writeAll(fd_, std::string(1, '\0'));
    }
}

}  // namespace qm
