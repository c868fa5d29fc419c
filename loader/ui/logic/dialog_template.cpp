#include "ui/logic/dialog_template.h"

#include "ui/logic/resource_strings.h"

namespace qm::ui {
namespace {

using enum ControlKind;
using enum StringId;

constexpr ControlTemplate kLoaderControls[] = {
    {kIdGrid, CustomControl, LoaderGrid, 11, 6, 337, 146},
    {kIdLoad, PushButton, LoaderLoad, 355, 6, 50, 14},
    {kIdUnload, PushButton, LoaderUnload, 355, 23, 50, 14},
    {kIdStartNoAction, ImageButton, std::nullopt, 355, 48, 50, 14},
    {kIdStartLoadMenuOnly, ImageButton, std::nullopt, 355, 64, 50, 14},
    {kIdStartLoadModule, ImageButton, std::nullopt, 355, 80, 50, 14},
    {kIdProductName, StaticText, LoaderProductName, 12, 162, 186, 8},
    {kIdProducts, StaticText, LoaderProducts, 12, 180, 186, 8},
    {kIdOptions, PushButton, LoaderOptions, 12, 204, 50, 14},
    {kIdOk, PushButton, ButtonOk, 193, 204, 50, 14},
    {kIdApply, PushButton, LoaderApply, 247, 204, 50, 14},
    {kIdCancelButton, PushButton, ButtonCancel, 301, 204, 50, 14},
    {kIdHelp, PushButton, ButtonHelp, 356, 204, 50, 14},
};

constexpr ControlTemplate kOptionsControls[] = {
    {-1, GroupBox, OptionsGroup, 7, 5, 208, 184},
    {kIdModuleList, CheckListBox, std::nullopt, 15, 17, 191, 149},
    {kIdRefresh, PushButton, OptionsRefresh, 15, 169, 50, 14},
    {kIdPleaseWait, StaticText, OptionsPleaseWait, 115, 169, 91, 14, kCentreVertically},
    {kIdVersion, StaticText, OptionsVersion, 141, 234, 70, 11, kCentreVertically | kDisabled},
    {kIdOk, DefaultPushButton, ButtonOk, 30, 252, 50, 13},
    {kIdCancel, PushButton, ButtonCancel, 85, 252, 50, 13},
    {kIdHelp, PushButton, ButtonHelp, 140, 252, 50, 13},
};

// The Options template's height is not part of the resource text we have; 272 leaves the same
// bottom margin under its buttons as the loader's template has under its own.
constexpr DialogTemplate kTemplates[] = {
    {kDialogModuleLoader, LoaderCaption, 419, 224, "MS Shell Dlg", 8, true, false, kLoaderControls},
    {kDialogOptions, OptionsCaption, 222, 272, "MS Shell Dlg", 8, false, true, kOptionsControls},
};

}  // namespace

const DialogTemplate* DialogTemplate::load(int id) {
    if (CurrentStringTable() == nullptr) {
        return nullptr;
    }
    for (const DialogTemplate& t : kTemplates) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

const ControlTemplate* DialogTemplate::control(int controlId) const {
    for (const ControlTemplate& c : controls) {
        if (c.id == controlId) {
            return &c;
        }
    }
    return nullptr;
}

}  // namespace qm::ui
