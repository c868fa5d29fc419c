#pragma once
// FindFirstFileW pattern lookups at indexed cost, for one pass over many lookups in the same
// folders (a start-up, one menu list's provisioning). The first lookup in a folder reads it
// once; later ones answer by binary search over its folded names, O(log n + matches), with
// exactly the results of findFiles: same names, same order, same case and ".*" rules.
//
// A folder's listing is revalidated by one stat before every lookup: another identity
// (FileIdentity: device, inode, size, change or modification time) reads it again. A listing
// made within the clock tick of the folder's last change is used once and read again next
// time, because a change later in that same tick would not move the folder's times
// (FileIdentity::stampedBefore).
// So a listing is never stale, also after this process's own writes; forget() saves the stat
// that would find out.
//
// A user whose lookups come in rounds that change nothing in the folders they list (one menu
// list's provisioning reads the installation and writes only the user's copies) calls
// beginRound() before each: a listing then is stat'ed at most once per round, and its later
// lookups in the same round answer without any system call. Changes by others within a round
// are seen in the next one.
//
// Besides listings it remembers, for the pass, whether paths that the pass itself does not
// change exist (the installation root, a configuration file, the user's menus folders):
// exists() stats a path once per pass.
//
// A folder or path written in another letter case than its entries is found as on Windows,
// through the index's LetterCaseIndex (names()), which its user shares for the other lookups of
// the pass: a folder missing as written is listed once for the pass.
//
// Not thread-safe: one thread uses an index from creation to destruction.
#include <cstdint>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "qmsys/handle.h"
#include "qmsys/letter_case.h"

namespace qmsys {

class FolderIndex {
public:
    FolderIndex();
    ~FolderIndex();
    FolderIndex(const FolderIndex&) = delete;
    FolderIndex& operator=(const FolderIndex&) = delete;

    struct Match {
        std::string name;
        bool folder = false;  // from the listing, or from stat where the listing cannot tell
    };

    // The entries of folder whose names match pattern, as findFiles returns them, each with
    // whether it is a folder. False (and no matches) when folder cannot be read.
    bool find(const std::string& folder, const std::string& pattern, std::vector<Match>& out);

    // Whether path exists, stat'ed once per pass. For paths the pass does not create or
    // remove; forget(path) when it does.
    bool exists(const std::string& path);

    // Drops what is known of path: its listing if it is a folder, its existence otherwise.
    void forget(const std::string& path);

    // Starts a round: every listing is revalidated at its next lookup, and then trusted for
    // the rest of the round. Before the first call, every lookup revalidates.
    void beginRound();

    // In rounds, a folder whose listing was read in this round stays open until the round
    // ends, so that the attributes of its entries are looked up without walking the folder's
    // path again: the open folder, or null (look the whole path up) for any other folder.
    const FolderHandle* openFolder(const std::string& folder) const;

    // The pass's letter-case lookups, which this index uses too.
    LetterCaseIndex& names() { return names_; }

    // Folders read so far (each full read counts), for tests and benchmarks.
    std::uint64_t folderReads() const { return folderReads_; }

private:
    struct Listing;
    Listing* current(const std::string& folder);

    // Closes the folders of the listings kept open in the current round.
    void closeRoundFolders();

    LetterCaseIndex names_;
    std::unordered_map<std::string, Listing> listings_;
    std::unordered_map<std::string, bool> existence_;
    std::vector<std::string> openFolders_;  // listings holding their folder open this round
    std::uint64_t folderReads_ = 0;
    std::uint64_t round_ = 0;  // 0: no rounds, revalidate at every lookup
    std::thread::id owner_;    // the thread that made the index
};

}  // namespace qmsys
