#include "qmsys/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "path_errors_p.h"
#include "posix_p.h"
#include "qmsys/letter_case.h"

namespace qmsys {

std::string parentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    const auto end = path.find_last_not_of('/', slash);
    return end == std::string::npos ? "/" : path.substr(0, end + 1);
}

WinError pathError(const std::string& path, int err) {
    if (err == ENOENT) {
        struct stat st {};
        const std::string parent = parentFolder(path);
        if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return kErrorPathNotFound;
        }
        return kErrorFileNotFound;
    }
    return winErrorFromErrno(err);
}

namespace {

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string resolveMissingPath(const std::string& path, int err) {
    if (err != ENOENT && err != ENOTDIR) {
        return {};
    }
    std::string resolved = resolveLetterCase(path);
    return resolved == path ? std::string() : resolved;
}

WinError getFileAttributes(const std::string& path, FileAttributes& out,
                           const FolderHandle* folder) {
    struct stat st {};
    if (::fstatat(lookupFolderOf(folder), path.c_str(), &st, 0) != 0) {
        // Below an open folder, the folder is there: a missing name is a missing file.
        if (isOpen(folder)) {
            return winErrorFromErrno(errno);
        }
        const int err = errno;
        const std::string resolved = resolveMissingPath(path, err);
        if (resolved.empty() || ::stat(resolved.c_str(), &st) != 0) {
            return pathError(path, err);
        }
    }
    FileAttributes attributes;
    attributes.exists = true;
    attributes.directory = S_ISDIR(st.st_mode);
    attributes.special = !attributes.directory && !S_ISREG(st.st_mode);
    attributes.readOnly = (st.st_mode & S_IWUSR) == 0;
    attributes.lastWriteNs = nanoseconds(st.st_mtim);
    attributes.size = static_cast<std::uint64_t>(st.st_size);
    out = attributes;
    return kErrorSuccess;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return true;
    }
    const std::string resolved = resolveMissingPath(path, errno);
    return !resolved.empty() && ::stat(resolved.c_str(), &st) == 0;
}

bool isAbsolutePath(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

namespace {

// openRegularFile; blocking false leaves O_NONBLOCK on, which reads of a regular file ignore
// (readRegularFile clears it should a read ever say it would block).
FileHandle openRegular(const std::string& path, WinError& error, std::uint64_t* size, bool blocking,
                       const FolderHandle* folder = nullptr) {
    int fd;
    do {
        fd = ::openat(lookupFolderOf(folder), path.c_str(),
                      O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && !isOpen(folder)) {
        const int err = errno;
        if (const std::string resolved = resolveMissingPath(path, err); !resolved.empty()) {
            do {
                fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
            } while (fd < 0 && errno == EINTR);
        }
        if (fd < 0) {
            error = pathError(path, err);
            return FileHandle();
        }
    }
    if (fd < 0) {
        // Below an open folder, the folder is there: a missing name is a missing file.
        error = winErrorFromErrno(errno);
        return FileHandle();
    }
    FileHandle file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = winErrorFromErrno(errno);
        return FileHandle();
    }
    if (!S_ISREG(st.st_mode)) {
        error = kErrorAccessDenied;  // a folder, FIFO, device or socket
        return FileHandle();
    }
    // Regular files never block; the flag only mattered for the open itself.
    if (blocking) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    if (size) {
        *size = static_cast<std::uint64_t>(st.st_size);
    }
    error = kErrorSuccess;
    return file;
}

}  // namespace

bool writeAll(const FileHandle& file, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(descriptorOf(file), data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool readAll(const FileHandle& file, std::string& out) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(descriptorOf(file), buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

WinError readAt(const FileHandle& file, std::uint64_t offset, std::size_t count, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(descriptorOf(file), out.data() + start + done, count - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int err = errno;
            out.resize(start + done);
            return n == 0 ? kErrorSuccess : winErrorFromErrno(err);
        }
        done += static_cast<std::size_t>(n);
    }
    return kErrorSuccess;
}

FileBytes::~FileBytes() {
    release();
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : mapped_(std::exchange(other.mapped_, nullptr)),
      mappedSize_(std::exchange(other.mappedSize_, 0)),
      read_(std::move(other.read_)) {
    other.read_.clear();
}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    if (this != &other) {
        release();
        mapped_ = std::exchange(other.mapped_, nullptr);
        mappedSize_ = std::exchange(other.mappedSize_, 0);
        read_ = std::move(other.read_);
        other.read_.clear();
    }
    return *this;
}

void FileBytes::release() noexcept {
    if (mapped_) {
        ::munmap(mapped_, mappedSize_);
        mapped_ = nullptr;
        mappedSize_ = 0;
    }
    read_.clear();
}

WinError FileBytes::take(const FileHandle& file, std::size_t count, FileBytes& out) {
    out.release();
    struct stat st {};
    if (::fstat(descriptorOf(file), &st) != 0) {
        return winErrorFromErrno(errno);
    }
    // Pages past the file's end would fault: the mapping stops where the file does.
    const std::size_t size = std::min<std::size_t>(count, static_cast<std::uint64_t>(st.st_size));
    if (size == 0) {
        return kErrorSuccess;  // nothing to map (mmap refuses a length of 0)
    }
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptorOf(file), 0);
    if (mapped == MAP_FAILED) {
        // A file system that cannot map files still reads them.
        const WinError error = readAt(file, 0, size, out.read_);
        if (error != kErrorSuccess) {
            out.read_.clear();
        }
        return error;
    }
    out.mapped_ = mapped;
    out.mappedSize_ = size;
    return kErrorSuccess;
}

StdioFile openStdioFile(const std::string& path, const char* mode) {
    // "e": O_CLOEXEC, so that programs the host starts do not inherit the stream's file.
    const std::string withCloseOnExec = std::string(mode) + "e";
    return StdioFile(std::fopen(path.c_str(), withCloseOnExec.c_str()));
}

StdioFile openLogFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for writing would wait for a reader to come.
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY,
                    0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return nullptr;
    }
    // A regular file never makes a write wait; a pipe or a device keeps the flag, so that a
    // reader that stops reading costs lines, not the writer.
    if (S_ISREG(st.st_mode)) {
        ::fcntl(fd, F_SETFL, O_APPEND);
    }
    StdioFile file(::fdopen(fd, "ab"));
    if (!file) {
        ::close(fd);
    }
    return file;
}

FileHandle openRegularFile(const std::string& path, WinError& error, std::uint64_t* size) {
    return openRegular(path, error, size, true);
}

WinError readRegularFile(const std::string& path, std::size_t limit, std::string& out,
                         const FolderHandle* folder) {
    out.clear();
    WinError error = kErrorSuccess;
    std::uint64_t size = 0;
    const FileHandle file = openRegular(path, error, &size, false, folder);
    if (!file) {
        return error;
    }
    const int fd = descriptorOf(file);
    if (size > limit) {
        return kErrorFileTooLarge;
    }
    out.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            continue;
        }
        if (n < 0) {
            error = winErrorFromErrno(errno);
            out.clear();
            return error;
        }
        if (n == 0) {
            break;  // the file shrank while being read
        }
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return kErrorSuccess;
}

WinError readOwnFile(const std::string& path, std::size_t limit, std::string& out) {
    out.clear();
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A symbolic link at path fails as ELOOP: no file of its own.
        return errno == ELOOP ? kErrorAccessDenied : pathError(path, errno);
    }
    const FileHandle file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return winErrorFromErrno(errno);
    }
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1) {
        return kErrorAccessDenied;
    }
    if (static_cast<std::uint64_t>(st.st_size) > limit) {
        return kErrorFileTooLarge;
    }
    const WinError error = readAt(file, 0, static_cast<std::size_t>(st.st_size), out);
    if (error != kErrorSuccess) {
        out.clear();
    }
    return error;
}

FileHandle createNewFile(const std::string& path, unsigned permissions) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
                    static_cast<mode_t>(permissions & 07777));
    } while (fd < 0 && errno == EINTR);
    return FileHandle(fd);
}

bool writeAt(const FileHandle& file, std::uint64_t offset, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n =
            ::pwrite(descriptorOf(file), data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool resizeFile(const FileHandle& file, std::uint64_t size) {
    return ::ftruncate(descriptorOf(file), static_cast<off_t>(size)) == 0;
}

bool fileSizeAllowed(std::uint64_t size) {
    rlimit limit{};
    return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
           limit.rlim_cur >= size;
}

FileHandle lockFile(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY,
                    0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return FileHandle();
    }
    FileHandle file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        return FileHandle();
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    return locked == 0 ? std::move(file) : FileHandle();
}

LockedFile LockedFile::lock(const std::string& path, Access access, WinError& error) {
    const int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY |
                      (access == Access::Append ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY);
    // Bounded: a file that is replaced at every turn for this long is given up on.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            error = pathError(path, errno);
            return LockedFile();
        }
        FileHandle file(fd);
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            error = kErrorAccessDenied;
            return LockedFile();
        }
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error = winErrorFromErrno(errno);
                return LockedFile();
            }
        }
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            LockedFile locked;
            locked.path_ = path;
            locked.lock_ = std::move(file);
            error = kErrorSuccess;
            return locked;
        }
    }
    error = kErrorSharingViolation;
    return LockedFile();
}

bool LockedFile::readAll(std::string& out) const {
    return qmsys::readAll(lock_, out);
}

bool LockedFile::append(std::string_view data) const {
    return writeAll(lock_, data);
}

WinError LockedFile::replace(std::string_view data, unsigned permissions) const {
    return replaceFileContents(path_, data, permissions);
}

bool LockedFile::unlock() noexcept {
    return lock_.close();
}

StreamKind standardInputKind() {
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) != 0) {
        return StreamKind::Closed;
    }
    if (S_ISFIFO(st.st_mode)) {
        return StreamKind::Pipe;
    }
    if (S_ISREG(st.st_mode)) {
        return StreamKind::File;
    }
    if (S_ISSOCK(st.st_mode)) {
        return StreamKind::Socket;
    }
    return ::isatty(STDIN_FILENO) ? StreamKind::Terminal : StreamKind::Device;
}

WinError createDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) {
        return kErrorSuccess;
    }
    // An existing file of that name blocks the folder just as an existing folder does.
    return errno == EEXIST ? kErrorAlreadyExists : pathError(path, errno);
}

WinError createDirectories(const std::string& path) {
    if (path.empty()) {
        return kErrorPathNotFound;
    }
    // The common case is a folder that exists already: one stat instead of a mkdir per level.
    if (isDirectory(path)) {
        return kErrorSuccess;
    }
    // Walk the components left to right; folders that already exist are passed through.
    std::size_t pos = path.find_first_not_of('/');
    while (pos != std::string::npos) {
        const std::size_t end = path.find('/', pos);
        const std::string prefix = path.substr(0, end);
        if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
            return pathError(prefix, errno);
        }
        pos = end == std::string::npos ? end : path.find_first_not_of('/', end);
    }
    return isDirectory(path) ? kErrorSuccess : kErrorAlreadyExists;
}

WinError deleteFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return pathError(path, errno);
    }
    // DeleteFileW refuses folders and read-only files; callers clear the attribute first.
    if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0)) {
        return kErrorAccessDenied;
    }
    if (::unlink(path.c_str()) != 0) {
        return pathError(path, errno);
    }
    return kErrorSuccess;
}

WinError setReadOnly(const std::string& path, bool readOnly) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return pathError(path, errno);
    }
    const mode_t permissions = st.st_mode & 07777;
    const mode_t wanted =
        readOnly ? (permissions & ~static_cast<mode_t>(S_IWUSR)) : (permissions | S_IWUSR);
    if (wanted != permissions && ::chmod(path.c_str(), wanted) != 0) {
        return pathError(path, errno);
    }
    return kErrorSuccess;
}

bool mayWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

WinError matchOwnerWrite(const std::string& path, const std::string& model) {
    struct stat like {};
    if (::stat(model.c_str(), &like) != 0) {
        return pathError(model, errno);
    }
    const FileHandle file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file) {
        return errno == ELOOP ? kErrorAccessDenied : pathError(path, errno);
    }
    struct stat st {};
    if (::fstat(descriptorOf(file), &st) != 0) {
        return winErrorFromErrno(errno);
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & S_IWUSR) != 0) {
        return kErrorAccessDenied;
    }
    return ::fchmod(descriptorOf(file), like.st_mode & 0777) == 0 ? kErrorSuccess
                                                                  : winErrorFromErrno(errno);
}

bool stampedByLocalClock(const std::string& folder) {
    struct statfs fs {};
    if (::statfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) {
        return true;
    }
    // File systems on this machine's disks and memory, which take their times from its clock.
    constexpr unsigned long kLocal[] = {
        0xEF53,      // ext2, ext3, ext4
        0x58465342,  // xfs
        0x9123683E,  // btrfs
        0x01021994,  // tmpfs
        0x858458F6,  // ramfs
        0xF2F52010,  // f2fs
        0x4D44,      // FAT (vfat, msdos)
        0x2011BAB0,  // exFAT
        0x7366746E,  // ntfs3
        0x794C7630,  // overlay
        0x73717368,  // squashfs
        0x9660,      // iso9660
        0x2FC12FC1,  // zfs
        0xCA451A4E,  // bcachefs
        0x3153464A,  // jfs
        0x52654973,  // reiserfs
    };
    const auto type = static_cast<unsigned long>(fs.f_type);
    for (const unsigned long local : kLocal) {
        if (type == local) {
            return true;
        }
    }
    return false;
}

}  // namespace qmsys
