#pragma once
// Lock files that stand for named kernel objects of the user's session.
#include <cstdint>
#include <string>
#include <string_view>

namespace qmsys {

// The two kinds of named object live in separate files: a marker is held for a whole
// lifetime, a mutex only while locked, and one flock cannot serve both.
enum class SessionObjectKind { Marker, Mutex };

// Opens (creating if needed) the lock file that stands for the named object, O_CLOEXEC so
// that started programs never inherit it, in the session's private folder (see
// sessionObjectFolder). Returns the descriptor, or -1 with errno set and, when why is given,
// a reason a user can act on. The file is never removed: removing a lock file while another
// process waits on it would split one name into two locks.
int openSessionLockFile(const std::string& name, SessionObjectKind kind,
                        std::string* why = nullptr);

// File name for an object name: bytes other than letters, digits, ' ', '-', '_' and '.' (and
// a leading '.') become %XX, so any name is one safe path component; very long names are
// shortened with a hash of the whole name appended.
std::string sessionLockFileName(const std::string& name, SessionObjectKind kind);

// The 64-bit FNV-1a hash of text: short, stable names for what is too long or too varied to
// be one.
std::uint64_t fnv1a(std::string_view text);

}  // namespace qmsys
