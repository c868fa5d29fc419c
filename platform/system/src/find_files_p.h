#pragma once
// What findFiles and FolderIndex share: reading a folder's entries and the NTFS entry order.
#include <string>
#include <string_view>
#include <vector>

#include "qmsys/file_identity.h"
#include "qmsys/files.h"
#include "qmsys/handle.h"

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
bool readFolder(const std::string& folder, std::vector<FolderEntry>& entries,
                const std::string* pattern = nullptr);
// Every entry of folder but "." and "..", in the order the file system gives them, and in
// opened the identity of the folder as it was opened, taken before its first entry is read. One
// open, one status and the reads: no separate look-up of the path. False when folder cannot
// be opened as a folder. keep: when given, receives the open folder instead of its being
// closed; none on failure.
bool readFolderWithStatus(const std::string& folder, std::vector<FolderEntry>& entries,
                          FileIdentity& opened, FileHandle* keep = nullptr);

// Whether something (a link included, not followed) has the name path.
bool entryExists(const std::string& path);

// Puts entries in NTFS order (ntfsLess).
void sortNtfs(std::vector<FolderEntry>& entries);

// wildcardMatch for a pattern and a name that are folded already (upcaseName).
bool foldedMatch(std::string_view pattern, std::string_view name);

// NTFS keeps a folder's entries sorted by upper-cased UTF-16 name (compareFileNames). Names
// that differ only in case (possible here, not on NTFS) are ordered by their exact text.
bool ntfsLess(const std::string& a, const std::string& b);

}  // namespace qmsys
