#pragma once
// Every fixed name the module loader uses: folders and files of the installation, registry
// keys and values, menu groups and module keys. Registry paths keep '\' (registry syntax);
// file-system names use '/'.
#include <string_view>

#include "qm/version.h"

namespace qm::names {

inline constexpr std::string_view kProductVersion = QM_PRODUCT_VERSION;
// Joined under the user's application-data folder: the product's per-user folder, holding one
// folder per configuration.
inline constexpr std::string_view kProductFolderSuffix = "/Brenvik/Quillmont/" QM_PRODUCT_VERSION;
inline constexpr std::string_view kKernelServicesKey =
    "SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Kernel Services";
inline constexpr std::string_view kCheckerConfigFile = "Base/Config/Launchrig.ini";
inline constexpr std::string_view kMenusFolder = "Menus";
inline constexpr std::string_view kDefinitionExtension = "xml";
inline constexpr std::string_view kDefinitionSchema = "QM_Module.xsd";
inline constexpr std::string_view kDefinitionsFolder = "Zadod/Modules";
inline constexpr std::string_view kBaseModuleKey = "QM_BASE";
inline constexpr std::string_view kHelpName = "Quillmont_Base_Help";
inline constexpr int kHelpTopic = 10100;

// Menus.
inline constexpr std::string_view kBaseMenuPrefix = "KRQM_Base_Menu_";
inline constexpr std::string_view kBaseMenuFolder = "Base/Menus";
inline constexpr std::string_view kQcoSourceMenu = "Base/Menus/KRQM_QCO_Menu_<LANGCODE>.mnu";
inline constexpr std::string_view kQcoUserMenu = "Menus/KRQM_QCO_Menu_<LANGCODE>.mnu";
inline constexpr std::string_view kGroupModuleLoader = "KRQM_MODULELOADER";
inline constexpr std::string_view kGroupBase = "KRQM_BASE";
inline constexpr std::string_view kGroupQco = "KRQM_QCO";

// Host integration.
inline constexpr std::string_view kCommandGroup = "KRQM_MODULELOADER";
inline constexpr std::string_view kCommandName = "KRQM_ModuleLoader_Arx";
inline constexpr std::string_view kLispCommandLine = "krqm_CheckCommandlineSetting";
inline constexpr std::string_view kLispInsUnits = "krqm_CheckInsUnitsDefSourceSetting";
inline constexpr std::string_view kSingleInstanceMutex = "ModuleLoader App Class 19.10";
inline constexpr std::string_view kMenuProtectorMutex = "MenuLoaderProtector";
inline constexpr std::string_view kResourceModule = "QmModuleLoader";
inline constexpr std::string_view kMessageCaption = "Quillmont";

// Registry values.
inline constexpr std::string_view kValueCurrentConfig = "Current Config";
inline constexpr std::string_view kValueLanguage = "Language";
inline constexpr std::string_view kValueAutostartDisable = "ModulesAutostartDisable";
inline constexpr std::string_view kValueCheckCommandLine = "CheckCommandlineSetting";
inline constexpr std::string_view kValueCheckInsUnits = "CheckInsUnitsDefSourceSetting";
inline constexpr std::string_view kValueStartupMessageDone = "StartupMessageDone";
inline constexpr std::string_view kValueActivated = "Activated";
inline constexpr std::string_view kValueAutoStart = "AutoStart";
inline constexpr std::string_view kValueDemandLoad = "DemandLoad";
inline constexpr std::string_view kValueOverrideMajor = "OverrideVersionMajor";
inline constexpr std::string_view kValueOverrideMinor = "OverrideVersionMinor";
inline constexpr std::string_view kTrue = "True";
inline constexpr std::string_view kFalse = "False";

// Dialog persistence.
inline constexpr std::string_view kDialogName = "KRQM_MODULELOADER";

}  // namespace qm::names
