#pragma once
// Message texts of the checker's report, with the keys under which a message file may
// override them. The root-directory key really begins with STR_ID_: message files in the
// field use it that way.
#include "checker/start_up_checker_lib.h"

namespace qm::checker_messages {

inline constexpr CheckerMessage kRegKeyNotFound{"ID_STR_REG_KEY_NOT_FOUND",
                                                "Registry key not found"};
inline constexpr CheckerMessage kHkeyCurrentUser{"ID_STR_HKEY_CURRENT_USER", "HKEY_CURRENT_USER"};
inline constexpr CheckerMessage kCantSetRootDir{"STR_ID_CANT_SET_ROOT_DIR",
                                                "Can not set root directory for Quillmont"};
inline constexpr CheckerMessage kRegStringValue{"ID_STR_REG_STRING_VALUE", "Registry String Value"};
inline constexpr CheckerMessage kNotFound{"ID_STR_NOT_FOUND", "not found"};
inline constexpr CheckerMessage kMissingRegistryKey{"ID_STR_MISSING_REGISTRY_KEY",
                                                    "Missing registry key"};
inline constexpr CheckerMessage kMissingConfigurationFile{"ID_STR_MISSING_CONFIGURATION_FILE",
                                                          "Missing configuration file"};
inline constexpr CheckerMessage kCouldNotOpenDirectory{"ID_STR_COULD_NOT_OPEN_DIRECTORY",
                                                       "Could not open directory"};
inline constexpr CheckerMessage kCouldNotCreateDirectory{"ID_STR_COULD_NOT_CREATE_DIRECTORY",
                                                         "Could not create directory"};
inline constexpr CheckerMessage kCouldNotCopyFileFrom{"ID_STR_COULD_NOT_COPY_FILE_FROM",
                                                      "Could not copy file from"};
inline constexpr CheckerMessage kToFile{"ID_STR_TO_FILE", "to file"};
inline constexpr CheckerMessage kErrorMessage{"ID_STR_ERROR_MSG", "Error message"};

}  // namespace qm::checker_messages
