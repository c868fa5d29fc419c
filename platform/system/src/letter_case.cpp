// One rule for paths written in another letter case than their entries, with the listings a
// pass keeps so that each folder is read once (docs/PERFORMANCE.md: Letter case).
#include "qmsys/letter_case.h"

#include <algorithm>
#include <vector>

#include "find_files_p.h"
#include "qmsys/files.h"
#include "qmsys/text.h"

namespace qmsys {

struct LetterCaseIndex::Folder {
    bool listed = false;
    bool read = false;  // listed, and so a folder under this path when it was
    // The entries as listed, until a second name is looked for here: one lookup compares them
    // in place, which costs less than folding them all into the map (a one-off resolution).
    std::vector<std::string> names;
    bool indexed = false;
    // Each folded name's entries in NTFS order (nearly always one), once indexed.
    std::unordered_map<std::string, std::vector<std::string>> byFolded;
};

namespace {

// path split at its last separator: the folder ("" for a bare name, "/" for an entry of the
// root, doubled separators before the name dropped) and the name.
struct Split {
    std::string folder;
    std::string name;
};

Split split(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {"", path};
    }
    const std::size_t end = path.find_last_not_of('/', slash);
    return {end == std::string::npos ? "/" : path.substr(0, end + 1), path.substr(slash + 1)};
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

void insert(std::vector<std::string>& entries, const std::string& name) {
    const auto at = std::lower_bound(entries.begin(), entries.end(), name, ntfsLess);
    if (at == entries.end() || *at != name) {
        entries.insert(at, name);
    }
}

}  // namespace

LetterCaseIndex::LetterCaseIndex() = default;
LetterCaseIndex::~LetterCaseIndex() = default;

std::string LetterCaseIndex::resolve(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    if (entryExists(path)) {
        return path;
    }
#if defined(_WIN32)
    // The system found no entry of any letter case.
    return {};
#else
    return resolveMissing(path);
#endif
}

std::string LetterCaseIndex::resolveMissing(const std::string& path) {
    // A trailing separator stays; the path before it is what is looked for.
    const std::size_t last = path.find_last_not_of('/');
    if (last == std::string::npos) {
        return {};  // only separators: the root, which exists
    }
    if (last + 1 < path.size()) {
        const std::string resolved = resolve(path.substr(0, last + 1));
        return resolved.empty() ? resolved : resolved + "/";
    }
    const Split parts = split(path);
    // The folder is tried as written first too: only the components missing as written list
    // their folders. One listed already under this path is taken as it is, as its listing is.
    const std::string folder = parts.folder.empty() || listedAsWritten(parts.folder)
                                   ? parts.folder
                                   : resolve(parts.folder);
    if (!parts.folder.empty() && folder.empty()) {
        return {};
    }
    if (parts.name == "." || parts.name == "..") {
        const std::string joined = join(folder, parts.name);
        return entryExists(joined) ? joined : std::string();
    }
    const std::string* entry = entryOf(folder, parts.name);
    return entry ? join(folder, *entry) : std::string();
}

std::string LetterCaseIndex::placeFor(const std::string& path) {
    const Split parts = split(path);
    if (parts.folder.empty() || listedAsWritten(parts.folder)) {
        return path;
    }
    const std::string folder = resolve(parts.folder);
    return folder.empty() ? folder : join(folder, parts.name);
}

bool LetterCaseIndex::listedAsWritten(const std::string& folder) const {
    const auto found = folders_.find(folder);
    return found != folders_.end() && found->second.read;
}

const std::string* LetterCaseIndex::entryOf(const std::string& folder, const std::string& name) {
    Folder& listing = folders_[folder];
    if (!listing.listed) {
        listing.listed = true;
        std::vector<FolderEntry> entries;
        FileIdentity opened;
        if (readFolderWithStatus(folder, entries, opened)) {
            ++folderReads_;
            listing.read = true;
            listing.names.reserve(entries.size());
            for (FolderEntry& entry : entries) {
                listing.names.push_back(std::move(entry.name));
            }
        }
        const std::string* first = nullptr;
        for (const std::string& entry : listing.names) {
            if (compareFileNames(entry, name) == 0 && (!first || ntfsLess(entry, *first))) {
                first = &entry;
            }
        }
        return first;
    }
    if (!listing.indexed) {
        listing.indexed = true;
        listing.byFolded.reserve(listing.names.size());
        for (const std::string& entry : listing.names) {
            insert(listing.byFolded[upcaseName(entry)], entry);
        }
        listing.names = {};
    }
    const auto found = listing.byFolded.find(upcaseName(name));
    return found == listing.byFolded.end() || found->second.empty() ? nullptr
                                                                    : &found->second.front();
}

void LetterCaseIndex::added(const std::string& path) {
    const Split parts = split(path);
    const auto found = folders_.find(parts.folder);
    if (found == folders_.end() || !found->second.listed) {
        return;
    }
    Folder& listing = found->second;
    if (!listing.indexed) {
        listing.names.push_back(parts.name);
    } else {
        insert(listing.byFolded[upcaseName(parts.name)], parts.name);
    }
}

void LetterCaseIndex::removed(const std::string& path) {
    const Split parts = split(path);
    const auto found = folders_.find(parts.folder);
    if (found == folders_.end()) {
        return;
    }
    Folder& listing = found->second;
    if (!listing.indexed) {
        std::erase(listing.names, parts.name);
    } else if (const auto entries = listing.byFolded.find(upcaseName(parts.name));
               entries != listing.byFolded.end()) {
        std::erase(entries->second, parts.name);
    }
}

std::string resolveLetterCase(const std::string& path) {
    return LetterCaseIndex().resolve(path);
}

}  // namespace qmsys
