// A library that the module tests open and close. Its static destructor writes the file named
// through qmTestSetFarewell, so that a test sees when the library was really unloaded.
#include <cstdio>

#include "qmsys/module.h"

namespace {

char farewellPath[4096] = {};

struct Farewell {
    ~Farewell() {
        if (farewellPath[0] == '\0') {
            return;
        }
        if (std::FILE* file = std::fopen(farewellPath, "wb")) {
            std::fputs("unloaded\n", file);
            std::fclose(file);
        }
    }
} farewell;

}  // namespace

extern "C" QM_EXPORT void qmTestSetFarewell(const char* path) {
    std::snprintf(farewellPath, sizeof farewellPath, "%s", path);
}

extern "C" QM_EXPORT int qmTestAnswer() {
    return 42;
}
