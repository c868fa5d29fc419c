#pragma once
// One loaded menu group as the automation interface hands it out. The object outlives its
// group: once the group is unloaded (or the collection is gone) every call fails with E_FAIL.
#include <atomic>
#include <memory>
#include <string>

#include "cadhost/automation.h"
#include "cadhost/menu_file.h"

namespace cadhost {

class MenuGroupCollection;

class MenuGroup final : public IAcadMenuGroup {
public:
    MenuGroup(std::weak_ptr<MenuGroupCollection> collection, std::string menuFile,
              MenuDefinition definition)
        : collection_(std::move(collection)),
          menuFile_(std::move(menuFile)),
          definition_(std::move(definition)) {}

    HRESULT get_Name(std::string& name) override;
    HRESULT get_MenuFileName(std::string& path) override;
    // E_ACCESSDENIED for a group whose menu refuses unloading; E_FAIL once unloaded.
    HRESULT Unload() override;

    const std::string& name() const { return definition_.groupName; }
    const std::string& menuFile() const { return menuFile_; }
    const MenuDefinition& definition() const { return definition_; }
    bool loaded() const { return loaded_; }
    void markUnloaded() { loaded_ = false; }

private:
    std::weak_ptr<MenuGroupCollection> collection_;
    const std::string menuFile_;
    const MenuDefinition definition_;
    std::atomic<bool> loaded_{true};
};

}  // namespace cadhost
