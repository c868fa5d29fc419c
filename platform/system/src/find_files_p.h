#pragma once
// What findFiles and FolderIndex share: reading a folder's entries and the NTFS entry order.
#include <string>
#include <vector>

namespace qmsys {

// The kind of an entry as the folder listing tells it; Unknown when the file system does not
// say (or the entry is a symbolic link), so that callers ask stat.
enum class EntryKind { File, Folder, Unknown };

struct FolderEntry {
    std::string name;
    EntryKind kind = EntryKind::Unknown;
};

// Every entry of folder but "." and ".." (only those matching pattern, when given), in NTFS
// order. False when the folder cannot be opened ("" means the current folder).
// ordered false: in the order the file system gives them, for a caller that orders only what
// it picks out.
bool readFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                const std::string* pattern = nullptr, bool ordered = true);

// NTFS keeps a folder's entries sorted by upper-cased UTF-16 name. Names that differ only in
// case (possible here, not on NTFS) are ordered by their exact text.
bool ntfsLess(const std::string& a, const std::string& b);

}  // namespace qmsys
