#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "qmsys/named_mutex.h"
#include "session_objects_p.h"

namespace qmsys {

namespace {

// Longest escaped name kept as it is; NAME_MAX (255) leaves room for the suffix.
constexpr std::size_t kMaxEscapedLength = 200;

std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 0x100000001b3ULL;
    }
    return hash;
}

bool keepsAsIs(unsigned char c, bool first) {
    if (c == '.') {
        return !first;
    }
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '-' || c == '_';
}

// The session folder must be a real folder of this user; anything else (a symbolic link, a
// folder another user planted in /tmp) could redirect or expose the locks.
bool isPrivateFolder(const std::string& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

}  // namespace

std::string sessionObjectFolder() {
    // A runtime folder that is named but missing (a session without one set up, a stale
    // variable) must not leave the user without locks: the /tmp fallback serves instead.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isPrivateFolder(runtime)) {
        std::string folder = std::string(runtime) + "/quillmont";
        ::mkdir(folder.c_str(), 0700);  // EEXIST is the common case
        return folder;
    }
    std::string folder = "/tmp/quillmont-" + std::to_string(::geteuid());
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

std::string sessionLockFileName(const std::string& name, SessionObjectKind kind) {
    std::string escaped;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (keepsAsIs(c, i == 0)) {
            escaped += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            escaped += hex;
        }
    }
    if (escaped.size() > kMaxEscapedLength) {
        char hash[24];
        std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(fnv1a(name)));
        escaped.resize(kMaxEscapedLength);
        escaped += hash;
    }
    return escaped + (kind == SessionObjectKind::Marker ? ".marker" : ".mutex");
}

int openSessionLockFile(const std::string& name, SessionObjectKind kind) {
    const std::string folder = sessionObjectFolder();
    if (!isPrivateFolder(folder)) {
        errno = EACCES;
        return -1;
    }
    const std::string path = folder + "/" + sessionLockFileName(name, kind);
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace qmsys
