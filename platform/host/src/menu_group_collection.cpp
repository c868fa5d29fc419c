#include "menu_group_collection.h"

#include <algorithm>
#include <unordered_set>

#include "menu_group.h"
#include "text_util.h"

namespace cadhost {

namespace {

// The open folder of the last file asked for, kept while the next files lie in it too.
class LastFolder {
public:
    // absolute path's folder, open for readMenuFile, or not open when the folder cannot be
    // opened (the file is then looked up by its whole path, and fails as it would). A root
    // folder keeps its separator ("/", "C:/"): without it, "C:" would be the drive's working
    // folder.
    const qmsys::FolderHandle* of(const std::string& absolute) {
        const std::size_t slash = absolute.rfind('/');
        const bool root = slash == 0 || (slash == 2 && absolute[1] == ':');
        const std::string_view folder =
            std::string_view(absolute).substr(0, root ? slash + 1 : slash);
        if (folder != path_) {
            path_ = folder;
            folder_ = qmsys::FolderHandle::open(path_);
        }
        return &folder_;
    }

private:
    std::string path_;
    qmsys::FolderHandle folder_;
};

}  // namespace

MenuGroupCollection::~MenuGroupCollection() {
    if (store_.appended() > 0) {
        store_.compact();
    }
}

HRESULT MenuGroupCollection::get_Count(std::int32_t& count) {
    std::lock_guard lock(mutex_);
    count = static_cast<std::int32_t>(groups_.size());
    return S_OK;
}

HRESULT MenuGroupCollection::Item(std::int32_t index, std::shared_ptr<IAcadMenuGroup>& group) {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= groups_.size()) {
        return E_INVALIDARG;
    }
    group = groups_[static_cast<std::size_t>(index)];
    return S_OK;
}

HRESULT MenuGroupCollection::get_ChangeCount(std::uint64_t& count) {
    if (!offersChangeCount_) {
        return E_NOTIMPL;
    }
    std::lock_guard lock(mutex_);
    count = changes_;
    return S_OK;
}

HRESULT MenuGroupCollection::Load(const std::string& menuFile, bool baseMenu,
                                  std::shared_ptr<IAcadMenuGroup>& group) {
    if (menuFile.empty() || baseMenu) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(mutex_);
    std::shared_ptr<MenuGroup> loaded;
    const HRESULT hr = loadLocked(absolutePath(menuFile), loaded);
    if (hr == S_OK) {
        store_.remember(loaded->menuFile());
        compactWhenLongLocked();
        group = loaded;
    }
    return hr;
}

HRESULT MenuGroupCollection::loadLocked(const std::string& path, std::shared_ptr<MenuGroup>& group,
                                        const qmsys::FolderHandle* folder,
                                        qmsys::LetterCaseIndex* names) {
    auto definition = readMenuFile(path, folder, names);
    if (!definition || findLocked(definition->groupName)) {
        return E_FAIL;
    }
    group = std::make_shared<MenuGroup>(weak_from_this(), path, std::move(*definition));
    groups_.push_back(group);
    byName_.emplace(asciiUpper(group->name()), group);
    ++changes_;
    return S_OK;
}

HRESULT MenuGroupCollection::unload(MenuGroup& group) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(groups_.begin(), groups_.end(),
                                 [&](const auto& g) { return g.get() == &group; });
    if (it == groups_.end()) {
        return E_FAIL;
    }
    if (group.definition().refusesUnload) {
        return E_ACCESSDENIED;
    }
    group.markUnloaded();
    byName_.erase(asciiUpper(group.name()));
    groups_.erase(it);
    ++changes_;
    store_.forget(group.menuFile());
    compactWhenLongLocked();
    return S_OK;
}

bool MenuGroupCollection::contains(std::string_view groupName) const {
    return findByName(groupName) != nullptr;
}

std::shared_ptr<MenuGroup> MenuGroupCollection::findByName(std::string_view groupName) const {
    std::lock_guard lock(mutex_);
    return findLocked(groupName);
}

std::shared_ptr<MenuGroup> MenuGroupCollection::findLocked(std::string_view groupName) const {
    const auto it = byName_.find(asciiUpper(groupName));
    return it == byName_.end() ? nullptr : it->second;
}

std::vector<MenuGroupInfo> MenuGroupCollection::groups() const {
    std::lock_guard lock(mutex_);
    std::vector<MenuGroupInfo> out;
    for (const auto& g : groups_) {
        out.push_back(MenuGroupInfo{g->name(), g->menuFile(), g->definition()});
    }
    return out;
}

void MenuGroupCollection::restore() {
    std::lock_guard lock(mutex_);
    std::unordered_set<std::string> loaded;  // files loaded already stay remembered
    for (const auto& g : groups_) {
        loaded.insert(g->menuFile());
    }
    std::vector<std::string> failed;
    bool compact = false;
    // Remembered menus mostly share a folder: it is opened once and each file is looked up in
    // it, instead of the whole path being looked up for every file.
    LastFolder folder;
    // Menus remembered in another letter case than their files: each folder is listed once for
    // the whole restore (docs/PERFORMANCE.md: Letter case).
    qmsys::LetterCaseIndex names;
    for (const std::string& path : store_.read(&compact)) {
        std::shared_ptr<MenuGroup> ignored;
        const std::string absolute = absolutePath(path);
        if (!loaded.contains(absolute) &&
            loadLocked(absolute, ignored, folder.of(absolute), &names) != S_OK) {
            failed.push_back(path);
        }
    }
    // A list that is compact and lost nothing needs no rewrite (nor a second read under the
    // lock): changes other hosts append meanwhile stay in the file either way.
    if (!compact || !failed.empty()) {
        store_.compact(failed);
    }
}

void MenuGroupCollection::compactWhenLongLocked() {
    if (store_.appended() > 2 * groups_.size() + 64) {
        store_.compact();
    }
}

}  // namespace cadhost
