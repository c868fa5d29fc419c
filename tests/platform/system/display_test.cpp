// Whether a session can show windows, from the environment the way the host program decides
// on its front end.
#include "qmsys/display.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "qmtest/scoped_env.h"

namespace {

struct DisplayCase {
    const char* label;
    std::optional<std::string> platform;  // QT_QPA_PLATFORM; nullopt: unset
    std::optional<std::string> x11;       // DISPLAY
    std::optional<std::string> wayland;   // WAYLAND_DISPLAY
    bool expected;
};

void PrintTo(const DisplayCase& c, std::ostream* os) {
    *os << c.label;
}

class DisplayTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayTest, NeedsANamedDisplayAndAPlatformThatShowsSomething) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows a display is the session's visible window station, not variables";
#endif
    const DisplayCase& c = GetParam();
    const qmtest::ScopedEnv platform("QT_QPA_PLATFORM", c.platform);
    const qmtest::ScopedEnv x11("DISPLAY", c.x11);
    const qmtest::ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(qmsys::displayAvailable(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayTest,
    ::testing::Values(
        DisplayCase{"nothing named", std::nullopt, std::nullopt, std::nullopt, false},
        DisplayCase{"empty names", "", "", "", false},
        DisplayCase{"X11", std::nullopt, ":0", std::nullopt, true},
        DisplayCase{"Wayland", std::nullopt, std::nullopt, "wayland-0", true},
        DisplayCase{"a platform alone is no display", "xcb", std::nullopt, std::nullopt, false},
        DisplayCase{"offscreen hides a named display", "offscreen", ":0", "wayland-0", false},
        DisplayCase{"minimal too, with options", "minimal:enable_fonts", ":0", std::nullopt, false},
        DisplayCase{"a showing platform keeps it", "wayland", std::nullopt, "wayland-0", true}),
    [](const auto& testCase) { return "case" + std::to_string(testCase.index); });

}  // namespace
