// Reading a folder's entries on POSIX: a directory stream for a search, the raw entries of
// an open descriptor for the folder index.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "find_files_p.h"
#include "posix_p.h"
#include "qmsys/files.h"

namespace qmsys {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

EntryKind kindOf(unsigned char type) {
    return type == DT_REG   ? EntryKind::File
           : type == DT_DIR ? EntryKind::Folder
                            : EntryKind::Unknown;
}

bool isDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

bool entryExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool existsAsWritten(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool readFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                const std::string* pattern) {
    entries.clear();
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (isDotOrDotDot(name) || (pattern && !wildcardMatch(*pattern, name))) {
            continue;
        }
        entries.push_back(FolderEntry{name, kindOf(entry->d_type)});
    }
    sortNtfs(entries);
    return true;
}

bool readFolderWithStatus(const std::string& folder, std::vector<FolderEntry>& entries,
                          FileIdentity& opened, FileHandle* keep) {
    entries.clear();
    if (keep) {
        keep->reset();
    }
    int fd;
    do {
        fd = ::open(folder.empty() ? "." : folder.c_str(),
                    O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    FileHandle file(fd);
    // The entries are read straight from the descriptor: a directory stream would ask for
    // the folder's status once more.
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        opened = identityOf(st);
    }
    alignas(dirent64) char buffer[32 * 1024];
    while (ok) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (!isDotOrDotDot(entry->d_name)) {
                entries.push_back(FolderEntry{entry->d_name, kindOf(entry->d_type)});
            }
        }
    }
    if (ok && keep) {
        *keep = std::move(file);
    }
    return ok;
}

}  // namespace qmsys
