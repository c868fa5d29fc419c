// The names under which the session's named objects exist in the system: one escaping on
// every system, so that any name a caller gives is one safe name there.
#include <cstdint>
#include <cstdio>
#include <string>

#include "session_objects_p.h"

namespace qmsys {

namespace {

// Longest escaped name kept as it is; NAME_MAX (255) leaves room for the suffix.
constexpr std::size_t kMaxEscapedLength = 200;

bool keepsAsIs(unsigned char c, bool first) {
    if (c == '.') {
        return !first;
    }
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '-' || c == '_';
}

}  // namespace

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    return hash;
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

}  // namespace qmsys
