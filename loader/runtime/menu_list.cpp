#include "runtime/menu_list.h"

#include <qmsys/text.h>

namespace qm {

bool MenuList::AddMenu(std::string name, std::string folder) {
    if (FindMenu(name) < entries_.size()) {
        return false;  // the first menu of a name wins
    }
    entries_.push_back(MenuEntry{std::move(name), std::move(folder), {}, true});
    if (index_) {
        index_->emplace(qmsys::asciiLower(entries_.back().name), entries_.size() - 1);
    } else if (entries_.size() > kUnindexedLimit) {
        reindex();
    }
    return true;
}

std::size_t MenuList::FindMenu(const std::string& name) const {
    if (!index_) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (qmsys::iequals(entries_[i].name, name)) {
                return i;
            }
        }
        return entries_.size();
    }
    const auto it = index_->find(qmsys::asciiLower(name));
    return it == index_->end() ? entries_.size() : it->second;
}

void MenuList::reindex() {
    index_.reset();
    if (entries_.size() <= kUnindexedLimit) {
        return;
    }
    index_ = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        index_->emplace(qmsys::asciiLower(entries_[i].name), i);
    }
}

const std::string& MenuList::MenuNameAt(std::size_t index) const {
    assert(!entries_.empty() && "MenuNameAt of an empty list");
    return entries_[index < entries_.size() ? index : entries_.size() - 1].name;
}

void MenuList::CopyMenuList(const MenuList& source) {
    Clear();
    entries_.reserve(source.entries_.size());
    for (const MenuEntry& e : source.entries_) {
        AddMenu(e.name, e.folder);
        if (!e.groupName.empty()) {
            entries_[FindMenu(e.name)].groupName = e.groupName;
        }
    }
}

void MenuList::Erase(std::size_t first, std::size_t last) {
    assert(first <= last && last <= entries_.size() && "erased range outside the list");
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(first),
                   entries_.begin() + static_cast<std::ptrdiff_t>(last));
    reindex();
}

void MenuList::Clear() {
    entries_.clear();
    index_.reset();
}

}  // namespace qm
