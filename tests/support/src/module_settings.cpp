#include "qmtest/module_settings.h"

#include <gtest/gtest.h>
#include <qmreg/registry.h>

#include "qmtest/product_keys.h"

namespace qmtest {

void storeModuleSettings(const std::string& module,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser));
    const std::string key = moduleSettingsKey(module);
    ASSERT_TRUE(hive.createKey(key)) << key;
    for (const auto& [name, value] : values) {
        ASSERT_TRUE(hive.setValue(key, qmreg::Value::string(name, value))) << key << " " << name;
    }
}

void storeKernelService(const std::string& name, const std::string& value) {
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser));
    ASSERT_TRUE(hive.createKey(kKernelServicesKey));
    ASSERT_TRUE(hive.setValue(kKernelServicesKey, qmreg::Value::string(name, value))) << name;
}

std::optional<std::string> storedModuleSetting(const std::string& module, const std::string& name) {
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
    const auto value = hive.getValue(moduleSettingsKey(module), name);
    if (!value || !value->isString()) {
        return std::nullopt;
    }
    return value->asString();
}

}  // namespace qmtest
