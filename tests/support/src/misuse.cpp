#include "qmtest/misuse.h"

#include <gtest/gtest.h>

namespace qmtest {

void expectEachStopsAtItsAssert(std::initializer_list<Misuse> cases) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const Misuse& c : cases) {
        EXPECT_DEATH(c.misuse(), c.message) << c.label;
    }
}

}  // namespace qmtest
