#pragma once
// The host's menu groups, in load order, behind the automation interface. Safe to use from
// several threads; every load and unload is recorded in the user's remembered list before it
// returns.
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <qmsys/handle.h>

#include "cadhost/automation.h"
#include "cadhost/host.h"
#include "menu_group_store.h"

namespace cadhost {

class MenuGroup;

class MenuGroupCollection final : public IAcadMenuGroups,
                                  public std::enable_shared_from_this<MenuGroupCollection> {
public:
    // changeCount false: get_ChangeCount gives E_NOTIMPL.
    explicit MenuGroupCollection(MenuGroupStore store, bool changeCount = true)
        : store_(std::move(store)), offersChangeCount_(changeCount) {}
    // Leaves the remembered list compacted.
    ~MenuGroupCollection() override;

    HRESULT get_Count(std::int32_t& count) override;
    // E_INVALIDARG for an index outside 0..count-1.
    HRESULT Item(std::int32_t index, std::shared_ptr<IAcadMenuGroup>& group) override;
    // E_INVALIDARG for an empty name or baseMenu true (only partial menus are supported);
    // E_FAIL when the file cannot be read, names no group, or its group (compared without
    // regard to case) is already loaded; the collection is then unchanged.
    HRESULT Load(const std::string& menuFile, bool baseMenu,
                 std::shared_ptr<IAcadMenuGroup>& group) override;
    HRESULT get_ChangeCount(std::uint64_t& count) override;

    HRESULT unload(MenuGroup& group);
    bool contains(std::string_view groupName) const;
    std::shared_ptr<MenuGroup> findByName(std::string_view groupName) const;
    std::vector<MenuGroupInfo> groups() const;

    // Loads every remembered file that still loads, then rewrites the list without those that
    // did not.
    void restore();

private:
    // path: absolute and tidy (see absolutePath). folder: path's folder, when open. names:
    // the letter-case listings of the caller's pass (readMenuFile), or null.
    HRESULT loadLocked(const std::string& path, std::shared_ptr<MenuGroup>& group,
                       const qmsys::FolderHandle* folder = nullptr,
                       qmsys::LetterCaseIndex* names = nullptr);
    std::shared_ptr<MenuGroup> findLocked(std::string_view groupName) const;
    // Compacts the remembered list once its appended changes outnumber the groups, so that the
    // file stays proportional to what is loaded at an amortised constant cost per change.
    void compactWhenLongLocked();

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<MenuGroup>> groups_;
    // groups_ by upper-cased name (names compare with ASCII letters folded).
    std::unordered_map<std::string, std::shared_ptr<MenuGroup>> byName_;
    std::uint64_t changes_ = 0;  // bumped by every load and unload; guarded by mutex_
    MenuGroupStore store_;       // guarded by mutex_
    const bool offersChangeCount_;
};

}  // namespace cadhost
