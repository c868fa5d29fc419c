#pragma once
// The host's automation application object: the door to its menu groups.
#include <memory>

#include "cadhost/automation.h"

namespace cadhost {

class MenuGroupCollection;

class AutomationApplication final : public IAcadApplication {
public:
    explicit AutomationApplication(std::shared_ptr<MenuGroupCollection> groups)
        : groups_(std::move(groups)) {}
    HRESULT get_MenuGroups(std::shared_ptr<IAcadMenuGroups>& groups) override;

private:
    std::shared_ptr<MenuGroupCollection> groups_;
};

}  // namespace cadhost
