#include "ui/logic/menu_template.h"

#include "ui/logic/resource_strings.h"

namespace qm::ui {
namespace {

constexpr MenuItemTemplate kMenu6009[] = {
    {kCmdLoad, StringId::MenuLoad},
    {kCmdUnload, StringId::MenuUnload},
    {0, std::nullopt},
    {kCmdNoAction, StringId::MenuNoAction},
    {kCmdLoadMenuOnly, StringId::MenuLoadMenuOnly},
    {kCmdLoadModule, StringId::MenuLoadModule},
};
constexpr MenuTemplate kGridContextMenu{kMenu6009};

}  // namespace

const MenuTemplate* MenuTemplate::load(int id) {
    if (CurrentStringTable() == nullptr || id != kMenuGridContext) {
        return nullptr;
    }
    return &kGridContextMenu;
}

}  // namespace qm::ui
