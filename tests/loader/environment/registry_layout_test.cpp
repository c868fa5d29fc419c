#include "environment/registry_layout.h"

#include <gtest/gtest.h>
#include <qmenv/environment.h>

#include "qmtest/relocated_user.h"

namespace {

class RegistryLayoutTest : public qmtest::RelocatedTest {};

TEST_F(RegistryLayoutTest, ModuleKeysHangBelowTheModulesKey) {
    const std::string k = QmEnGetRegistryKey();
    EXPECT_EQ(qm::registry_layout::moduleKey("QM_ROADS"), k + "\\Quillmont modules\\QM_ROADS");
    // An empty key name names the parent key itself.
    EXPECT_EQ(qm::registry_layout::moduleKey(""), k + "\\Quillmont modules");
    EXPECT_EQ(qm::registry_layout::recentConfigKey(), k + "\\ModuleLoader\\Startup\\Recent");
}

}  // namespace
