// The wildcard matcher against a plain reference: a memoised recursion over the same rules
// ('*' any run of bytes, '?' one character: a byte and the UTF-8 continuation bytes after it,
// ASCII letters without regard to case, and a trailing ".*" that also matches names without
// the dot). Input: pattern, a NUL byte, name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <qmsys/files.h>

namespace {

char fold(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

class Reference {
public:
    Reference(std::string_view pattern, std::string_view name)
        : pattern_(pattern), name_(name), memo_((pattern.size() + 1) * (name.size() + 1), -1) {}

    bool match(std::size_t p, std::size_t n) {
        int& slot = memo_[p * (name_.size() + 1) + n];
        if (slot < 0) {
            slot = compute(p, n);
        }
        return slot != 0;
    }

private:
    bool compute(std::size_t p, std::size_t n) {
        if (p == pattern_.size()) {
            return n == name_.size();
        }
        if (pattern_[p] == '*') {
            return match(p + 1, n) || (n < name_.size() && match(p, n + 1));
        }
        if (n == name_.size()) {
            return false;
        }
        if (pattern_[p] == '?') {
            std::size_t next = n + 1;
            while (next < name_.size() && continuation(name_[next])) {
                ++next;
            }
            return match(p + 1, next);
        }
        return fold(pattern_[p]) == fold(name_[n]) && match(p + 1, n + 1);
    }

    std::string_view pattern_;
    std::string_view name_;
    std::vector<int> memo_;
};

bool reference(std::string_view pattern, std::string_view name) {
    if (Reference(pattern, name).match(0, 0)) {
        return true;
    }
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
           Reference(pattern.substr(0, pattern.size() - 2), name).match(0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string_view::npos || size > 512) {
        return 0;
    }
    const std::string pattern(input.substr(0, split));
    const std::string name(input.substr(split + 1));
    if (qmsys::wildcardMatch(pattern, name) != reference(pattern, name)) {
        std::abort();
    }
    return 0;
}
