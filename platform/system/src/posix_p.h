#pragma once
// The POSIX side of qmsys's handles and identities, for qmsys's own sources.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>

#include "qmsys/file_identity.h"
#include "qmsys/handle.h"

namespace qmsys {

inline int descriptorOf(const FileHandle& file) {
    return static_cast<int>(file.native());
}

// The folder to look a name up in for the *at() calls: the open folder, else AT_FDCWD (the
// name is a whole path).
inline int lookupFolderOf(const FolderHandle* folder) {
    return isOpen(folder) ? descriptorOf(folder->handle()) : AT_FDCWD;
}

// The one conversion of a system time to the nanoseconds qmsys reports.
inline std::int64_t nanoseconds(const timespec& ts) {
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline FileIdentity identityOf(const struct stat& st) {
    return FileIdentity{static_cast<std::uint64_t>(st.st_size), nanoseconds(st.st_mtim),
                        nanoseconds(st.st_ctim), static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::uint64_t>(st.st_dev)};
}

}  // namespace qmsys
