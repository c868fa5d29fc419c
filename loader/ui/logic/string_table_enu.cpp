// English resources ("enu").
#include "ui/logic/string_table.h"

namespace qm::ui {
namespace {

using enum StringId;

constexpr StringTable::Entry kEntries[] = {
    {ModuleNameHeader, "Module name"},
    {Version, "Version"},
    {MenuHeader, "Menu"},
    {EventHeader, "Event"},
    {AutostartHeader, "Autostart"},
    {DemandLoadHeader, "Demand load"},
    {Unloaded, "UNLOADED"},
    {Loaded, "LOADED"},
    {EventLoad, "Load"},
    {EventUnload, "Unload"},
    {EventLoadMenu, "Load menu"},
    {EventUnloadMenu, "Unload menu"},
    {EventHeaderTip, "Load / unload module"},
    {MenuHeaderTip, "State of menu: Loaded / Unloaded / Not available - it cannot find menu file"},
    {StartupHeader, "Startup"},
    {StartupHeaderTip, "CAD startup options"},
    {NoAction, "No action"},
    {LoadMenuOnly, "Load menu only"},
    {NoModules, "Unable to read module loader configuration files from \"%s/Zadod/Modules\"."},
    {Welcome,
     "Please configure modules used in your Quillmont installation\n\n"
     "You can safely uncheck the modules you don't plan to use.\n\n"
     "You can change this configuration anytime from the Module Loader,\n"
     "by selecting the Options button."},
    {LoadModule, "Load module"},
    {UnloadModule, "Unload module"},

    {AutostartHeaderTip,
     "This option loads the module's menu automatically when the CAD host starts."},
    {DemandLoadHeaderTip,
     "With this option the module is brought up with the CAD host without being started."},
    {ApplyFailure, "Module <%s> using key %s failed!\nProcess: %s\n"},
    {ApplyLabelLoadModule, "Load module (menu and programs)"},
    {ApplyLabelUnloadModule, "Unload module"},
    {ApplyLabelLoadMenu, "Load menu"},
    {ApplyLabelUnloadMenu, "Unload menu"},
    {ApplyTooManyErrors, "\nTo many errors. All errors will not be displayed!"},
    {OptionsInternalError, "Internal error. Try again."},
    {NeedsGuiHost,
     "The Module Loader dialog needs the GUI host (start cadhost without --console)."},
    {DialogsNotLoaded, "The Module Loader dialogs cannot be loaded."},

    {LoaderCaption, "Quillmont Moduleloader"},
    {LoaderGrid, "Grid"},
    {LoaderLoad, "Load"},
    {LoaderUnload, "Unload"},
    {LoaderProductName, "Product name"},
    {LoaderProducts, "CAD products"},
    {LoaderOptions, "Options..."},
    {ButtonOk, "OK"},
    {LoaderApply, "Apply"},
    {ButtonCancel, "Cancel"},
    {ButtonHelp, "Help"},
    {OptionsCaption, "Options"},
    {OptionsGroup, " Available Modules "},
    {OptionsRefresh, "Refresh"},
    {OptionsPleaseWait, "Please wait..."},
    {OptionsVersion, "Version"},
    {MenuLoad, "Load\tCtrl+L"},
    {MenuUnload, "Unload\tCtrl+U"},
    {MenuNoAction, "No action\tCtrl+N"},
    {MenuLoadMenuOnly, "Load menu only\tCtrl+M"},
    {MenuLoadModule, "Load module\tCtrl+I"},
};

constexpr StringTable kTable{"enu", kEntries};

}  // namespace

const StringTable& englishStrings() {
    return kTable;
}

}  // namespace qm::ui
