#pragma once
// The product's registry keys below HKEY_CURRENT_USER, written out once for the tests, apart
// from the code under test whose own constants they check.
#include <string>

#include "qm/version.h"

namespace qmtest {

// The environment's values: "Current Config", "Language" and the folders of the install.
inline constexpr char kKernelServicesKey[] =
    "SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Kernel Services";

// A module's settings ("Activated", "AutoStart", "DemandLoad"), kept as the strings "True"
// and "False".
inline std::string moduleSettingsKey(const std::string& module) {
    return "SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Quillmont modules\\" + module;
}

}  // namespace qmtest
