// FindFirstFileW/FindNextFileW over one folder, with the wildcard rules and the entry order
// that programs written for NTFS rely on.
#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <memory>

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
// letters folded. Backtracks to the most recent '*' only, which is enough for these patterns.
bool plainMatch(std::string_view pattern, std::string_view name) {
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

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    if (plainMatch(pattern, name)) {
        return true;
    }
    // A trailing ".*" also matches names without that dot, so "*.*" matches every name and
    // "readme.*" matches "readme", as on Windows.
    const std::string_view view(pattern);
    return view.size() >= 2 && view.substr(view.size() - 2) == ".*" &&
           plainMatch(view.substr(0, view.size() - 2), name);
}

bool ntfsLess(const std::string& a, const std::string& b) {
    const int folded = compareUtf16Folded(a, b, CaseFold::Upper);
    return folded != 0 ? folded < 0 : compareUtf16Folded(a, b, CaseFold::None) < 0;
}

namespace {

// Sorts by ntfsLess, comparing upper-cased copies made once per entry instead of folding both
// names in every comparison. Where UTF-16 order is byte order (utf16OrderIsByteOrder) the
// copies compare as plain bytes, ties by the exact names; any other name takes the full
// comparison.
void sortNtfs(std::vector<FolderEntry>& entries) {
    struct Keyed {
        std::string upper;
        bool plain;  // utf16OrderIsByteOrder
        FolderEntry* entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (FolderEntry& entry : entries) {
        Keyed k{entry.name, utf16OrderIsByteOrder(entry.name), &entry};
        for (char& c : k.upper) {
            c = asciiUpper(c);
        }
        keyed.push_back(std::move(k));
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (!a.plain || !b.plain) {
            return ntfsLess(a.entry->name, b.entry->name);
        }
        const int folded = a.upper.compare(b.upper);
        return folded != 0 ? folded < 0 : a.entry->name < b.entry->name;
    });
    std::vector<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (Keyed& k : keyed) {
        sorted.push_back(std::move(*k.entry));
    }
    entries.swap(sorted);
}

}  // namespace

bool readFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                const std::string* pattern, bool ordered) {
    entries.clear();
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
            (pattern && !wildcardMatch(*pattern, name))) {
            continue;
        }
        const EntryKind kind = entry->d_type == DT_REG   ? EntryKind::File
                               : entry->d_type == DT_DIR ? EntryKind::Folder
                                                         : EntryKind::Unknown;
        entries.push_back(FolderEntry{name, kind});
    }
    if (ordered) {
        sortNtfs(entries);
    }
    return true;
}

std::vector<std::string> findFiles(const std::string& folder, const std::string& pattern) {
    std::vector<FolderEntry> entries;
    readFolder(folder, entries, &pattern);
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (FolderEntry& entry : entries) {
        names.push_back(std::move(entry.name));
    }
    return names;
}

}  // namespace qmsys
