#pragma once
// A module's settings as the loader keeps them for the current user (string values in the
// module's key, see product_keys.h), written and read through a store connection of the
// test's own, as another program would.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qmtest {

// Stores each (name, value) pair, creating the module's key when it is missing. Fails the
// test when the store refuses.
void storeModuleSettings(const std::string& module,
                         const std::vector<std::pair<std::string, std::string>>& values);

// Stores one of the environment's values (kKernelServicesKey: "Language", "Current Config"),
// creating the key when it is missing. Fails the test when the store refuses.
void storeKernelService(const std::string& name, const std::string& value);

// A stored setting; nullopt when the key or the value is missing, or the value is no string.
std::optional<std::string> storedModuleSetting(const std::string& module, const std::string& name);

}  // namespace qmtest
