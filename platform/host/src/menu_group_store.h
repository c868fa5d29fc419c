#pragma once
// The user's remembered partial menus: one menu file path per line, in collection order. The
// file is replaced atomically (written under a temporary name, then renamed), so that several
// host processes of one user never see half a list; the last writer wins.
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
    // The remembered paths; empty when the file is missing or unreadable.
    std::vector<std::string> read() const;
    // Replaces the list. Paths holding a line break cannot be remembered and are left out.
    // False when the file could not be written; the old list then stays.
    bool write(const std::vector<std::string>& paths) const;

private:
    std::string file_;
};

}  // namespace cadhost
