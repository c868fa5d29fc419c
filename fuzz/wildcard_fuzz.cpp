// The wildcard matcher against a plain reference: a memoised recursion over the same rules
// ('*' any run of bytes, '?' one character: a byte and the UTF-8 continuation bytes after it,
// letters without regard to case, and a trailing ".*" that also matches names without the
// dot). The reference folds letters with the C library's towupper in C.UTF-8, the simple
// upper-case mapping, character by character. Input: pattern, a NUL byte, name.
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

#include <qmsys/files.h>

namespace {

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Every well-formed character of the Basic Multilingual Plane (no surrogate) upper-cased when
// its upper case lies in that plane too; every other byte as it is.
std::string fold(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto at = [&](std::size_t k) {
            return std::uint32_t{static_cast<unsigned char>(s[k])};
        };
        std::uint32_t c = at(i);
        std::size_t length = 1;
        if (c >= 0xC2 && c <= 0xDF && i + 1 < s.size() && continuation(s[i + 1])) {
            c = ((c & 0x1F) << 6) | (at(i + 1) & 0x3F);
            length = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size() && continuation(s[i + 1]) &&
                   continuation(s[i + 2])) {
            const std::uint32_t d =
                ((c & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F);
            if (d >= 0x800 && (d < 0xD800 || d > 0xDFFF)) {
                c = d;
                length = 3;
            }
        }
        if (length == 1 && c >= 0x80) {
            out += s[i++];  // not a character that folds
            continue;
        }
        std::uint32_t upper = static_cast<std::uint32_t>(std::towupper(static_cast<wint_t>(c)));
        if (upper > 0xFFFF) {
            upper = c;
        }
        if (upper < 0x80) {
            out += static_cast<char>(upper);
        } else if (upper < 0x800) {
            out += static_cast<char>(0xC0 | (upper >> 6));
            out += static_cast<char>(0x80 | (upper & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (upper >> 12));
            out += static_cast<char>(0x80 | ((upper >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (upper & 0x3F));
        }
        i += length;
    }
    return out;
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
        return pattern_[p] == name_[n] && match(p + 1, n + 1);
    }

    std::string_view pattern_;
    std::string_view name_;
    std::vector<int> memo_;
};

bool reference(std::string_view rawPattern, std::string_view rawName) {
    const std::string pattern = fold(rawPattern);
    const std::string name = fold(rawName);
    if (Reference(pattern, name).match(0, 0)) {
        return true;
    }
    const std::string_view view(pattern);
    return view.size() >= 2 && view.substr(view.size() - 2) == ".*" &&
           Reference(view.substr(0, view.size() - 2), name).match(0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) {
        std::abort();  // the reference needs the C library's Unicode case mapping
    }
    return 0;
}

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
