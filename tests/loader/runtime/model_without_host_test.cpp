// The module model in a program without the host library, as qmloader links it: an ARX
// application, which only a host can load, is refused instead of failing the link or crashing.
#include <gtest/gtest.h>
#include <qmtest/relocated_user.h>

#include <string>

#include "runtime/qm_application.h"

namespace {

class ModelWithoutHostTest : public qmtest::RelocatedTest {};

TEST_F(ModelWithoutHostTest, ArxApplicationIsRefusedWithoutAHost) {
    // The same file loads when a host is there (module_record_tests).
    const std::string arx = qmtest::binDir() + "/qmtest_runtime_arx.arx";
    for (const char* command : {"", "QMTEST_ARX_HELLO"}) {
        EXPECT_FALSE(qm::QmApplication(arx, "", "arx", command, false).Load(qm::ArxLoader{}))
            << command;
    }
    qm::ApplicationSet set{qm::QmApplication(arx, "", "arx", "", false)};
    EXPECT_FALSE(qm::LoadApplications(set, qm::ArxLoader{}));
}

}  // namespace
