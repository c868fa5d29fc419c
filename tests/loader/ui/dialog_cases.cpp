// The shared table of dialog cases: what a user does with the module loader's dialogs and
// what must follow, written once against DialogDriver so that every view is held to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include <qmenv/environment.h>

#include "dialog_driver.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "qmtest/module_settings.h"
#include "ui/logic/grid_rows.h"
#include "ui/logic/resource_ids.h"

namespace uitest {
namespace {

using namespace qm::ui;
using Names = std::vector<std::string>;
using qmtest::TestModule;

const TestModule kBase{"QM_BASE", "Base", "KRQM_BASE", {}};
const TestModule kRoads{"QM_ROADS", "Roads", "KRQM_ROADS", {}};
const TestModule kRail{"QM_RAIL", "Rail", "KRQM_RAIL", {}};
const TestModule kSurvey{"QM_SURVEY", "survey", "KRQM_SURVEY", {}};
const TestModule kTerrain{"QM_TERRAIN", "Terrain", "KRQM_TERRAIN", {}};

std::string stored(const std::string& key, const std::string& value) {
    return qmtest::storedModuleSetting(key, value).value_or("");
}

// The machine's setting that keeps every module from starting with the host.
void overrideAutostart() {
    QmEnWinRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyLocalMachine, qm::registry_layout::moduleLoaderKey(), true));
    ASSERT_TRUE(reg.WriteLong(qm::names::kValueAutostartDisable, 1));
}

int rowOf(DialogDriver& d, const std::string& name) {
    const Names names = d.names();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

// Selects exactly one row: Ctrl+Home, then Down until there.
void selectRow(DialogDriver& d, int row) {
    d.key(kVkHome, kCtrl);
    for (int i = 1; i < row; ++i) {
        d.key(kVkDown);
    }
    ASSERT_EQ(d.selection(), std::vector<int>{row});
}

// Scrolls the front dialog as a user does until the control is in view (at least its start
// where it is larger than the view).
void scrollIntoView(DialogDriver& d, int controlId) {
    const std::optional<ScreenBox> box = d.controlBox(controlId);
    ASSERT_TRUE(box) << controlId;
    const ScreenBox view = d.visibleBox();
    const auto by = [](int start, int length, int viewStart, int viewLength) {
        if (start < viewStart || length > viewLength) {
            return start - viewStart;
        }
        return std::max(0, start + length - (viewStart + viewLength));
    };
    d.scroll(by(box->left, box->width, view.left, view.width),
             by(box->top, box->height, view.top, view.height));
}

bool inside(const ScreenBox& inner, const ScreenBox& outer) {
    return inner.left >= outer.left && inner.top >= outer.top &&
           inner.left + inner.width <= outer.left + outer.width &&
           inner.top + inner.height <= outer.top + outer.height;
}

std::vector<std::string> eventsOf(DialogDriver& d) {
    std::vector<std::string> events;
    for (std::size_t row = 1; row <= d.names().size(); ++row) {
        events.push_back(d.event(static_cast<int>(row)));
    }
    return events;
}

// A start-up option chosen in the grid: the image shows it at once, OK stores it, Cancel
// forgets it. key 0 chooses it with the option's button instead.
struct StartupChoice {
    const char* name;
    int key;
    int button;
    int image;
    const char* autoStart;
    const char* demandLoad;
    bool ok;
};

constexpr StartupChoice kStartupChoices[] = {
    {"LoadMenuOnlyByKeyStoredOnOk", 'M', 0, kBitmapLoadMenuOnly, "True", "True", true},
    {"LoadModuleByKeyStoredOnOk", 'I', 0, kBitmapLoadModule, "True", "False", true},
    {"NoActionByKeyStoredOnOk", 'N', 0, kBitmapNoAction, "False", "False", true},
    {"LoadModuleByButtonStoredOnOk", 0, kIdStartLoadModule, kBitmapLoadModule, "True", "False",
     true},
    {"LoadMenuOnlyByKeyForgottenOnCancel", 'M', 0, kBitmapLoadMenuOnly, "", "", false},
};

// Marks of the grid's keys and buttons, from a fresh dialog with Roads selected (its menus
// not loaded), as the Event column shows them.
struct Marking {
    const char* name;
    std::vector<std::pair<int, unsigned>> keys;  // {key, modifiers}, or {-id, 0} for a button
    const char* event;
};

const Marking kMarkings[] = {
    {"CtrlLMarksLoad", {{'L', kCtrl}}, "Load"},
    {"LoadButtonMarksLoad", {{-kIdLoad, 0}}, "Load"},
    {"SpaceTogglesLoad", {{kVkSpace, 0}}, "Load"},
    {"SpaceTwiceClearsTheMark", {{kVkSpace, 0}, {kVkSpace, 0}}, ""},
    {"CtrlUOnAModuleNotLoadedClearsTheMark", {{'L', kCtrl}, {'U', kCtrl}}, ""},
    {"UnloadButtonOnAModuleNotLoadedMarksNothing", {{-kIdUnload, 0}}, ""},
    {"ShiftCtrlLIsNoAccelerator", {{'L', kCtrl | kShift}}, ""},
    {"LWithoutCtrlIsNoAccelerator", {{'L', 0}}, ""},
};

std::vector<DialogCase> makeCases() {
    std::vector<DialogCase> cases;

    cases.push_back({"GridListsActivatedModulesButTheBaseFirstRowSelected",
                     {kBase, kRoads, kRail, kSurvey},
                     {},
                     false,
                     [](DialogDriver& d) {
                         const Names names = d.names();
                         EXPECT_EQ(names.size(), 3u);
                         EXPECT_EQ(rowOf(d, "Base"), 0) << "the base module is never listed";
                         for (const char* name : {"Roads", "Rail", "survey"}) {
                             EXPECT_NE(rowOf(d, name), 0) << name;
                         }
                         EXPECT_EQ(d.selection(), std::vector<int>{1});
                         EXPECT_EQ(d.focused(), kIdGrid);
                         for (int row = 1; row <= 3; ++row) {
                             EXPECT_EQ(d.startupImage(row), kBitmapNoAction) << row;
                             EXPECT_EQ(d.event(row), "") << row;
                             EXPECT_FALSE(d.bold(row)) << row;
                         }
                         EXPECT_TRUE(d.messages().empty());
                     }});

    for (const StartupChoice& c : kStartupChoices) {
        cases.push_back({c.name,
                         {kBase, kRoads, kRail},
                         {{"QM_RAIL", "AutoStart", "True"}},
                         false,
                         [c](DialogDriver& d) {
                             const int row = rowOf(d, "Roads");
                             ASSERT_NE(row, 0);
                             selectRow(d, row);
                             if (c.key != 0) {
                                 d.key(c.key, kCtrl);
                             } else {
                                 d.press(c.button);
                             }
                             EXPECT_EQ(d.startupImage(row), c.image);
                             EXPECT_EQ(d.startupImage(rowOf(d, "Rail")), kBitmapLoadModule)
                                 << "only the selected row";
                             EXPECT_EQ(stored("QM_ROADS", "AutoStart"), "") << "not before OK";
                             d.press(c.ok ? kIdOk : kIdCancelButton);
                             ASSERT_TRUE(d.waitClosed());
                             EXPECT_EQ(stored("QM_ROADS", "AutoStart"), c.autoStart);
                             EXPECT_EQ(stored("QM_ROADS", "DemandLoad"), c.demandLoad);
                         }});
    }

    for (const Marking& m : kMarkings) {
        cases.push_back({m.name, {kBase, kRoads, kRail}, {}, false, [m](DialogDriver& d) {
                             const int row = rowOf(d, "Roads");
                             selectRow(d, row);
                             for (const auto& [key, modifiers] : m.keys) {
                                 if (key < 0) {
                                     d.press(-key);
                                 } else {
                                     d.key(key, modifiers);
                                 }
                             }
                             EXPECT_EQ(d.event(row), m.event);
                             EXPECT_EQ(d.event(rowOf(d, "Rail")), "") << "only the selection";
                             d.press(kIdCancelButton);
                             ASSERT_TRUE(d.waitClosed());
                         }});
    }

    cases.push_back({"CtrlHomeAndCtrlEndMoveTheSelectionShiftExtendsIt",
                     {kBase, kRoads, kRail, kSurvey, kTerrain},
                     {},
                     false,
                     [](DialogDriver& d) {
                         d.key(kVkEnd, kCtrl);
                         EXPECT_EQ(d.selection(), std::vector<int>{4});
                         d.key(kVkHome, kCtrl | kShift);
                         EXPECT_EQ(d.selection(), (std::vector<int>{1, 2, 3, 4}));
                         d.key('L', kCtrl);
                         EXPECT_EQ(eventsOf(d), (Names{"Load", "Load", "Load", "Load"}));
                         d.key(kVkHome, kCtrl);
                         EXPECT_EQ(d.selection(), std::vector<int>{1});
                     }});

    cases.push_back({"TabGoesFromTheGridToLoad", {kBase, kRoads}, {}, false, [](DialogDriver& d) {
                         ASSERT_EQ(d.focused(), kIdGrid);
                         d.key(kVkTab);
                         EXPECT_EQ(d.focused(), kIdLoad);
                     }});

    cases.push_back({"HeaderClicksSortByNameDescendingThenAscendingIgnoringCase",
                     {kBase, kRoads, kRail, kSurvey, kTerrain},
                     {},
                     false,
                     [](DialogDriver& d) {
                         d.clickHeader(1);  // counts as sorted ascending before any click
                         EXPECT_EQ(d.names(), (Names{"Terrain", "survey", "Roads", "Rail"}));
                         d.clickHeader(1);
                         EXPECT_EQ(d.names(), (Names{"Rail", "Roads", "survey", "Terrain"}));
                         EXPECT_EQ(d.selection(), std::vector<int>{1});
                     }});

    cases.push_back({"HeaderClickSortsByStartupImageTiesByName",
                     {kBase, kRoads, kRail, kSurvey, kTerrain},
                     {{"QM_SURVEY", "AutoStart", "True"},
                      {"QM_RAIL", "AutoStart", "True"},
                      {"QM_RAIL", "DemandLoad", "True"}},
                     false,
                     [](DialogDriver& d) {
                         // 6036 (menu only) < 6037 (module) < 6051 (no action).
                         d.clickHeader(3);
                         EXPECT_EQ(d.names(), (Names{"Rail", "survey", "Roads", "Terrain"}));
                         d.clickHeader(3);
                         EXPECT_EQ(d.names(), (Names{"Roads", "Terrain", "survey", "Rail"}));
                     }});

    cases.push_back({"HeaderClickSortsByEventTiesByName",
                     {kBase, kRoads, kRail, kSurvey},
                     {},
                     false,
                     [](DialogDriver& d) {
                         selectRow(d, rowOf(d, "survey"));
                         d.key('L', kCtrl);
                         d.clickHeader(7);
                         EXPECT_EQ(d.names(), (Names{"Rail", "Roads", "survey"}));
                         d.clickHeader(7);
                         EXPECT_EQ(d.names(), (Names{"survey", "Rail", "Roads"}));
                     }});

    cases.push_back({"OptionsOpensWithTheModulesSortedAndOkSwitchesOneOff",
                     {kBase, kRoads, kRail, kTerrain, kSurvey},
                     {{"QM_TERRAIN", "AutoStart", "True"}},
                     false,
                     [](DialogDriver& d) {
                         d.press(kIdOptions);
                         ASSERT_TRUE(d.optionsOpen());
                         EXPECT_EQ(d.optionNames(), (Names{"Rail", "Roads", "survey", "Terrain"}));
                         EXPECT_EQ(d.check("Terrain"), true);
                         EXPECT_FALSE(d.checkEnabled("Terrain")) << "in use";
                         EXPECT_EQ(d.check("Rail"), true);
                         EXPECT_TRUE(d.visible(kIdVersion));
                         EXPECT_EQ(d.text(kIdVersion), "Version: " + QmEnGetCurrentVersionNumber());
                         EXPECT_FALSE(d.visible(kIdPleaseWait)) << "the fill is done";
                         d.setCheck("Rail", false);
                         d.press(kIdOk);
                         ASSERT_FALSE(d.optionsOpen());
                         EXPECT_EQ(rowOf(d, "Rail"), 0);
                         EXPECT_EQ(d.names().size(), 3u);
                         EXPECT_EQ(stored("QM_RAIL", "Activated"), "False");
                         EXPECT_EQ(d.selection(), std::vector<int>{1});
                     }});

    cases.push_back(
        {"OptionsCancelKeepsTheRows", {kBase, kRoads, kRail}, {}, false, [](DialogDriver& d) {
             const Names before = d.names();
             d.press(kIdOptions);
             ASSERT_TRUE(d.optionsOpen());
             d.setCheck("Rail", false);
             d.press(kIdCancel);
             ASSERT_FALSE(d.optionsOpen());
             EXPECT_EQ(d.names(), before);
             EXPECT_NE(stored("QM_RAIL", "Activated"), "False");
         }});

    cases.push_back({"FirstRunWelcomesThenOffersOptionsThenTheLoader",
                     {kBase, kRoads, kRail},
                     {},
                     true,
                     [](DialogDriver& d) {
                         ASSERT_TRUE(d.optionsOpen());
                         const std::vector<ShownMessage> shown = d.messages();
                         ASSERT_EQ(shown.size(), 1u);
                         EXPECT_EQ(shown[0].caption, "Quillmont");
                         EXPECT_EQ(shown[0].style, 0x40u) << "OK, information icon";
                         EXPECT_EQ(shown[0].text.rfind("Please configure modules", 0), 0u);
                         EXPECT_EQ(d.text(kIdVersion), "Version") << "the template's text";
                         d.press(kIdCancel);
                         ASSERT_FALSE(d.optionsOpen());
                         EXPECT_EQ(d.names().size(), 2u) << "the loader dialog follows";
                     }});

    cases.push_back({"NoModulesSaysSoInAMessageAndInTheGrid", {}, {}, false, [](DialogDriver& d) {
                         const std::vector<ShownMessage> shown = d.messages();
                         ASSERT_EQ(shown.size(), 1u);
                         EXPECT_EQ(shown[0].style, 0x10u) << "OK, error icon";
                         EXPECT_NE(shown[0].text.find("Unable to read module loader"),
                                   std::string::npos);
                         ASSERT_EQ(d.names().size(), 1u);
                         EXPECT_NE(d.names()[0].find("Unable to read"), std::string::npos);
                         EXPECT_EQ(d.startupImage(1), 0);
                     }});

    cases.push_back(
        {"ImageButtonsCarryTheirOptionsTooltips", {kBase, kRoads}, {}, false, [](DialogDriver& d) {
             EXPECT_EQ(d.tooltip(kIdStartNoAction), "No action");
             EXPECT_EQ(d.tooltip(kIdStartLoadMenuOnly), "Load menu only");
             EXPECT_EQ(d.tooltip(kIdStartLoadModule), "Load module");
             EXPECT_EQ(d.tooltip(kIdLoad), "Load module");
             EXPECT_EQ(d.tooltip(kIdUnload), "Unload module");
             EXPECT_EQ(d.text(kIdStartNoAction), "") << "image only";
             EXPECT_EQ(d.text(kIdOptions), "Options...");
             for (int id : {kIdLoad, kIdUnload, kIdOk, kIdApply, kIdStartLoadModule}) {
                 EXPECT_TRUE(d.enabled(id)) << id;
             }
         }});
    // OK keeps where the user put the dialog and how wide the columns were made, for the next
    // opening.
    cases.push_back(
        {"PlacementAndColumnWidthsAreKeptAcrossOpenings",
         {kBase, kRoads, kRail},
         {},
         false,
         [](DialogDriver& d) {
             const ScreenBox first = d.dialogBox();
             d.placeDialog({first.left + 40, first.top + 30, first.width + 60, first.height + 50});
             const ScreenBox placed = d.dialogBox();
             EXPECT_NE(placed, first);
             d.dragColumn(kColName, d.columnWidth(kColName) + 50);
             const int name = d.columnWidth(kColName);
             const int event = d.columnWidth(kColEvent);
             d.press(kIdOk);
             ASSERT_TRUE(d.waitClosed());
             d.reopen();
             EXPECT_EQ(d.dialogBox(), placed);
             // Kept as shares of the grid's width: a pixel of rounding either way.
             EXPECT_NEAR(d.columnWidth(kColName), name, 1);
             EXPECT_NEAR(d.columnWidth(kColEvent), event, 1);
         }});
    // Enter in the Options dialog is its default button, OK: the change is stored.
    cases.push_back({"EnterInOptionsIsOk", {kBase, kRoads, kRail}, {}, false, [](DialogDriver& d) {
                         d.press(kIdOptions);
                         ASSERT_TRUE(d.optionsOpen());
                         d.setCheck("Rail", false);
                         d.keyToFront(kVkReturn);
                         ASSERT_FALSE(d.optionsOpen());
                         EXPECT_EQ(stored("QM_RAIL", "Activated"), "False");
                         EXPECT_EQ(d.names(), (Names{"Roads"}));
                     }});
    // The grid's context menu marks and sets the start-up options of the row it was opened on,
    // as the keys and buttons do.
    cases.push_back({"ContextMenuMarksAndSetsStartupOptions",
                     {kBase, kRoads, kRail},
                     {},
                     false,
                     [](DialogDriver& d) {
                         const int roads = rowOf(d, "Roads");
                         ASSERT_TRUE(d.chooseFromMenu(roads, kCmdLoad));
                         EXPECT_EQ(d.event(roads), "Load");
                         ASSERT_TRUE(d.chooseFromMenu(roads, kCmdUnload));
                         EXPECT_EQ(d.event(roads), "") << "not loaded: the mark goes";
                         for (const auto& [command, image] :
                              {std::pair{kCmdLoadMenuOnly, kBitmapLoadMenuOnly},
                               {kCmdLoadModule, kBitmapLoadModule},
                               {kCmdNoAction, kBitmapNoAction}}) {
                             ASSERT_TRUE(d.chooseFromMenu(roads, command)) << command;
                             EXPECT_EQ(d.startupImage(roads), image) << command;
                         }
                         const int rail = rowOf(d, "Rail");
                         ASSERT_TRUE(d.chooseFromMenu(rail, kCmdLoadMenuOnly));
                         EXPECT_EQ(d.selection(), std::vector<int>{rail}) << "right click selects";
                         EXPECT_EQ(d.startupImage(rail), kBitmapLoadMenuOnly);
                         EXPECT_EQ(d.startupImage(roads), kBitmapNoAction) << "not selected";
                         d.press(kIdOk);
                         EXPECT_EQ(stored("QM_RAIL", "AutoStart"), "True");
                         EXPECT_EQ(stored("QM_RAIL", "DemandLoad"), "True");
                         EXPECT_EQ(stored("QM_ROADS", "AutoStart"), "False");
                     }});
    // On any screen, a small one with a large scale factor included (the table's small-screen
    // runs), every control can be brought into view: the dialog fits the work area, and its
    // client area scrolls where the screen cannot hold the template.
    cases.push_back({"EveryLoaderControlCanBeScrolledIntoView",
                     {kBase, kRoads},
                     {},
                     false,
                     [](DialogDriver& d) {
                         for (int id : {kIdGrid, kIdLoad, kIdUnload, kIdStartNoAction,
                                        kIdStartLoadMenuOnly, kIdStartLoadModule, kIdOk, kIdApply,
                                        kIdCancelButton, kIdHelp, kIdOptions, kIdProductName}) {
                             scrollIntoView(d, id);
                             const std::optional<ScreenBox> box = d.controlBox(id);
                             ASSERT_TRUE(box) << id;
                             const ScreenBox view = d.visibleBox();
                             EXPECT_TRUE(inside(
                                 id == kIdGrid ? ScreenBox{box->left, box->top, 1, 1} : *box, view))
                                 << "control " << id << " at " << *box << ", in view " << view;
                         }
                     }});

    cases.push_back({"AutostartOverrideHidesLoadModuleButCtrlIStillChoosesIt",
                     {kBase, kRoads, kRail},
                     {},
                     false,
                     [](DialogDriver& d) {
                         EXPECT_FALSE(d.visible(kIdStartLoadModule));
                         EXPECT_FALSE(d.enabled(kIdStartLoadModule));
                         for (int id : {kIdStartNoAction, kIdStartLoadMenuOnly, kIdLoad, kIdOk}) {
                             EXPECT_TRUE(d.visible(id) && d.enabled(id)) << id;
                         }
                         d.key('I', kCtrl);
                         EXPECT_EQ(d.startupImage(1), kBitmapLoadModule);
                     },
                     overrideAutostart});
    return cases;
}

}  // namespace

const std::vector<DialogCase>& DialogCases() {
    static const std::vector<DialogCase> cases = makeCases();
    return cases;
}

namespace {

// The buttons of each dialog, by the name the dump gives them.
const std::pair<int, const char*> kLoaderButtons[] = {
    {kIdLoad, "Load"},
    {kIdUnload, "Unload"},
    {kIdStartNoAction, "NoAction"},
    {kIdStartLoadMenuOnly, "LoadMenuOnly"},
    {kIdStartLoadModule, "LoadModule"},
    {kIdOk, "OK"},
    {kIdApply, "Apply"},
    {kIdCancelButton, "Cancel"},
    {kIdHelp, "Help"},
    {kIdOptions, "Options"},
};
const std::pair<int, const char*> kOptionsButtons[] = {
    {kIdOk, "OK"},
    {kIdCancel, "Cancel"},
    {kIdHelp, "Help"},
    {kIdRefresh, "Refresh"},
};

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out + "\"";
}

template <std::size_t N>
void dumpButtons(DialogDriver& d, const std::pair<int, const char*> (&buttons)[N],
                 std::ostream& out) {
    for (const auto& [id, name] : buttons) {
        out << "  button " << name << (d.visible(id) ? " shown" : " hidden")
            << (d.enabled(id) ? " enabled" : " disabled") << " text=" << quoted(d.text(id))
            << " tip=" << quoted(d.tooltip(id)) << "\n";
    }
}

std::string keyName(int key, unsigned modifiers) {
    std::string name = (modifiers & kCtrl) != 0 ? "Ctrl+" : "";
    name += (modifiers & kShift) != 0 ? "Shift+" : "";
    name += (modifiers & kAlt) != 0 ? "Alt+" : "";
    switch (key) {
        case kVkTab:
            return name + "Tab";
        case kVkSpace:
            return name + "Space";
        case kVkEnd:
            return name + "End";
        case kVkHome:
            return name + "Home";
        case kVkDown:
            return name + "Down";
        case kVkUp:
            return name + "Up";
        default:
            return name + static_cast<char>(key);
    }
}

struct Step {
    std::string label;
    std::function<void(DialogDriver&)> act;
};

Step keyStep(int key, unsigned modifiers = kNoModifiers) {
    return {"key " + keyName(key, modifiers), [=](DialogDriver& d) { d.key(key, modifiers); }};
}
Step pressStep(int id, const std::string& name) {
    return {"press " + name, [=](DialogDriver& d) { d.press(id); }};
}
Step headerStep(int column) {
    return {"header " + std::to_string(column), [=](DialogDriver& d) { d.clickHeader(column); }};
}
Step checkStep(const std::string& name, bool on) {
    return {"check " + name + (on ? " on" : " off"),
            [=](DialogDriver& d) { d.setCheck(name, on); }};
}

struct ViewScript {
    const char* name;
    std::vector<TestModule> modules;
    std::vector<std::vector<std::string>> stored;
    bool firstRun;
    std::vector<Step> steps;
    std::function<void()> beforeStartup = {};
};

// After the dialogs have closed: what the registry holds for each module.
void dumpStored(const std::vector<TestModule>& modules, std::ostream& out) {
    for (const TestModule& m : modules) {
        out << "  stored " << m.key;
        for (const char* value : {"Activated", "AutoStart", "DemandLoad"}) {
            out << " " << value << "=" << stored(m.key, value);
        }
        out << "\n";
    }
}

void print(const std::string& script, const std::string& step, const std::string& state) {
    std::ostringstream out;
    out << "VIEW " << script << " | " << step << "\n";
    std::istringstream lines(state);
    for (std::string line; std::getline(lines, line);) {
        out << "VIEW " << line << "\n";
    }
    std::cout << out.str() << std::flush;
}

std::vector<ViewScript> makeScripts() {
    const std::vector<TestModule> five{kBase, kRoads, kRail, kSurvey, kTerrain};
    // Rail starts with the host (its row is bold), survey brings only its menu.
    const std::vector<std::vector<std::string>> startups{{"QM_RAIL", "AutoStart", "True"},
                                                         {"QM_SURVEY", "AutoStart", "True"},
                                                         {"QM_SURVEY", "DemandLoad", "True"}};
    std::vector<ViewScript> scripts;
    scripts.push_back({"GridKeysMarksAndSorting",
                       five,
                       startups,
                       false,
                       {keyStep(kVkDown),
                        keyStep(kVkEnd, kCtrl),
                        keyStep(kVkHome, kCtrl | kShift),
                        keyStep('L', kCtrl),
                        keyStep('U', kCtrl),
                        keyStep(kVkSpace),
                        keyStep(kVkSpace),
                        keyStep(kVkHome, kCtrl),
                        keyStep('M', kCtrl),
                        keyStep(kVkDown),
                        keyStep('I', kCtrl),
                        keyStep(kVkDown),
                        keyStep('N', kCtrl),
                        keyStep('L', kCtrl | kShift),
                        keyStep('L'),
                        pressStep(kIdUnload, "Unload"),
                        pressStep(kIdLoad, "Load"),
                        pressStep(kIdStartLoadModule, "LoadModule"),
                        headerStep(1),
                        headerStep(1),
                        headerStep(3),
                        headerStep(3),
                        headerStep(7),
                        headerStep(7),
                        keyStep(kVkTab),
                        pressStep(kIdApply, "Apply"),
                        pressStep(kIdOk, "OK")}});
    scripts.push_back(
        {"OptionsChecksAndTheRebuild",
         five,
         startups,
         false,
         {pressStep(kIdOptions, "Options"), checkStep("Roads", false), checkStep("Terrain", false),
          checkStep("Terrain", true), pressStep(kIdOk, "OK"), pressStep(kIdOptions, "Options"),
          checkStep("Terrain", false), pressStep(kIdCancel, "Cancel"),
          pressStep(kIdCancelButton, "Cancel")}});
    scripts.push_back({"FirstRunWelcome",
                       {kBase, kRoads, kRail},
                       {},
                       true,
                       {checkStep("Rail", false), pressStep(kIdOk, "OK"), keyStep('M', kCtrl),
                        pressStep(kIdOk, "OK")}});
    scripts.push_back({"NoModules",
                       {},
                       {},
                       false,
                       {keyStep(kVkSpace), keyStep('L', kCtrl), pressStep(kIdLoad, "Load"),
                        pressStep(kIdApply, "Apply")}});
    scripts.push_back(
        {"AutostartOverride",
         {kBase, kRoads, kRail},
         {{"QM_RAIL", "AutoStart", "True"}},
         false,
         {keyStep('I', kCtrl), keyStep(kVkDown), keyStep('M', kCtrl),
          pressStep(kIdStartNoAction, "NoAction"), pressStep(kIdApply, "Apply"),
          pressStep(kIdOptions, "Options"), pressStep(kIdCancel, "Cancel"), pressStep(kIdOk, "OK")},
         overrideAutostart});
    return scripts;
}

}  // namespace

std::string ViewState(DialogDriver& d, std::size_t& shownBefore, bool withFocus) {
    std::ostringstream out;
    if (!d.isOpen()) {
        out << "  closed\n";
    } else {
        const bool options = d.optionsOpen();
        out << "  front " << (options ? "options" : "loader");
        if (withFocus) {
            out << " focus=" << d.focused();
        }
        out << "\n";
        if (options) {
            dumpButtons(d, kOptionsButtons, out);
            out << "  please-wait " << (d.visible(kIdPleaseWait) ? "shown" : "hidden")
                << " version " << (d.visible(kIdVersion) ? "shown" : "hidden") << "\n";
            for (const std::string& name : d.optionNames()) {
                const std::optional<bool> check = d.check(name);
                out << "  option " << quoted(name) << " "
                    << (!check   ? "no-box"
                        : *check ? "checked"
                                 : "unchecked")
                    << (d.checkEnabled(name) ? " enabled" : " disabled") << "\n";
            }
        } else {
            dumpButtons(d, kLoaderButtons, out);
        }
        if (d.loaderOpen()) {
            const std::vector<int> selection = d.selection();
            const Names names = d.names();
            for (std::size_t i = 0; i < names.size(); ++i) {
                const int row = static_cast<int>(i) + 1;
                const bool selected =
                    std::find(selection.begin(), selection.end(), row) != selection.end();
                out << "  row " << row << " " << quoted(names[i])
                    << " image=" << d.startupImage(row) << " event=" << quoted(d.event(row))
                    << (d.bold(row) ? " bold" : "") << (selected ? " selected" : "") << "\n";
            }
        }
    }
    const std::vector<ShownMessage> shown = d.messages();
    for (std::size_t i = shownBefore; i < shown.size(); ++i) {
        out << "  message " << quoted(shown[i].caption) << " style=0x" << std::hex << shown[i].style
            << std::dec << " " << quoted(shown[i].text) << "\n";
    }
    shownBefore = shown.size();
    return out.str();
}

std::vector<DialogCase> ViewScripts() {
    std::vector<DialogCase> cases;
    if (std::getenv("QM_VIEW_DUMP") == nullptr) {
        return cases;
    }
    for (const ViewScript& script : makeScripts()) {
        cases.push_back({script.name, script.modules, script.stored, script.firstRun,
                         [script](DialogDriver& d) {
                             std::size_t shown = 0;
                             print(script.name, "opened", ViewState(d, shown, true));
                             for (const Step& step : script.steps) {
                                 if (!d.isOpen()) {
                                     break;
                                 }
                                 step.act(d);
                                 if (!d.isOpen()) {
                                     ASSERT_TRUE(d.waitClosed()) << step.label;
                                 }
                                 std::string state =
                                     ViewState(d, shown, step.label.rfind("key ", 0) == 0);
                                 if (!d.isOpen()) {
                                     std::ostringstream registry;
                                     dumpStored(script.modules, registry);
                                     state += registry.str();
                                 }
                                 print(script.name, step.label, state);
                             }
                         },
                         script.beforeStartup});
    }
    return cases;
}

}  // namespace uitest
