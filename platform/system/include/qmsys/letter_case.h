#pragma once
// Windows opens, stats, lists and copies a path whatever letter case it is written in: NTFS
// compares names through its upper-case table (upcaseName). The stand-ins give the same result
// by one rule: a path is used as written first, so a path that exists costs nothing more; only
// a component missing as written is looked for among its folder's entries, as the entry whose
// name folds equal to it (the first in NTFS order where several do, which NTFS itself never
// allows). On Windows the system applies the rule itself: nothing is listed here.
//
// The file services of qmsys (files.h, file_identity.h, handle.h) apply the rule to whole paths
// on their own, listing what they need for that one call. A caller that looks up many names in
// the same folders keeps a LetterCaseIndex for its pass instead (a start-up, one restore of
// remembered menus): each folder is then listed once, however many names are looked up in it,
// and each name costs a hash lookup. The index is the pass's view of the folders it listed:
// entries that others add or remove during the pass are seen by the next pass, entries the pass
// itself creates or removes are seen at once when it says so (added, removed; copyFile does for
// the copies it makes). A name found as written never asks the index, so a stale view can only
// cost a name that exists in another letter case and nothing else.
//
// Not thread-safe: one thread uses an index from creation to destruction.
#include <cstdint>
#include <string>
#include <unordered_map>

namespace qmsys {

class LetterCaseIndex {
public:
    LetterCaseIndex();
    ~LetterCaseIndex();
    LetterCaseIndex(const LetterCaseIndex&) = delete;
    LetterCaseIndex& operator=(const LetterCaseIndex&) = delete;

    // The path of the entry path names under the rule: path itself when it exists as written
    // (one lstat); otherwise each component missing as written replaced by its folder's entry
    // of the same folded name, with one separator between components. Empty when some
    // component has no such entry. "." and ".." stay.
    std::string resolve(const std::string& path);

    // The path under which an entry named as path would be created: its folder resolved (see
    // resolve), its name as written. Empty when the folder cannot be found.
    std::string placeFor(const std::string& path);

    // Entries the index's user created or removed at path: listings taken before see them.
    void added(const std::string& path);
    void removed(const std::string& path);

    // Folders listed so far, for tests and benchmarks.
    std::uint64_t folderReads() const { return folderReads_; }

private:
    struct Folder;
    // The entry of folder (a path that exists) whose name folds equal to name, or nullptr.
    const std::string* entryOf(const std::string& folder, const std::string& name);
    std::string resolveMissing(const std::string& path);
    // Whether folder was listed under this very path in this pass.
    bool listedAsWritten(const std::string& folder) const;

    std::unordered_map<std::string, Folder> folders_;  // by the folder's path as resolved
    std::uint64_t folderReads_ = 0;
};

}  // namespace qmsys
