#include "runtime/menu_group_automation.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <unordered_map>
#include <vector>

#include <qmsys/text.h>

#include "environment/diagnostic_log.h"
#include "environment/fnv1a.h"
#include "environment/names.h"
#include "environment/path_util.h"
#include "environment/str_cat.h"

namespace qm {
namespace {

constexpr std::string_view kLogCategory = "menu";

// Hashes and compares names with ASCII letters folded, and takes views: the index is searched
// with the name as the caller has it, and a lookup (thousands at start-up, most of them finding
// nothing) neither folds into a buffer nor allocates. The hash is deliberately not noexcept:
// libstdc++ then keeps each entry's hash beside it instead of hashing every entry a lookup
// passes again (docs/PERFORMANCE.md: hash maps keep each entry's hash).
struct AsciiBlindHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return static_cast<std::size_t>(
            fnv1a(text, kFnvOffsetBasis, [](char c) { return qmsys::asciiLower(c); }));
    }
};
struct AsciiBlindEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return qmsys::asciiLower(x) == qmsys::asciiLower(y);
               });
    }
};
using PositionsByName =
    std::unordered_map<std::string, std::vector<std::size_t>, AsciiBlindHash, AsciiBlindEqual>;

bool isProductGroupName(std::string_view name) {
    return (name.size() > 3 && name.substr(0, 4) == "KRQM") ||
           (name.size() > 2 && name.substr(0, 3) == "QCO");
}

std::string hresultText(cadhost::HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
    return buffer;
}

}  // namespace

MenuGroupAutomation::Hold::Hold(MenuGroupAutomation& owner, const char* operation)
    : owner_(owner), held_(owner.protector_.lock(owner.timeout_)) {
    if (!held_) {
        owner_.Log(strCat({operation, ": \"", names::kMenuProtectorMutex, "\" not acquired within ",
                           std::to_string(owner_.timeout_.count()), " ms"}));
    }
}

MenuGroupAutomation::Hold::~Hold() {
    if (held_) {
        owner_.protector_.unlock();
    }
}

// The loaded groups in collection order, with hash lookups by group name and by menu file
// title (both with ASCII case folded). Unloaded groups stay as dead items so that positions,
// and with them "first in collection order", keep their meaning (docs/PERFORMANCE.md:
// menu-group index).
struct MenuGroupAutomation::Index {
    std::uint64_t changeCount = 0;  // the host's count this index describes
    struct Item {
        std::shared_ptr<cadhost::IAcadMenuGroup> group;
        std::string name;
        bool alive = true;
    };
    std::vector<Item> items;
    PositionsByName byName;   // by group name
    PositionsByName byTitle;  // by menu file title
    std::unordered_map<const cadhost::IAcadMenuGroup*, std::size_t> byGroup;

    // menuFile null: the host could not tell the group's file; it is then found by name only.
    void add(std::shared_ptr<cadhost::IAcadMenuGroup> group, std::string name,
             const std::string* menuFile) {
        const std::size_t at = items.size();
        byName[name].push_back(at);
        if (menuFile) {
            byTitle[std::string(path::fileTitleView(*menuFile))].push_back(at);
        }
        byGroup[group.get()] = at;
        items.push_back(Item{std::move(group), std::move(name), true});
    }
    // The first live item under key (in any ASCII case), or null.
    Item* first(const PositionsByName& map, std::string_view key) {
        const auto it = map.find(key);
        if (it == map.end()) {
            return nullptr;
        }
        for (std::size_t i : it->second) {
            if (items[i].alive) {
                return &items[i];
            }
        }
        return nullptr;
    }
    void markUnloaded(const cadhost::IAcadMenuGroup* group) {
        if (const auto it = byGroup.find(group); it != byGroup.end()) {
            items[it->second].alive = false;
        }
    }
};

MenuGroupAutomation::MenuGroupAutomation(DiagnosticLog& log, std::chrono::milliseconds timeout)
    : log_(log), timeout_(timeout), protector_(std::string(names::kMenuProtectorMutex)) {}

MenuGroupAutomation::~MenuGroupAutomation() = default;

MenuGroupAutomation::Index* MenuGroupAutomation::CurrentIndex(cadhost::IAcadMenuGroups& groups) {
    std::uint64_t changes = 0;
    if (groups.get_ChangeCount(changes) != cadhost::S_OK) {
        index_.reset();
        return nullptr;  // no way to tell whether an index is current: walk instead
    }
    if (index_ && index_->changeCount == changes) {
        return index_.get();
    }
    index_.reset();
    std::int32_t count = 0;
    if (groups.get_Count(count) != cadhost::S_OK) {
        return nullptr;
    }
    auto index = std::make_unique<Index>();
    index->changeCount = changes;
    for (std::int32_t i = 0; i < count; ++i) {
        std::shared_ptr<cadhost::IAcadMenuGroup> group;
        std::string name;
        std::string menuFile;
        if (groups.Item(i, group) != cadhost::S_OK || !group ||
            group->get_Name(name) != cadhost::S_OK) {
            continue;
        }
        const bool hasFile = group->get_MenuFileName(menuFile) == cadhost::S_OK;
        index->add(std::move(group), std::move(name), hasFile ? &menuFile : nullptr);
    }
    // Should the walk have raced with a change by another thread of the host, the count has
    // moved past changes and the next lookup builds the index again.
    index_ = std::move(index);
    return index_.get();
}

void MenuGroupAutomation::NoteOwnChange(cadhost::IAcadMenuGroups& groups, std::uint64_t before,
                                        const std::function<void(Index&)>& update) {
    std::uint64_t after = 0;
    if (index_ && index_->changeCount == before && groups.get_ChangeCount(after) == cadhost::S_OK &&
        after == before + 1) {
        update(*index_);
        index_->changeCount = after;
    } else {
        index_.reset();
    }
}

void MenuGroupAutomation::Log(const std::string& text) {
    log_.write(kLogCategory, text);
}

std::shared_ptr<cadhost::IAcadMenuGroups> MenuGroupAutomation::Collection(const char* operation) {
    cadhost::IAcadApplication* application = acedGetAcadWinApp();
    if (!application) {
        Log(std::string(operation) + ": no host application object");
        return nullptr;
    }
    std::shared_ptr<cadhost::IAcadMenuGroups> groups;
    const cadhost::HRESULT hr = application->get_MenuGroups(groups);
    if (hr != cadhost::S_OK || !groups) {
        Log(std::string(operation) + ": menu groups unavailable (" + hresultText(hr) + ")");
        return nullptr;
    }
    return groups;
}

std::optional<MenuGroupAutomation::FoundGroup> MenuGroupAutomation::FindMenuGroup(
    std::string_view name, FindMode mode) {
    if (name.empty()) {
        return std::nullopt;
    }
    const std::shared_ptr<cadhost::IAcadMenuGroups> groups = Collection("FindMenuGroup");
    if (!groups) {
        return std::nullopt;
    }
    if (mode != FindMode::ProductGroups) {
        if (Index* index = CurrentIndex(*groups)) {
            Index::Item* item = mode == FindMode::ByName
                                    ? index->first(index->byName, name)
                                    : index->first(index->byTitle, path::fileTitleView(name));
            if (!item) {
                return std::nullopt;
            }
            return FoundGroup{item->group, item->name};
        }
    }
    const std::string wanted = mode == FindMode::ByFile ? path::fileTitle(name) : std::string(name);
    std::int32_t count = 0;
    if (groups->get_Count(count) != cadhost::S_OK) {
        return std::nullopt;
    }
    std::optional<FoundGroup> result;
    for (std::int32_t i = 0; i < count; ++i) {
        std::shared_ptr<cadhost::IAcadMenuGroup> group;
        if (groups->Item(i, group) != cadhost::S_OK || !group) {
            continue;
        }
        std::string groupName;
        if (group->get_Name(groupName) != cadhost::S_OK) {
            continue;
        }
        if (mode == FindMode::ProductGroups) {
            if (isProductGroupName(groupName)) {
                result = FoundGroup{group, {}};
            }
            continue;
        }
        std::string compared = groupName;
        if (mode == FindMode::ByFile) {
            std::string menuFile;
            if (group->get_MenuFileName(menuFile) != cadhost::S_OK) {
                continue;
            }
            compared = path::fileTitle(menuFile);
        }
        if (qmsys::iequals(compared, wanted)) {
            return FoundGroup{group, groupName};
        }
    }
    return result;
}

bool MenuGroupAutomation::FindMenuGroupByFile(const std::string& pathOrName,
                                              std::string& groupName) {
    const Hold hold(*this, "FindMenuGroupByFile");
    if (!hold) {
        return false;
    }
    std::optional<FoundGroup> found = FindMenuGroup(pathOrName, FindMode::ByFile);
    if (!found) {
        return false;
    }
    groupName = std::move(found->name);
    return true;
}

bool MenuGroupAutomation::FindMenuGroupsByFile(
    const std::vector<std::string_view>& pathsOrNames,
    std::vector<std::pair<std::size_t, std::string>>& found) {
    found.clear();
    const Hold hold(*this, "FindMenuGroupsByFile");
    if (!hold) {
        return false;
    }
    for (std::size_t i = 0; i < pathsOrNames.size(); ++i) {
        if (std::optional<FoundGroup> group = FindMenuGroup(pathsOrNames[i], FindMode::ByFile)) {
            found.emplace_back(i, std::move(group->name));
        }
    }
    return true;
}

bool MenuGroupAutomation::LoadMenuGroupFile(const std::string& menuFile, std::string& groupName) {
    const Hold hold(*this, "LoadMenuGroupFile");
    if (!hold) {
        return false;
    }
    const std::shared_ptr<cadhost::IAcadMenuGroups> groups = Collection("LoadMenuGroupFile");
    if (!groups) {
        return false;
    }
    std::uint64_t before = 0;
    groups->get_ChangeCount(before);
    std::shared_ptr<cadhost::IAcadMenuGroup> group;
    const cadhost::HRESULT hr = groups->Load(menuFile, false, group);
    if (hr != cadhost::S_OK || !group) {
        Log("LoadMenuGroupFile: \"" + menuFile + "\" not loaded (" + hresultText(hr) + ")");
        return false;
    }
    std::string name;
    group->get_Name(name);
    NoteOwnChange(*groups, before, [&](Index& index) {
        std::string loadedFrom;
        const bool hasFile = group->get_MenuFileName(loadedFrom) == cadhost::S_OK;
        index.add(group, name, hasFile ? &loadedFrom : nullptr);
    });
    groupName = name;
    return true;
}

bool MenuGroupAutomation::UnloadMenuGroupByName(const std::string& groupName) {
    const Hold hold(*this, "UnloadMenuGroupByName");
    if (!hold) {
        return false;
    }
    std::optional<FoundGroup> found = FindMenuGroup(groupName, FindMode::ByName);
    if (!found) {
        return false;
    }
    // The lookup has just brought the index up to the host's count.
    const std::uint64_t before = index_ ? index_->changeCount : 0;
    const cadhost::HRESULT hr = found->group->Unload();
    if (hr == cadhost::S_OK) {
        if (const std::shared_ptr<cadhost::IAcadMenuGroups> groups =
                Collection("UnloadMenuGroupByName")) {
            NoteOwnChange(*groups, before,
                          [&](Index& index) { index.markUnloaded(found->group.get()); });
        } else {
            index_.reset();
        }
    }
    if (hr != cadhost::S_OK) {
        Log("UnloadMenuGroupByName: host refused to unload \"" + groupName + "\" (" +
            hresultText(hr) + ")");
    }
    return hr == cadhost::S_OK;
}

void MenuGroupAutomation::UnloadProductMenuGroups() {
    const Hold hold(*this, "UnloadProductMenuGroups");
    if (!hold) {
        return;
    }
    // The lookup ignores the name in this mode but refuses an empty one.
    const std::string placeholder = "KRQM";
    try {
        while (std::optional<FoundGroup> found =
                   FindMenuGroup(placeholder, FindMode::ProductGroups)) {
            const cadhost::HRESULT hr = found->group->Unload();
            if (hr != cadhost::S_OK) {
                std::string name;
                found->group->get_Name(name);
                Log("UnloadProductMenuGroups: host refused to unload \"" + name + "\" (" +
                    hresultText(hr) + "); sweep ended");
                return;
            }
        }
    } catch (const std::exception& e) {
        Log(std::string("UnloadProductMenuGroups: sweep ended by ") + e.what());
    }
}

}  // namespace qm
