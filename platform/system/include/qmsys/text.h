#pragma once
// The one home of the text helpers: comparisons with the Windows semantics the module loader
// depends on, ASCII case, and the UTF-16 view of UTF-8 text (Windows counts lengths and
// buffer sizes in UTF-16 code units). Text is UTF-8.
#include <cassert>
#include <cstddef>
#include <string>
#include <string_view>

namespace qmsys {

// _wcsicmp: folds ASCII letters only. Returns <0, 0, >0.
int icompare(std::string_view a, std::string_view b);
// icompare(a, b) == 0. Folding keeps every byte in its place, so texts of other lengths are
// told apart without a look at their bytes (docs/PERFORMANCE.md: equality without order).
bool iequals(std::string_view a, std::string_view b);

// File names (NTFS) and registry names compare through an upper-case table: each character of
// the Basic Multilingual Plane is upper-cased with the simple Unicode mapping ("ä" and "Ä", "ω"
// and "Ω" are one name; "ß" and "SS" are two); characters outside it (two UTF-16 code units,
// neither of which has an upper case) and bytes that are not UTF-8 stay as they are. Two names
// are the same name exactly when their folded forms are equal byte for byte; a folded name
// holds no lower-case ASCII letter. An ASCII name costs one copy.
std::string upcaseName(std::string_view utf8);
// The same into out, reusing its room; utf8 must not lie inside out.
void upcaseNameInto(std::string_view utf8, std::string& out);

// Compares file names the way NTFS orders a folder: their upcaseName forms in UTF-16 code-unit
// order. 0 means one name for the file system. Pure ASCII names are compared in place.
int compareFileNames(std::string_view a, std::string_view b);

// Compares texts as the user's language sorts them, without regard to case, as a sorted list
// box orders its items. On Windows: CompareStringEx in the user's locale with NORM_IGNORECASE.
// Elsewhere a fixed rule that needs no installed locale: a letter with a diacritic sorts with
// its base letter ("Ö" with "O", "ü" with "u"; "ß" as "ss", "æ" as "ae"), letters without
// regard to case; punctuation and symbols come before digits, digits before letters, and
// letters of other scripts after the Latin ones (by their upper-case form). Texts equal so far
// order a letter without a diacritic before one with. Returns <0, 0, >0; 0 also for texts
// that differ only in case.
int collate(std::string_view a, std::string_view b);

// True when every byte of s is below 0x80.
bool isAscii(std::string_view s);

// Compares two UTF-8 strings in UTF-16 code-unit order: byte order, except that characters
// above U+FFFF (surrogate pairs in UTF-16) sort before U+E000..U+FFFF.
int compareUtf16(std::string_view a, std::string_view b);

// True when every byte of s is below 0xEE, so that s holds no character from U+E000 on. Texts
// that all pass compare in UTF-16 code-unit order byte by byte (std::string::compare agrees in
// sign with compareUtf16, malformed bytes included): sorts use it to skip decoding.
bool utf16OrderIsByteOrder(std::string_view s);

// ASCII case of one byte: only 'A'..'Z' / 'a'..'z' change, so the bytes of multi-byte UTF-8
// characters never do.
constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

// ASCII lower- and upper-casing of a whole string, as the module loader's own lower-casing of
// configuration names and the host's upper-cased command names.
std::string asciiLower(std::string_view s);
std::string asciiUpper(std::string_view s);

// Length of UTF-8 text in UTF-16 code units: one per character, two for a character above
// U+FFFF. A byte that continues no character adds nothing.
std::size_t utf16Length(std::string_view utf8);

// The longest prefix of utf8 that fits maxUnits UTF-16 code units without splitting a
// character (a buffer of maxUnits + 1 wide characters with its terminator).
std::string_view cutToUtf16Units(std::string_view utf8, std::size_t maxUnits);

// How quoted() writes control characters other than \n, \r and \t.
enum class ControlEscape {
    Octal,    // "\ooo", as AutoLISP prints strings
    Unicode,  // "\uXXXX", as JSON requires
};

// text in double quotes with the backslash escapes C-like languages share (\" \\ \n \r \t)
// and the other control characters as controls says; every other byte as it is.
std::string quoted(std::string_view text, ControlEscape controls);

// Conversions between UTF-8 and UTF-16. Malformed UTF-8 and unpaired surrogates become
// U+FFFD, as Windows' converters make them.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Appends cp in UTF-8; cp must be a Unicode scalar value (at most 0x10FFFF, not a surrogate).
// Inline: the registry folds every key and value name through it.
inline void appendUtf8(std::string& out, char32_t cp) {
    assert(cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF) && "not a Unicode scalar value");
    const auto byte = [&out](char32_t bits) { out += static_cast<char>(bits); };
    if (cp < 0x80) {
        byte(cp);
    } else if (cp < 0x800) {
        byte(0xC0 | (cp >> 6));
        byte(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        byte(0xE0 | (cp >> 12));
        byte(0x80 | ((cp >> 6) & 0x3F));
        byte(0x80 | (cp & 0x3F));
    } else {
        byte(0xF0 | (cp >> 18));
        byte(0x80 | ((cp >> 12) & 0x3F));
        byte(0x80 | ((cp >> 6) & 0x3F));
        byte(0x80 | (cp & 0x3F));
    }
}

}  // namespace qmsys
