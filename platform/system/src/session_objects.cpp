#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "path_errors_p.h"
#include "qmsys/files.h"
#include "qmsys/named_mutex.h"
#include "qmsys/user_folders.h"
#include "session_objects_p.h"

namespace qmsys {

namespace {

// A folder fit for the session's lock files: a real folder (not a symbolic link) owned by
// this user with mode 0700, so that nobody else can plant, remove or redirect its files. The
// checks are made with lstat on the name and again with fstat on the opened folder, which
// must be the same one. A folder this call created gets mode 0700 whatever the umask.
// Returns the open folder, or -1 with why set.
int openPrivateFolder(const std::string& folder, std::string& why) {
    bool created = false;
    struct stat named {};
    if (::lstat(folder.c_str(), &named) != 0) {
        if (errno == ENOENT) {
            createDirectories(parentFolder(folder));  // the state folder may not exist yet
        }
        if (errno != ENOENT || ::mkdir(folder.c_str(), 0700) != 0 ||
            ::lstat(folder.c_str(), &named) != 0) {
            why = folder + ": " + std::strerror(errno);
            return -1;
        }
        created = true;
    }
    if (!S_ISDIR(named.st_mode)) {
        why = folder + ": not a folder";
        return -1;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened {};
    if (fd < 0 || ::fstat(fd, &opened) != 0) {
        why = folder + ": " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
        why = folder + ": replaced while being checked";
    } else if (opened.st_uid != ::geteuid()) {
        why = folder + ": belongs to another user";
    } else if (created && (opened.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0) {
        why = folder + ": " + std::strerror(errno);
    } else if (!created && (opened.st_mode & 07777) != 0700) {
        why = folder + ": open to other users (mode " + std::to_string((opened.st_mode >> 6) & 7) +
              std::to_string((opened.st_mode >> 3) & 7) + std::to_string(opened.st_mode & 7) + ")";
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

// Where the session's lock folder may be, best first. Every process of the user walks the
// same list in the same order, so they agree on the first one that qualifies.
std::vector<std::string> candidateFolders() {
    std::vector<std::string> folders;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        folders.push_back(std::string(runtime) + "/quillmont");
    }
    const char* tmp = std::getenv("TMPDIR");
    folders.push_back(std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/quillmont-" +
                      std::to_string(::geteuid()));
    // Beyond the reach of other users (unless they can write the user's home anyway).
    folders.push_back(xdgFolder(XdgFolder::State) + "/quillmont-session");
    return folders;
}

// The first candidate that qualifies, opened; -1 with why naming every refusal otherwise.
int openSessionFolder(std::string& path, std::string& why) {
    for (const std::string& folder : candidateFolders()) {
        std::string refused;
        const int fd = openPrivateFolder(folder, refused);
        if (fd >= 0) {
            path = folder;
            return fd;
        }
        why += (why.empty() ? "" : "; ") + refused;
    }
    return -1;
}

}  // namespace

std::string sessionObjectFolder() {
    std::string path;
    std::string why;
    const int fd = openSessionFolder(path, why);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    return path;
}

int openSessionLockFile(const std::string& name, SessionObjectKind kind, std::string* why) {
    std::string folder;
    std::string refused;
    const int dir = openSessionFolder(folder, refused);
    if (dir < 0) {
        if (why) {
            *why = "no private folder for the session's locks (" + refused + ")";
        }
        errno = EACCES;
        return -1;
    }
    const std::string file = sessionLockFileName(name, kind);
    int fd;
    do {
        fd = ::openat(dir, file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    const int openErrno = errno;
    ::close(dir);
    if (fd < 0) {
        if (why) {
            *why = folder + "/" + file + ": " + std::strerror(openErrno);
        }
        errno = openErrno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        if (why) {
            *why = folder + "/" + file + ": not a lock file of this user";
        }
        errno = EACCES;
        return -1;
    }
    return fd;
}

}  // namespace qmsys
