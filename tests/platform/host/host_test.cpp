// The host in the test process with real test applications loaded through dlopen. AutoLISP
// calls, failing loads, exports and quitting are checked through the cadhost program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "host_fixture.h"

namespace {

using cadhost::LispCallResult;
using hosttest::arx;
using hosttest::HostTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> appNames(const cadhost::Host& host) {
    std::vector<std::string> names;
    for (const auto& app : host.applications()) {
        names.push_back(app.fileName);
    }
    return names;
}

TEST_F(HostTest, IsTheCurrentHostAndRefusesASecond) {
    EXPECT_EQ(cadhost::Host::current(), &host_);
    EXPECT_THROW(cadhost::Host{}, std::logic_error);
    EXPECT_EQ(cadhost::Host::current(), &host_);
}

TEST(HostLifetime, ApiFailsSoftlyWithoutAHost) {
    qmtest::RelocatedUser user;
    { cadhost::Host host; }
    EXPECT_EQ(cadhost::Host::current(), nullptr);
    EXPECT_EQ(acDocManagerPtr(), nullptr);
    EXPECT_EQ(acedArxLoad(arx("hosttest_probe.arx").c_str()), RTERROR);
    EXPECT_EQ(acedDefun("x", 0), RTERROR);
    EXPECT_EQ(cadhost::messageBox(nullptr, "t", "c", cadhost::MB_OK), 0);
}

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

TEST_F(HostTest, LoadingAnApplicationTwiceKeepsOneInstance) {
    ASSERT_EQ(acedArxLoad(arx("hosttest_probe.arx").c_str()), RTNORM);
    ASSERT_EQ(acedArxLoad(arx("hosttest_probe.arx").c_str()), RTNORM);
    ASSERT_EQ(acedArxLoad((qmtest::binDir() + "/./hosttest_probe.arx").c_str()), RTNORM);
    EXPECT_THAT(appNames(host_), ElementsAre("hosttest_probe.arx"));
    EXPECT_THAT(takeLines("probe: kInitAppMsg"), ::testing::SizeIs(1));
    EXPECT_TRUE(host_.applications()[0].mdiAware);
    EXPECT_EQ(host_.unloadApplication(qmtest::binDir() + "/./hosttest_probe.arx"), RTNORM);
    EXPECT_THAT(host_.applications(), IsEmpty());
}

TEST_F(HostTest, LockedApplicationsStayLoaded) {
    host_.loadApplication(arx("hosttest_probe.arx"));
    type({"hosttest_lock", "ARXUNLOAD hosttest_probe.arx"});
    EXPECT_TRUE(acrxDynamicLinker()->isApplicationLocked("HOSTTEST_PROBE.ARX"));
    EXPECT_THAT(appNames(host_), ElementsAre("hosttest_probe.arx"));
    EXPECT_THAT(takeLines("Unable"), ElementsAre("Unable to unload ARX application "
                                                 "\"hosttest_probe.arx\": not loaded or locked."));
}

TEST_F(HostTest, AnApplicationMayUnloadItselfFromItsOwnCommand) {
    host_.newDrawing();
    host_.loadApplication(arx("hosttest_probe.arx"));
    takeLines();
    type({"hosttest_unloadself", "(probe-int)", "hosttest_hello"});
    EXPECT_THAT(
        takeLines(),
        ElementsAre("probe: kUnloadDwgMsg Drawing1.dwg", "probe: kUnloadAppMsg Drawing1.dwg",
                    "probe: self-unload RTNORM", "; error: no function definition: PROBE-INT",
                    "Unknown command \"HOSTTEST_HELLO\".  Press F1 for help."));
    EXPECT_THAT(host_.applications(), IsEmpty());
}

TEST_F(HostTest, ConsoleMessageBoxesPrintAndAnswerWithTheDefaultButton) {
    using namespace cadhost;
    struct Case {
        unsigned style;
        int answer;
    };
    const Case cases[] = {
        {MB_OK | MB_ICONERROR, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(messageBox(nullptr, "Text", "Quillmont", c.style), c.answer);
        EXPECT_THAT(takeLines(), ElementsAre("[Quillmont] Text"));
    }
}

class RecordingUi final : public cadhost::UiServices {
public:
    int messageBox(AcFrameWindow*, const std::string& text, const std::string&, unsigned) override {
        events.push_back("box " + text);
        return cadhost::IDNO;
    }
    void setWaitCursor(bool on) override { events.push_back(on ? "wait on" : "wait off"); }
    std::vector<std::string> events;
};

TEST_F(HostTest, FrontEndServicesReplaceTheConsole) {
    auto ui = std::make_shared<RecordingUi>();
    host_.setUiServices(ui);
    cadhost::beginWaitCursor();
    cadhost::beginWaitCursor();
    EXPECT_EQ(cadhost::messageBox(nullptr, "Hi", "C", cadhost::MB_YESNO), cadhost::IDNO);
    cadhost::endWaitCursor();
    cadhost::endWaitCursor();
    cadhost::endWaitCursor();  // unbalanced: ignored
    EXPECT_THAT(ui->events, ElementsAre("wait on", "box Hi", "wait off"));
    EXPECT_THAT(takeLines(), IsEmpty());
    EXPECT_EQ(acedGetAcadFrame(), nullptr);
}

class RecordingReactor final : public AcApDocManagerReactor {
public:
    void documentCreated(AcApDocument* d) override { record("created", d); }
    void documentToBeDestroyed(AcApDocument* d) override {
        record("destroyed", d);
        if (removeOnDestroy) {
            acDocManagerPtr()->removeReactor(removeOnDestroy);
        }
    }
    void documentBecameCurrent(AcApDocument* d) override { record("current", d); }
    void record(const char* what, AcApDocument* d) {
        events.push_back(std::string(what) + " " + d->fileName());
    }
    std::vector<std::string> events;
    AcApDocManagerReactor* removeOnDestroy = nullptr;
};

TEST_F(HostTest, ReactorsFollowTheDrawings) {
    RecordingReactor first;
    RecordingReactor second;
    first.removeOnDestroy = &second;  // removed while a notification runs: not called again
    acDocManagerPtr()->addReactor(&first);
    acDocManagerPtr()->addReactor(&second);
    type({"NEW", "NEW", "NEW"});
    host_.runCommand({"CLOSE"});  // Drawing3: the one opened before it becomes current
    EXPECT_EQ(host_.currentDrawing(), "Drawing2.dwg");
    acDocManagerPtr()->removeReactor(&first);
    EXPECT_EQ(acDocManagerPtr()->documentCount(), 2);
    EXPECT_THAT(first.events,
                ElementsAre("created Drawing1.dwg", "current Drawing1.dwg", "created Drawing2.dwg",
                            "current Drawing2.dwg", "created Drawing3.dwg", "current Drawing3.dwg",
                            "destroyed Drawing3.dwg", "current Drawing2.dwg"));
    EXPECT_EQ(second.events.size(), 6u);
}

}  // namespace
