#include "runtime/menu_group_automation.h"

#include <cstdio>
#include <exception>
#include <unordered_map>
#include <vector>

#include <qmsys/text.h>

#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "environment/path_util.h"

namespace qm {
namespace {

constexpr std::string_view kLogCategory = "menu";

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

// Holds the protector for one operation; released on every path out, exceptions included.
class MenuGroupAutomation::Hold {
public:
    Hold(MenuGroupAutomation& owner, const char* operation)
        : owner_(owner), held_(owner.protector_.lock(owner.timeout_)) {
        if (!held_) {
            owner_.Log(std::string(operation) + ": \"" + std::string(names::kMenuProtectorMutex) +
                       "\" not acquired within " + std::to_string(owner_.timeout_.count()) + " ms");
        }
    }
    ~Hold() {
        if (held_) {
            owner_.protector_.unlock();
        }
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    explicit operator bool() const { return held_; }

private:
    MenuGroupAutomation& owner_;
    bool held_;
};

// The loaded groups in collection order, with hash lookups by group name and by menu file
// title (both with ASCII case folded). Unloaded groups stay as dead items so that positions,
// and with them "first in collection order", keep their meaning.
struct MenuGroupAutomation::Index {
    struct Item {
        std::shared_ptr<cadhost::IAcadMenuGroup> group;
        std::string name;
        bool alive = true;
    };
    std::vector<Item> items;
    std::unordered_map<std::string, std::vector<std::size_t>> byName;
    std::unordered_map<std::string, std::vector<std::size_t>> byTitle;
    std::unordered_map<const cadhost::IAcadMenuGroup*, std::size_t> byGroup;
    std::int32_t alive = 0;  // items not marked unloaded: the host's count while nobody else acts

    // An index of the collection as it is now, or null when it cannot be read.
    static std::unique_ptr<Index> Build(cadhost::IAcadMenuGroups& groups) {
        std::int32_t count = 0;
        if (groups.get_Count(count) != cadhost::S_OK) {
            return nullptr;
        }
        auto index = std::make_unique<Index>();
        for (std::int32_t i = 0; i < count; ++i) {
            std::shared_ptr<cadhost::IAcadMenuGroup> group;
            std::string name;
            std::string menuFile;
            if (groups.Item(i, group) != cadhost::S_OK || !group ||
                group->get_Name(name) != cadhost::S_OK) {
                continue;
            }
            group->get_MenuFileName(menuFile);
            index->add(std::move(group), std::move(name), menuFile);
        }
        // Items skipped above still count, so that only a change of the collection differs.
        index->alive = count;
        return index;
    }

    void add(std::shared_ptr<cadhost::IAcadMenuGroup> group, std::string name,
             const std::string& menuFile) {
        const std::size_t at = items.size();
        byName[qmsys::asciiLower(name)].push_back(at);
        byTitle[qmsys::asciiLower(path::fileTitle(menuFile))].push_back(at);
        byGroup[group.get()] = at;
        items.push_back(Item{std::move(group), std::move(name), true});
        ++alive;
    }
    // The first live item under key, or null.
    Item* first(const std::unordered_map<std::string, std::vector<std::size_t>>& map,
                const std::string& key) {
        const auto it = map.find(qmsys::asciiLower(key));
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
        if (const auto it = byGroup.find(group); it != byGroup.end() && items[it->second].alive) {
            items[it->second].alive = false;
            --alive;
        }
    }
};

MenuGroupAutomation::MenuGroupAutomation(DiagnosticLog& log, std::chrono::milliseconds timeout)
    : log_(log), timeout_(timeout), protector_(std::string(names::kMenuProtectorMutex)) {}

MenuGroupAutomation::~MenuGroupAutomation() = default;

MenuGroupAutomation::Batch::Batch(MenuGroupAutomation& owner) : owner_(owner) {
    const Hold hold(owner_, "Batch");
    const std::shared_ptr<cadhost::IAcadMenuGroups> groups =
        hold ? owner_.Collection("Batch") : nullptr;
    if (groups) {
        // Without an index every lookup walks the collection as usual.
        owner_.index_ = Index::Build(*groups);
    }
}

MenuGroupAutomation::Batch::~Batch() {
    owner_.index_.reset();
}

std::optional<MenuGroupAutomation::FoundGroup> MenuGroupAutomation::FindIndexed(
    const std::string& name, FindMode mode) {
    // Code outside this object (an application started meanwhile) may have loaded or unloaded
    // groups. A count that differs from the index's shows it, and the index is built anew;
    // counting is one call, so lookups stay cheap while nothing else acts.
    const std::shared_ptr<cadhost::IAcadMenuGroups> groups = Collection("FindMenuGroup");
    std::int32_t count = 0;
    if (!groups || groups->get_Count(count) != cadhost::S_OK) {
        return std::nullopt;
    }
    if (count != index_->alive) {
        Log("menu groups changed by others during a batch (" + std::to_string(index_->alive) +
            " known, " + std::to_string(count) + " loaded): index rebuilt");
        std::unique_ptr<Index> rebuilt = Index::Build(*groups);
        if (!rebuilt) {
            return std::nullopt;
        }
        index_ = std::move(rebuilt);
    }
    Index::Item* item = mode == FindMode::ByName
                            ? index_->first(index_->byName, name)
                            : index_->first(index_->byTitle, path::fileTitle(name));
    if (!item) {
        return std::nullopt;
    }
    return FoundGroup{item->group, item->name};
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
    const std::string& name, FindMode mode) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (index_ && mode != FindMode::ProductGroups) {
        return FindIndexed(name, mode);
    }
    const std::shared_ptr<cadhost::IAcadMenuGroups> groups = Collection("FindMenuGroup");
    if (!groups) {
        return std::nullopt;
    }
    const std::string wanted = mode == FindMode::ByFile ? path::fileTitle(name) : name;
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
    groupName = found->name;
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
    std::shared_ptr<cadhost::IAcadMenuGroup> group;
    const cadhost::HRESULT hr = groups->Load(menuFile, false, group);
    if (hr != cadhost::S_OK || !group) {
        Log("LoadMenuGroupFile: \"" + menuFile + "\" not loaded (" + hresultText(hr) + ")");
        return false;
    }
    std::string name;
    group->get_Name(name);
    if (index_) {
        std::string loadedFrom;
        group->get_MenuFileName(loadedFrom);
        index_->add(group, name, loadedFrom);
    }
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
    const cadhost::HRESULT hr = found->group->Unload();
    if (hr == cadhost::S_OK && index_) {
        index_->markUnloaded(found->group.get());
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
