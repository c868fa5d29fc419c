#include "runtime/menu_list.h"

#include <qmsys/text.h>

namespace qm {

bool MenuList::AddMenu(const std::string& name, const std::string& folder) {
    if (HasMenu(name)) {
        return false;
    }
    entries_.push_back(MenuEntry{name, folder, {}, true});
    return true;
}

std::size_t MenuList::FindMenu(const std::string& name) const {
    std::size_t found = entries_.size();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (qmsys::iequals(entries_[i].name, name)) {
            found = i;
        }
    }
    return found;
}

const std::string& MenuList::MenuNameAt(std::size_t index) const {
    return entries_[index < entries_.size() ? index : entries_.size() - 1].name;
}

void MenuList::CopyMenuList(const MenuList& source) {
    entries_.clear();
    entries_.reserve(source.entries_.size());
    for (const MenuEntry& e : source.entries_) {
        AddMenu(e.name, e.folder);
        if (!e.groupName.empty()) {
            entries_[FindMenu(e.name)].groupName = e.groupName;
        }
    }
}

void MenuList::Erase(std::size_t first, std::size_t last) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(first),
                   entries_.begin() + static_cast<std::ptrdiff_t>(last));
}

}  // namespace qm
