#include "automation_application.h"

#include "menu_group_collection.h"

namespace cadhost {

HRESULT AutomationApplication::get_MenuGroups(std::shared_ptr<IAcadMenuGroups>& groups) {
    groups = groups_;
    return S_OK;
}

}  // namespace cadhost
