#pragma once
// The user's remembered partial menus, kept in one file as a journal so that a change costs one
// appended line, however many menus are remembered:
//   - a line "-PATH" forgets PATH;
//   - any other line remembers itself, so a compacted file is the plain list of paths, one a
//     line, in collection order (as older hosts wrote it).
// Replaying the lines in order gives the list: a path remembered again after being forgotten
// moves to the end; remembering a path already remembered changes nothing. A last line without
// its line break is a change cut short by a crash and is ignored.
//
// Every change reaches the file before the call returns (an append, no fsync), so the list
// survives a crash or kill of the host. Several host processes of one user share the file:
// their changes interleave line by line, and a compaction (the replayed list written under a
// temporary name, then renamed over the file) holds the file's lock, as does every append, so
// that no change is lost to it. Not safe for concurrent use by threads of one process; the
// collection serialises its calls.
#include <string>
#include <vector>

namespace cadhost {

class MenuGroupStore {
public:
    // file empty: nothing is remembered.
    explicit MenuGroupStore(std::string file) : file_(std::move(file)) {}

    // <XDG state folder>/cadhost/menugroups.list (see qmsys::xdgFolder).
    static std::string defaultFile();

    const std::string& file() const { return file_; }
    // The remembered paths, in order; empty when the file is missing or unreadable. compact,
    // when given, tells whether the file is that plain list already (compact() would leave it
    // alone).
    std::vector<std::string> read(bool* compact = nullptr) const;
    // Record that path was loaded or unloaded. Paths holding a line break or beginning with '-'
    // (never an absolute path) cannot be remembered and are left out. False when the file
    // could not be written.
    bool remember(const std::string& path);
    bool forget(const std::string& path);
    // Appended lines since this store last compacted (or was made).
    std::size_t appended() const { return appended_; }
    // Rewrites the file as the plain list it replays to, without the paths in drop. Does
    // nothing to a missing file, nor to one that is that list already. False when the file could
    // not be read or replaced; it is then unchanged.
    bool compact(const std::vector<std::string>& drop = {});

private:
    bool append(const std::string& line);

    std::string file_;
    std::size_t appended_ = 0;
};

}  // namespace cadhost
