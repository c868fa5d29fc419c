// The host in the test process with real test applications loaded through dlopen. AutoLISP
// calls, failing loads, exports and quitting are checked through the cadhost program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <vector>

#include "cadhost/front_end_rules.h"
#include "host_fixture.h"

namespace {

using cadhost::LispCallResult;
using hosttest::arx;
using hosttest::HostTest;
using ::testing::ElementsAre;

TEST_F(HostTest, InitComesBeforeTheFirstDrawingAndEveryDrawingGetsLoadDwg) {
    ASSERT_EQ(host_.loadApplication(arx("hosttest_probe.arx")).status, RTNORM);
    host_.newDrawing();
    EXPECT_THAT(takeLines("probe:"),
                ElementsAre("probe: kInitAppMsg -", "probe: kLoadDwgMsg Drawing1.dwg"));

    // A late application is told about each open drawing with that drawing current, and the
    // current drawing is the same afterwards.
    host_.unloadApplication("hosttest_probe.arx");
    host_.newDrawing();
    takeLines();
    ASSERT_EQ(acedArxLoad(arx("hosttest_probe.arx").c_str()), RTNORM);
    EXPECT_THAT(takeLines("probe:"),
                ElementsAre("probe: kInitAppMsg Drawing2.dwg", "probe: kLoadDwgMsg Drawing1.dwg",
                            "probe: kLoadDwgMsg Drawing2.dwg"));
    EXPECT_EQ(host_.currentDrawing(), "Drawing2.dwg");
}

// An application loaded already answers a load from its own path as loaded, once, without its
// file being looked at again; any other path must name a file.
TEST_F(HostTest, LoadingAnApplicationAgainDependsOnItsPathNotItsFile) {
    const std::string copy = user_.root() + "/apps/hosttest_probe.arx";
    std::filesystem::create_directories(user_.root() + "/apps");
    std::filesystem::copy_file(arx("hosttest_probe.arx"), copy);
    ASSERT_EQ(acedArxLoad(copy.c_str()), RTNORM);
    // Moved away, not removed: Windows removes no library that is loaded.
    std::filesystem::rename(copy, copy + ".away");
    takeLines();
    struct Case {
        std::string path;
        int status;
    };
    std::vector<Case> cases = {
        {copy, RTNORM},
        {user_.root() + "/apps/../apps/hosttest_probe.arx", RTNORM},
        {user_.root() + "/elsewhere/hosttest_probe.arx", RTERROR},
    };
#if defined(_WIN32)
    // Windows spellings of the same path: either separator, the drive letter in either case.
    std::string backslashed = copy;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    std::string lowerDrive = copy;
    lowerDrive[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(copy[0])));
    cases.insert(cases.end(), {{backslashed, RTNORM},
                               {lowerDrive, RTNORM},
                               {user_.root() + "\\apps\\..\\apps/hosttest_probe.arx", RTNORM}});
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(acedArxLoad(c.path.c_str()), c.status) << c.path;
    }
    EXPECT_THAT(takeLines("probe:"), ::testing::IsEmpty()) << "initialised once";
    EXPECT_EQ(host_.applications().size(), 1u);
#if defined(_WIN32)
    // Unloaded by a path in another spelling: it names the same application.
    std::string spelling = backslashed;
    spelling[0] = lowerDrive[0];
    EXPECT_EQ(acedArxUnload(spelling.c_str()), RTNORM) << spelling;
    EXPECT_TRUE(host_.applications().empty());
#endif
}

TEST_F(HostTest, NewDefinesInTheNewDrawingAndCloseUndefinesOnlyThere) {
    host_.newDrawing();
    host_.loadApplication(arx("hosttest_probe.arx"));
    takeLines();
    type({"NEW"});
    EXPECT_THAT(takeLines("probe:"), ElementsAre("probe: kLoadDwgMsg Drawing2.dwg"));
    EXPECT_EQ(host_.currentDrawing(), "Drawing2.dwg");
    EXPECT_EQ(host_.callLisp("probe-int").outcome, LispCallResult::Outcome::Value);
    takeLines();

    type({"CLOSE"});
    EXPECT_THAT(takeLines("probe:"), ElementsAre("probe: kUnloadDwgMsg Drawing2.dwg"));
    EXPECT_EQ(host_.currentDrawing(), "Drawing1.dwg");
    EXPECT_EQ(host_.callLisp("probe-int").outcome, LispCallResult::Outcome::Value);
    takeLines();

    type({"CLOSE", "(probe-int)", "CLOSE"});
    EXPECT_THAT(takeLines(),
                ElementsAre("probe: kUnloadDwgMsg Drawing1.dwg",
                            "; error: no function definition: PROBE-INT", "No drawing is open."));
}

TEST_F(HostTest, CommandsMatchGlobalOrLocalNamesWithoutRegardToCase) {
    host_.loadApplication(arx("hosttest_probe.arx"));
    takeLines();
    type({"HOSTTEST_HELLO", "hosttest_Hallo", "  hosttest_runhello  ", "hosttest_nothing"});
    EXPECT_THAT(
        takeLines(),
        ElementsAre("probe: hello", "probe: hello", "probe: hello", "probe: acedCommandS RTNORM",
                    "Unknown command \"HOSTTEST_NOTHING\".  Press F1 for help."));
    EXPECT_EQ(acedCommandS(RTSTR, "hosttest_nothing", RTNONE), RTERROR);
    EXPECT_EQ(acedCommandS(RTSTR, "hosttest_hello", RTNONE), RTNORM);
    // Outside an AutoLISP call there is no function code and no result to set.
    EXPECT_EQ(acedGetFunCode(), RTERROR);
    EXPECT_EQ(acedRetInt(1), RTERROR);
}

// The command line's history as both windows walk it: Up from a new line keeps what was typed
// and brings it back at the bottom; blank lines and a line repeated at once are kept once.
TEST(CommandHistory, UpAndDownWalkTheLinesEnteredAndComeBackToTheDraft) {
    cadhost::CommandHistory history;
    for (const char* line : {"NEW", "NEW", "  ", "", "ARX", "NEW"}) {
        history.enter(line);
    }
    EXPECT_EQ(history.lines(), (std::vector<std::string>{"NEW", "ARX", "NEW"}));
    // One key a row: Up (given the text being edited) or Down, and the line it shows.
    struct Step {
        bool up;
        std::optional<std::string> shown;
    };
    const Step steps[] = {
        {true, "NEW"},  {true, "ARX"},  {true, "NEW"},    {true, std::nullopt},
        {false, "ARX"}, {false, "NEW"}, {false, "draft"}, {false, std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const auto shown =
            steps[i].up ? history.older(i == 0 ? "draft" : "edited") : history.newer();
        EXPECT_EQ(shown, steps[i].shown) << "key " << i;
    }
    // An entry starts the walk below the newest line again, with a new draft.
    history.older("x");
    history.enter("CLOSE");
    EXPECT_EQ(history.older("y"), "CLOSE");
    EXPECT_EQ(history.newer(), "y");
}

// A window is made to fit the work area as Windows places a restored window: shrunk to the
// area, then moved the least that brings it inside; a minimum size wins over the area, and the
// window then starts at the area's corner.
TEST(FitToWorkArea, ShrinksThenMovesInsideTheArea) {
    using cadhost::ScreenRect;
    const ScreenRect area{0, 40, 1280, 984};  // 1280 x 1024 under a 40 px bar at the top
    struct Case {
        const char* label;
        ScreenRect wanted;
        int minWidth;
        int minHeight;
        ScreenRect fitted;
    };
    const Case cases[] = {
        {"fits", {100, 100, 800, 600}, 0, 0, {100, 100, 800, 600}},
        {"scale 2: 2000 x 1400", {0, 0, 2000, 1400}, 0, 0, {0, 40, 1280, 984}},
        {"off the right and bottom", {1200, 900, 800, 400}, 0, 0, {480, 624, 800, 400}},
        {"off the left and top", {-300, -50, 800, 400}, 0, 0, {0, 40, 800, 400}},
        {"too wide only", {500, 100, 3000, 400}, 0, 0, {0, 100, 1280, 400}},
        {"minimum larger than the area", {300, 300, 1466, 728}, 1466, 728, {0, 296, 1466, 728}},
        {"minimum within the area", {0, 0, 2000, 1400}, 733, 364, {0, 40, 1280, 984}},
    };
    for (const Case& c : cases) {
        const ScreenRect got = cadhost::fitToWorkArea(c.wanted, area, c.minWidth, c.minHeight);
        EXPECT_EQ(got, c.fitted) << c.label << ": " << got.x << "," << got.y << " " << got.width
                                 << " x " << got.height;
    }
}

}  // namespace
