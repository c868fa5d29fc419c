#include "menu_group.h"

#include "menu_group_collection.h"

namespace cadhost {

HRESULT MenuGroup::get_Name(std::string& name) {
    if (!loaded_) {
        return E_FAIL;
    }
    name = definition_.groupName;
    return S_OK;
}

HRESULT MenuGroup::get_MenuFileName(std::string& path) {
    if (!loaded_) {
        return E_FAIL;
    }
    path = menuFile_;
    return S_OK;
}

HRESULT MenuGroup::Unload() {
    const auto collection = collection_.lock();
    if (!collection) {
        return E_FAIL;
    }
    return collection->unload(*this);
}

}  // namespace cadhost
