#pragma once
// The menus of one module: menu file name, menus folder and, once known, the host menu group
// it forms. Names are unique within a list without regard to ASCII case.
#include <cassert>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qm {

struct MenuEntry {
    // A file name ending in ".cuix", or a base name without extension that denotes an .mnu
    // source menu. Its language code is part of it (the three characters before ".cuix", or
    // the last three characters of a base name).
    std::string name;
    // The module's menus folder as the definition gives it: relative to the installation or
    // absolute, '\' or '/' separators. LoadMenuList may rewrite it.
    std::string folder;
    // Host menu group formed by this menu; empty until first found or loaded.
    std::string groupName;
    bool flag = true;
};

class MenuList {
public:
    MenuList() = default;
    MenuList(const MenuList& other) : entries_(other.entries_) { reindex(); }
    MenuList& operator=(const MenuList& other) {
        if (this != &other) {
            entries_ = other.entries_;
            reindex();
        }
        return *this;
    }
    MenuList(MenuList&&) noexcept = default;
    MenuList& operator=(MenuList&&) noexcept = default;
    ~MenuList() = default;

    // False, and no change, when the name is already present (case-insensitive). Amortised
    // constant time, so a definition with many menus costs linear time to read.
    bool AddMenu(std::string name, std::string folder);
    // Index of the entry whose name matches without regard to case, or Count(). (Names are
    // unique, so the first match is also the last.)
    std::size_t FindMenu(const std::string& name) const;
    bool HasMenu(const std::string& name) const { return FindMenu(name) < Count(); }
    std::size_t Count() const { return entries_.size(); }
    // Makes room for n entries in all, so that adding up to that many allocates once.
    void Reserve(std::size_t n) { entries_.reserve(n); }
    bool empty() const { return entries_.empty(); }
    // Name of entry index; an index at or past the end yields the last entry's name.
    // Precondition: the list is not empty.
    const std::string& MenuNameAt(std::size_t index) const;
    // Replaces this list by source's entries (names, folders and known group names).
    void CopyMenuList(const MenuList& source);

    // Entries may be changed in place except for their names, which the index keys on.
    // i < Count().
    MenuEntry& operator[](std::size_t i) {
        assert(i < entries_.size() && "menu index out of range");
        return entries_[i];
    }
    const MenuEntry& operator[](std::size_t i) const {
        assert(i < entries_.size() && "menu index out of range");
        return entries_[i];
    }
    auto begin() { return entries_.begin(); }
    auto end() { return entries_.end(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    // Removes the entries [first, last); first <= last <= Count().
    void Erase(std::size_t first, std::size_t last);
    void Clear();

private:
    // Up to this many entries a lookup compares names one by one: nearly every module has
    // one or two menus, and an index would cost more than it saves.
    static constexpr std::size_t kUnindexedLimit = 8;
    void reindex();

    std::vector<MenuEntry> entries_;
    // ASCII-folded name -> index in entries_, kept beside the list for constant-time lookups
    // once it holds more than kUnindexedLimit entries; null until then, so that the lists of
    // tens of thousands of modules do not each carry an empty map (docs/PERFORMANCE.md:
    // applications in one array).
    std::unique_ptr<std::unordered_map<std::string, std::size_t>> index_;
};

}  // namespace qm
