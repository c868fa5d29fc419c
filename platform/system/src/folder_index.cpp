#include "qmsys/folder_index.h"

#include <algorithm>
#include <cassert>

#include "find_files_p.h"
#include "qmsys/file_identity.h"
#include "qmsys/files.h"
#include "qmsys/text.h"

namespace qmsys {

namespace {

// The key a pattern's literal prefix and the names are compared by: letters folded the way
// wildcardMatch folds them, bytes in order. Names sharing a folded prefix are neighbours (a
// character folds to one character, so a folded prefix is the prefix of the folded name).
std::string fold(std::string_view text) {
    return upcaseName(text);
}

// The text before the first wildcard. A trailing ".*" also matches names without the dot, so
// the prefix of the pattern without it counts when that is shorter.
std::string_view literalPrefix(std::string_view pattern) {
    auto prefixOf = [](std::string_view p) { return p.substr(0, p.find_first_of("*?")); };
    std::string_view prefix = prefixOf(pattern);
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        const std::string_view shorter = prefixOf(pattern.substr(0, pattern.size() - 2));
        if (shorter.size() < prefix.size()) {
            prefix = shorter;
        }
    }
    return prefix;
}

}  // namespace

struct FolderIndex::Listing {
    std::string path;  // the folder as found, in the letter case of its entries
    FileIdentity identity;
    bool trusted = false;              // false: read again at the next lookup
    std::uint64_t round = 0;           // the round in which it was last found current
    FolderHandle folder;               // open while the round that read it lasts
    std::vector<FolderEntry> entries;  // as the file system lists them
    // Each entry's name folded, end to end in one buffer: one allocation for a folder of
    // thousands of names instead of one per name (docs/PERFORMANCE.md: folded names in one
    // buffer).
    std::string foldedText;
    // The folded names with their positions in entries, sorted by name: the sort and the
    // binary search compare names that lie side by side with the position they belong to.
    // Offsets, not views: a short buffer lies inside the string and moves with the listing.
    struct Folded {
        std::uint32_t at;
        std::uint32_t size;
        std::uint32_t position;
    };
    std::vector<Folded> byFolded;

    std::string_view name(const Folded& folded) const {
        return std::string_view(foldedText.data() + folded.at, folded.size);
    }
};

FolderIndex::FolderIndex() : owner_(std::this_thread::get_id()) {}

FolderIndex::~FolderIndex() {
    closeRoundFolders();
}

void FolderIndex::beginRound() {
    assert(owner_ == std::this_thread::get_id() && "an index serves the thread that made it");
    closeRoundFolders();
    ++round_;
}

void FolderIndex::closeRoundFolders() {
    for (const std::string& folder : openFolders_) {
        const auto found = listings_.find(folder);
        if (found != listings_.end()) {
            found->second.folder = FolderHandle();
        }
    }
    openFolders_.clear();
}

const FolderHandle* FolderIndex::openFolder(const std::string& folder) const {
    assert(owner_ == std::this_thread::get_id() && "an index serves the thread that made it");
    const auto found = listings_.find(folder);
    return round_ != 0 && found != listings_.end() && found->second.round == round_ &&
                   found->second.folder.isOpen()
               ? &found->second.folder
               : nullptr;
}

FolderIndex::Listing* FolderIndex::current(const std::string& folder) {
    const auto found = listings_.find(folder);
    if (round_ != 0 && found != listings_.end() && found->second.round == round_) {
        return &found->second;  // looked at in this round already
    }
    const FileClockMark now = markLocalFileClock();
    if (found != listings_.end() && found->second.trusted) {
        // Whatever has the name now is the folder listed only if it has the folder's identity.
        FileIdentity seen;
        const std::string& path = found->second.path;
        if (identifyFile(path.empty() ? "." : path, seen) && seen == found->second.identity) {
            found->second.round = round_;
            return &found->second;
        }
    }
    // A first listing costs no separate stat: the folder's identity comes from the descriptor
    // its entries are read from, taken before they are read. Only a lookup's few matches are
    // put in NTFS order: the folder may hold thousands.
    Listing listing;
    listing.path = folder;
    FileHandle kept;
    bool read = readFolderWithStatus(folder, listing.entries, listing.identity,
                                     round_ != 0 ? &kept : nullptr);
    if (!read) {
        // Written in another letter case than the folder's entries, as Windows finds it.
        if (std::string resolved = names_.resolve(folder);
            !resolved.empty() && resolved != folder) {
            listing.path = std::move(resolved);
            read = readFolderWithStatus(listing.path, listing.entries, listing.identity,
                                        round_ != 0 ? &kept : nullptr);
        }
    }
    if (!read) {
        forget(folder);
        return nullptr;
    }
    listing.folder = FolderHandle(std::move(kept));
    ++folderReads_;
    listing.round = round_;
    // Stamped before the clock read above: any later change gets a later time. Stamped within
    // this tick: a later change may share the time, so this listing serves this lookup only.
    listing.trusted = listing.identity.stampedBefore(now);
    std::size_t textSize = 0;
    for (const FolderEntry& entry : listing.entries) {
        textSize += entry.name.size();
    }
    listing.foldedText.reserve(textSize);  // folding keeps an ASCII name's length
    listing.byFolded.reserve(listing.entries.size());
    std::string scratch;
    for (std::uint32_t i = 0; i < listing.entries.size(); ++i) {
        upcaseNameInto(listing.entries[i].name, scratch);
        listing.byFolded.push_back({static_cast<std::uint32_t>(listing.foldedText.size()),
                                    static_cast<std::uint32_t>(scratch.size()), i});
        listing.foldedText.append(scratch);
    }
    std::sort(listing.byFolded.begin(), listing.byFolded.end(),
              [&listing](const Listing::Folded& a, const Listing::Folded& b) {
                  const int order = listing.name(a).compare(listing.name(b));
                  return order != 0 ? order < 0 : a.position < b.position;
              });
    Listing& stored = listings_[folder];
    stored = std::move(listing);  // closes a folder kept before: not reached in rounds
    if (stored.folder.isOpen()) {
        openFolders_.push_back(folder);
    }
    return &stored;
}

bool FolderIndex::find(const std::string& folder, const std::string& pattern,
                       std::vector<Match>& out) {
    assert(owner_ == std::this_thread::get_id() && "an index serves the thread that made it");
    out.clear();
    Listing* listing = current(folder);
    if (!listing) {
        return false;
    }
    // The names are folded already: the pattern is folded once and matched against them.
    const std::string foldedPattern = fold(pattern);
    const std::string_view prefix = literalPrefix(foldedPattern);
    auto it = std::lower_bound(listing->byFolded.begin(), listing->byFolded.end(), prefix,
                               [listing](const Listing::Folded& folded, std::string_view key) {
                                   return listing->name(folded) < key;
                               });
    std::vector<std::size_t> positions;
    for (; it != listing->byFolded.end() && listing->name(*it).starts_with(prefix); ++it) {
        if (foldedMatch(foldedPattern, listing->name(*it))) {
            positions.push_back(it->position);
        }
    }
    std::sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
        return ntfsLess(listing->entries[a].name, listing->entries[b].name);
    });
    out.reserve(positions.size());
    for (const std::size_t i : positions) {
        const FolderEntry& entry = listing->entries[i];
        bool isFolder = entry.kind == EntryKind::Folder;
        if (entry.kind == EntryKind::Unknown) {
            FileAttributes attributes;
            isFolder =
                getFileAttributes(listing->path + "/" + entry.name, attributes) == kErrorSuccess &&
                attributes.directory;
        }
        out.push_back(Match{entry.name, isFolder});
    }
    return true;
}

bool FolderIndex::exists(const std::string& path) {
    assert(owner_ == std::this_thread::get_id() && "an index serves the thread that made it");
    const auto found = existence_.find(path);
    if (found != existence_.end()) {
        return found->second;
    }
    // As written first (the path's own stat), then in another letter case through the pass's
    // listings.
    bool present = existsAsWritten(path);
    if (!present) {
        const std::string resolved = names_.resolve(path);
        present = !resolved.empty() && resolved != path && existsAsWritten(resolved);
    }
    existence_.emplace(path, present);
    return present;
}

void FolderIndex::forget(const std::string& path) {
    assert(owner_ == std::this_thread::get_id() && "an index serves the thread that made it");
    if (const auto found = listings_.find(path); found != listings_.end()) {
        if (found->second.folder.isOpen()) {
            std::erase(openFolders_, path);
        }
        listings_.erase(found);
    }
    existence_.erase(path);
}

}  // namespace qmsys
