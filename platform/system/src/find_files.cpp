// FindFirstFileW/FindNextFileW over one folder, with the wildcard rules and the entry order
// that programs written for NTFS rely on.
#include <algorithm>

#include "find_files_p.h"
#include "qmsys/files.h"
#include "qmsys/text.h"
#include "text_order_p.h"

namespace qmsys {

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// '*' matches any run (also empty), '?' exactly one character; the rest compares with ASCII
// letters folded (callers fold every other letter beforehand). Backtracks to the most recent
// '*' only, which is enough for these patterns.
bool plainMatch(std::string_view pattern, std::string_view name) {
    // Nearly every pattern holds one '*' and no '?' ("*.xml", "name.*"): the name then only
    // has to begin and end with the literal text on either side of it, two comparisons instead
    // of a walk that backtracks at each byte (docs/PERFORMANCE.md: one-star patterns).
    std::size_t star = std::string_view::npos;
    bool oneStar = true;
    for (std::size_t i = 0; oneStar && i < pattern.size(); ++i) {
        if (pattern[i] == '?' || (pattern[i] == '*' && star != std::string_view::npos)) {
            oneStar = false;
        } else if (pattern[i] == '*') {
            star = i;
        }
    }
    if (oneStar && star != std::string_view::npos) {
        const std::string_view head = pattern.substr(0, star);
        const std::string_view tail = pattern.substr(star + 1);
        return name.size() >= head.size() + tail.size() &&
               iequals(name.substr(0, head.size()), head) &&
               iequals(name.substr(name.size() - tail.size()), tail);
    }
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            ++n;
            while (n < name.size() && isContinuation(name[n])) {
                ++n;  // one character, not one byte
            }
        } else if (p < pattern.size() && asciiLower(pattern[p]) == asciiLower(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

bool foldedMatch(std::string_view pattern, std::string_view name) {
    if (plainMatch(pattern, name)) {
        return true;
    }
    // A trailing ".*" also matches names without that dot, so "*.*" matches every name and
    // "readme.*" matches "readme", as on Windows.
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
           plainMatch(pattern.substr(0, pattern.size() - 2), name);
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    // ASCII text, nearly every name, is matched as it is. Other letters fold through the
    // upper-case table: both sides are folded whole first (a character folds to one
    // character, so '?' still takes one).
    if (isAscii(pattern) && isAscii(name)) {
        return foldedMatch(pattern, name);
    }
    return foldedMatch(upcaseName(pattern), upcaseName(name));
}

bool ntfsLess(const std::string& a, const std::string& b) {
    const int folded = compareFileNames(a, b);
    return folded != 0 ? folded < 0 : compareUtf16(a, b) < 0;
}

// Sorts by ntfsLess, comparing upper-cased copies made once per entry instead of folding both
// names in every comparison. Where UTF-16 order is byte order (utf16OrderIsByteOrder, of the
// name and its copy) the copies compare as plain bytes, ties by the exact names; any other
// name compares its copy in UTF-16 order.
void sortNtfs(std::vector<FolderEntry>& entries) {
    struct Keyed {
        std::string upper;
        bool plain;  // utf16OrderIsByteOrder
        FolderEntry* entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (FolderEntry& entry : entries) {
        Keyed k{upcaseName(entry.name), false, &entry};
        k.plain = utf16OrderIsByteOrder(k.upper) && utf16OrderIsByteOrder(entry.name);
        keyed.push_back(std::move(k));
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        const int folded =
            a.plain && b.plain ? a.upper.compare(b.upper) : compareUtf16(a.upper, b.upper);
        if (folded != 0) {
            return folded < 0;
        }
        return a.plain && b.plain ? a.entry->name < b.entry->name
                                  : compareUtf16(a.entry->name, b.entry->name) < 0;
    });
    std::vector<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (Keyed& k : keyed) {
        sorted.push_back(std::move(*k.entry));
    }
    entries.swap(sorted);
}

std::vector<std::string> findFiles(const std::string& folder, const std::string& pattern) {
    std::vector<FolderEntry> entries;
    if (!readFolder(folder, entries, &pattern)) {
        // A folder written in another letter case than its entries.
        if (const std::string resolved = resolveLetterCase(folder);
            !resolved.empty() && resolved != folder) {
            readFolder(resolved, entries, &pattern);
        }
    }
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (FolderEntry& entry : entries) {
        names.push_back(std::move(entry.name));
    }
    return names;
}

}  // namespace qmsys
