// CopyFileW over POSIX: write a temporary file beside the destination, give it the source's
// permission bits and modification time, then rename it into place.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "path_errors_p.h"
#include "posix_p.h"
#include "qmsys/files.h"
#include "qmsys/letter_case.h"

namespace qmsys {

namespace {

// Owns a file and, until committed, the temporary name it was created under: created
// exclusively (mkostemp), so that nothing planted under that name is followed or written
// through, and removed unless committed, so a failure leaves nothing behind. The one
// write-then-rename of qmsys (as LLVM's TempFile): copies and replaced files go through it.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile() {
        file_.reset();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates a uniquely named file in folder; false with errno set on failure. The file is
    // locked while this process has it, so that removeAbandonedTemporaries tells it from one
    // whose writer was killed.
    bool create(const std::string& folder, const std::string& finalName) {
        std::string pattern = temporaryPrefix(folder, finalName) + "XXXXXX";
        file_ = FileHandle(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!file_) {
            return false;
        }
        ::flock(descriptorOf(file_), LOCK_EX | LOCK_NB);
        path_ = pattern;
        return true;
    }
    static std::string temporaryPrefix(const std::string& folder, const std::string& finalName) {
        return folder + "/." + finalName + ".qmtmp-";
    }
    const FileHandle& file() const { return file_; }
    int fd() const { return descriptorOf(file_); }
    // Closes the file; false with errno set if the data may not have been written.
    bool close() { return file_.close(); }
    // Closes the file and moves it onto target (see moveIntoPlace); false with errno set on
    // failure, the temporary file then still to be removed.
    bool commit(const std::string& target, bool noReplace);

private:
    FileHandle file_;
    std::string path_;
};

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Copies the first size bytes of in to out, or fewer if in is shorter by now; false with
// errno set on failure. The bound keeps a file that grows during the copy (or a device that
// slipped past the type check) from keeping the copy going.
bool copyContent(int in, const FileHandle& outFile, std::uint64_t size) {
    const int out = descriptorOf(outFile);
    // The kernel copies without a round trip through user space where it can (and may share
    // extents on file systems that support it).
    std::uint64_t left = size;
    bool copiedAny = false;
    while (left > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, 1 << 30));
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, chunk, 0);
        if (n == 0) {
            return true;
        }
        if (n > 0) {
            copiedAny = true;
            left -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        const bool unsupported =
            errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP;
        if (copiedAny || !unsupported) {
            return false;
        }
        break;  // this pair of files cannot be copied in the kernel: read and write instead
    }
    std::vector<char> buffer(1 << 16);
    while (left > 0) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        const ssize_t n = ::read(in, buffer.data(), chunk);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (!writeAll(outFile, std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
            return false;
        }
        left -= static_cast<std::uint64_t>(n);
    }
    return true;
}

// Moves from onto to. With noReplace an existing destination fails with EEXIST, atomically,
// so two copies racing for the same name cannot both succeed.
bool moveIntoPlace(const std::string& from, const std::string& to, bool noReplace) {
    if (!noReplace) {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without RENAME_NOREPLACE: link() fails on an existing name as well.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

bool TemporaryFile::commit(const std::string& target, bool noReplace) {
    if (!close() || !moveIntoPlace(path_, target, noReplace)) {
        return false;
    }
    path_.clear();  // the file lives under target now: nothing to clean up
    return true;
}

}  // namespace

WinError copyFile(const std::string& src, const std::string& dst, bool failIfExists,
                  LetterCaseIndex* names) {
    WinError openError = kErrorSuccess;
    const FileHandle inFile = openRegularFile(src, openError);
    if (!inFile) {
        return openError;
    }
    const int in = descriptorOf(inFile);
    struct stat source {};
    if (::fstat(in, &source) != 0) {
        return winErrorFromErrno(errno);
    }

    // The entry the destination names in any letter case. NTFS keeps the name of a file that
    // CopyFileW overwrites (the file is opened and its content replaced, its directory entry
    // stays), so a copy onto "Menu.MNU" over "menu.mnu" leaves "menu.mnu": the copy goes to the
    // existing entry's name. A missing destination is created under its name as written, in its
    // folder as found.
    std::string target = dst;
    struct stat existing {};
    bool exists = ::stat(dst.c_str(), &existing) == 0;
    if (!exists && (errno == ENOENT || errno == ENOTDIR)) {
        LetterCaseIndex once;
        LetterCaseIndex& index = names ? *names : once;
        if (std::string found = index.resolve(dst); !found.empty()) {
            target = std::move(found);
            exists = ::stat(target.c_str(), &existing) == 0;
        } else if (std::string place = index.placeFor(dst); !place.empty()) {
            target = std::move(place);
        }
    }
    if (exists) {
        if (failIfExists) {
            return kErrorFileExists;
        }
        // CopyFileW will not replace a folder or a read-only file.
        if (S_ISDIR(existing.st_mode) || (existing.st_mode & S_IWUSR) == 0) {
            return kErrorAccessDenied;
        }
    }

    TemporaryFile temporary;
    if (!temporary.create(parentFolder(target), baseName(target))) {
        return pathError(target, errno);
    }
    const timespec times[2] = {{0, UTIME_NOW}, source.st_mtim};
    if (!copyContent(in, temporary.file(), static_cast<std::uint64_t>(source.st_size)) ||
        ::fchmod(temporary.fd(), source.st_mode & 07777) != 0 ||
        ::futimens(temporary.fd(), times) != 0) {
        return winErrorFromErrno(errno);
    }
    if (!temporary.commit(target, failIfExists)) {
        return errno == EEXIST ? kErrorFileExists : pathError(target, errno);
    }
    if (names && !exists) {
        names->added(target);
    }
    return kErrorSuccess;
}

void removeAbandonedTemporaries(const std::string& path) {
    const std::string folder = parentFolder(path);
    const std::string prefix = TemporaryFile::temporaryPrefix("", baseName(path)).substr(1);
    DIR* const listing = ::opendir(folder.c_str());
    if (!listing) {
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        if (std::string_view(entry->d_name).starts_with(prefix)) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(listing);
    for (const std::string& name : names) {
        const std::string temporary = folder + "/" + name;
        // Only a regular file of its own that no writer holds locked: never waits on a FIFO,
        // never follows a link, never takes a file that is still being written.
        const FileHandle file(
            ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        struct stat st {};
        if (file && ::fstat(descriptorOf(file), &st) == 0 && S_ISREG(st.st_mode) &&
            ::flock(descriptorOf(file), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(temporary.c_str());
        }
    }
}

WinError replaceFileContents(const std::string& path, std::string_view data, unsigned permissions) {
    TemporaryFile temporary;
    if (!temporary.create(parentFolder(path), baseName(path))) {
        return pathError(path, errno);
    }
    if (!writeAll(temporary.file(), data) ||
        ::fchmod(temporary.fd(), static_cast<mode_t>(permissions & 07777)) != 0) {
        return winErrorFromErrno(errno);
    }
    if (!temporary.commit(path, false)) {
        return pathError(path, errno);
    }
    return kErrorSuccess;
}

}  // namespace qmsys
