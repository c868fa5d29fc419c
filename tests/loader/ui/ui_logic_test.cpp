// The module loader's user-interface rules that need no toolkit: resources and their language,
// message texts, accelerators, the first-run marker, event marking, Apply's error text, the
// product information file, the Options dialog's fill procedure, the grid's key and mouse rules
// and its rows, the dialogs' placement record, and the two dialogs' presenters driven through
// recording views.
#include <cadhost/host.h>
#include <gtest/gtest.h>
#include <qmenv/environment.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "environment/registry_layout.h"
#include "qm/version.h"
#include "qmtest/files.h"
#if !defined(_WIN32)
#include "qmtest/ordinary_user.h"
#include "qmtest/own_process.h"
#endif
#include "qmtest/module_settings.h"
#include "qmtest/product_keys.h"
#include "qmtest/relocated_user.h"
#include "qmtest/text.h"
#include "runtime/loader_context.h"
#include "runtime/module_list.h"
#include "ui/logic/accelerator_table.h"
#include "ui/logic/apply_report.h"
#include "ui/logic/dialog_placement.h"
#include "ui/logic/event_marking.h"
#include "ui/logic/first_run.h"
#include "ui/logic/grid_input.h"
#include "ui/logic/grid_rows.h"
#include "ui/logic/loader_dialog_presenter.h"
#include "ui/logic/options_dialog_presenter.h"
#include "ui/logic/options_fill.h"
#include "ui/logic/product_info.h"
#include "ui/logic/resource_strings.h"
#include "ui/logic/screen_fit.h"
#include "ui/logic/string_table.h"

namespace {

using namespace qm;
using namespace qm::ui;

class ResourcesTest : public qmtest::RelocatedTest {};

TEST(StringTables, GermanTranslatesEveryEnglishEntry) {
    const StringTable& english = StringTable::english();
    const StringTable* german = StringTable::forLanguage("DEU");
    ASSERT_NE(german, nullptr);
    std::set<int> ids;
    for (const StringTable::Entry& entry : english.entries()) {
        EXPECT_TRUE(ids.insert(static_cast<int>(entry.id)).second) << "duplicate id";
        const auto translated = german->text(entry.id);
        ASSERT_TRUE(translated) << "German lacks string " << static_cast<int>(entry.id);
        // Format strings must keep their arguments in both languages.
        EXPECT_EQ(qmtest::occurrences(entry.text, "%s"), qmtest::occurrences(*translated, "%s"))
            << entry.text;
    }
    EXPECT_EQ(german->entries().size(), english.entries().size());
}

TEST_F(ResourcesTest, StringsFollowTheLanguageOnlyWhileTheLoaderIsActive) {
    EXPECT_FALSE(LoadResourceString(StringId::ModuleNameHeader)) << "no loader active";
    QmEnResourceLoader loader("QmModuleLoader");
    loader.Activate(nullptr);
    EXPECT_EQ(ResourceString(StringId::ModuleNameHeader), "Module name");
    qmtest::storeKernelService("Language", "deu");
    EXPECT_EQ(ResourceString(StringId::ModuleNameHeader), "Modulname");
    qmtest::storeKernelService("Language", "fra");  // not shipped: English
    EXPECT_EQ(ResourceString(StringId::ModuleNameHeader), "Module name");
    {
        QmEnResourceLoader other("SomeOtherModule");
        other.Activate(nullptr);
        EXPECT_FALSE(LoadResourceString(StringId::ModuleNameHeader));
        EXPECT_EQ(AcceleratorTable::load(kAcceleratorTable), nullptr);
    }
    EXPECT_NE(AcceleratorTable::load(kAcceleratorTable), nullptr);
}

TEST(FormatText, ReplacesArgumentsInOrder) {
    struct Case {
        const char* format;
        std::initializer_list<std::string_view> args;
        const char* expected;
    };
    const Case cases[] = {
        {"<%s> %s: %s", {"a", "b", "c"}, "<a> b: c"},
        {"100%% of %s", {"x"}, "100% of x"},
        {"%s and %s", {"one"}, "one and %s"},
        {"%d stays", {"x"}, "%d stays"},
        {"trailing %", {}, "trailing %"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatText(c.format, c.args), c.expected) << c.format;
    }
}

TEST_F(ResourcesTest, NoModulesMessageCollapsesDoubledSeparatorsButKeepsALeadingPair) {
    QmEnResourceLoader loader("QmModuleLoader");
    loader.Activate(nullptr);
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/q", "\"/opt/q/Zadod/Modules\""},
        {"/opt/q/", "\"/opt/q/Zadod/Modules\""},
        {"//server/share/", "\"//server/share/Zadod/Modules\""},
    };
    for (const auto& [path, quoted] : cases) {
        EXPECT_EQ(NoModulesMessage(path),
                  "Unable to read module loader configuration files from " + quoted + ".")
            << path;
    }
}

TEST_F(ResourcesTest, AcceleratorTableFiresOnlyForExactModifiers) {
    QmEnResourceLoader loader("QmModuleLoader");
    loader.Activate(nullptr);
    const AcceleratorTable* table = AcceleratorTable::load(kAcceleratorTable);
    ASSERT_NE(table, nullptr);
    struct Case {
        int key;
        bool ctrl, shift, alt;
        std::optional<int> command;
    };
    const Case cases[] = {
        {'L', true, false, false, kCmdLoad},       {'U', true, false, false, kCmdUnload},
        {'N', true, false, false, kCmdNoAction},   {'M', true, false, false, kCmdLoadMenuOnly},
        {'I', true, false, false, kCmdLoadModule}, {kVkF5, false, false, false, kCmdNothing},
        {'L', false, false, false, std::nullopt},  {'L', true, true, false, std::nullopt},
        {'I', true, false, true, std::nullopt},    {kVkF5, true, false, false, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(table->translate(c.key, c.ctrl, c.shift, c.alt), c.command)
            << c.key << " ctrl=" << c.ctrl << " shift=" << c.shift << " alt=" << c.alt;
    }
}

TEST_F(ResourcesTest, FirstRunIsReportedOnceAndAnyStoredValueCounts) {
    EXPECT_TRUE(TestAndMarkFirstRun());
    EXPECT_FALSE(TestAndMarkFirstRun());

    QmEnWinRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kQmEnHKeyCurrentUser, registry_layout::modulesKey(), true));
    registry.WriteLong("StartupMessageDone", 0);
    EXPECT_FALSE(TestAndMarkFirstRun()) << "a stored 0 means the message was shown";
    std::int32_t value = -1;
    ASSERT_TRUE(registry.ReadLong("StartupMessageDone", value));
    EXPECT_EQ(value, 1);
}

#if !defined(_WIN32)  // a store only readable to a non-root child is the SQLite store's
// A settings key that cannot be opened (the user's store can only be read, and the key is not
// in it yet) makes no first run, and nothing is written. Run as an ordinary user on a thread of
// its own, so that the store is opened afresh with the user's rights.
TEST_F(ResourcesTest, SettingsKeyThatCannotBeOpenedIsNoFirstRunAndWritesNothing) {
    if (!qmtest::inOwnProcess()) {
        return;
    }
    QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(user_.root());
    QmEnWinRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kQmEnHKeyCurrentUser, QmEnGetRegistryKey() + "\\Base", true));
    ASSERT_TRUE(registry.WriteLong("Present", 1));
    namespace fs = std::filesystem;
    const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(user_.root(), readable | fs::perms::owner_write);
    fs::permissions(user_.registryDir(), readable);

    bool first = true;
    {
        const qmtest::AsOrdinaryUser user;
        ASSERT_TRUE(user.ordinary());
        std::thread([&first] { first = TestAndMarkFirstRun(); }).join();
    }
    fs::permissions(user_.registryDir(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(first) << "a first run";
    EXPECT_FALSE(registry.OpenKey(kQmEnHKeyCurrentUser, registry_layout::modulesKey(), false))
        << "nothing written";
}
#endif

// The grid's key rules, one row per key as it arrives with its modifiers.
TEST(GridInput, KeyRulesByKeyAndModifiers) {
    using A = GridKeyAction;
    using S = GridSelectionRule;
    constexpr KeyModifiers none{}, ctrl{true, false, false}, shift{false, true, false},
        shiftCtrl{true, true, false}, alt{false, false, true};
    struct Case {
        const char* label;
        int key;
        KeyModifiers modifiers;
        GridKeyRule rule;
    };
    const Case cases[] = {
        {"Tab", kVkTab, none, {A::FocusButtons, S::Default, true}},
        // Shift+Tab reaches the grid as a Tab key-down, and the Tab rule applies.
        {"Shift+Tab", kVkTab, shift, {A::FocusButtons, S::Default, true}},
        {"Ctrl+Tab", kVkTab, ctrl, {A::FocusButtons, S::Default, true}},
        {"Space", kVkSpace, none, {A::ToggleMarks, S::Default, true}},
        {"Shift+Space", kVkSpace, shift, {A::ToggleMarks, S::Default, true}},
        {"Ctrl+Home", kVkHome, ctrl, {A::FirstRow, S::Collapse, true}},
        {"Ctrl+End", kVkEnd, ctrl, {A::LastRow, S::Collapse, true}},
        {"Shift+Ctrl+Home", kVkHome, shiftCtrl, {A::FirstRow, S::Extend, true}},
        {"Shift+Ctrl+End", kVkEnd, shiftCtrl, {A::LastRow, S::Extend, true}},
        // The grid's own handling: Home without Ctrl stays in the row, letters are the
        // accelerators' alone, and Alt makes every key a system key.
        {"Home", kVkHome, none, {}},
        {"Shift+End", kVkEnd, shift, {}},
        {"Ctrl+L", 'L', ctrl, {}},
        {"Alt+Space", kVkSpace, alt, {}},
        {"Alt+Tab", kVkTab, alt, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GridKeyRuleFor(c.key, c.modifiers), c.rule) << c.label;
    }
}

// The selection after Ctrl+Home, Ctrl+End and their Shift forms moved the current row, from
// a grid of five rows.
TEST(GridInput, SelectionAfterAMoveCollapsesOrExtendsFromTheAnchor) {
    using S = GridSelectionRule;
    struct Case {
        const char* label;
        GridSelection before;
        int target;
        S rule;
        GridSelection after;
    };
    const Case cases[] = {
        {"Ctrl+Home", {3, 3, {3}}, 1, S::Collapse, {1, 1, {1}}},
        {"Ctrl+End over a selection", {2, 1, {1, 2}}, 5, S::Collapse, {5, 5, {5}}},
        // Right after Shift+Ctrl+Home the current row already is the first: the selection
        // still collapses onto it, and the anchor moves there.
        {"Ctrl+Home after Shift+Ctrl+Home", {1, 4, {1, 2, 3, 4}}, 1, S::Collapse, {1, 1, {1}}},
        {"Shift+Ctrl+End", {2, 2, {2}}, 5, S::Extend, {5, 2, {2, 3, 4, 5}}},
        {"Shift+Ctrl+Home", {4, 3, {3, 4}}, 1, S::Extend, {1, 3, {1, 2, 3}}},
        {"Shift+Ctrl+Home without an anchor", {2, 0, {}}, 1, S::Extend, {1, 1, {1}}},
        {"the grid's own move", {2, 2, {2}}, 5, S::Default, {2, 2, {2}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SelectionAfterMove(c.before, c.target, c.rule), c.after) << c.label;
    }
}

TEST(GridInput, TabTargetAndMouseRules) {
    EXPECT_EQ(TabFocusTarget(true, true), kIdLoad);
    EXPECT_EQ(TabFocusTarget(true, false), kIdLoad);
    EXPECT_EQ(TabFocusTarget(false, true), kIdUnload);
    EXPECT_EQ(TabFocusTarget(false, false), 0) << "the focus stays in the grid";

    using B = GridMouseButton;
    using M = GridMouseAction;
    struct Case {
        const char* label;
        B button;
        int row;
        bool selected;
        GridMouseRule rule;
    };
    const Case cases[] = {
        {"header click", B::Left, 0, false, {M::SortColumn, false}},
        {"header double click", B::LeftDouble, 0, false, {M::SortColumn, false}},
        {"header right click", B::Right, 0, false, {}},
        {"row click", B::Left, 2, false, {}},
        {"row double click", B::LeftDouble, 2, true, {M::ToggleMarks, false}},
        {"right click outside the selection", B::Right, 2, false, {M::ContextMenu, true}},
        {"right click inside the selection", B::Right, 2, true, {M::ContextMenu, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GridMouseRuleFor(c.button, c.row, c.selected), c.rule) << c.label;
    }
}

ModuleRecord makeRecord(const std::string& key, bool menusLoaded, ModuleEvent pending) {
    ModuleRecord record;
    record.SetKey(key);
    record.SetDisplayName(key);
    record.SetMenusLoaded(menusLoaded);
    if (pending != kEventNone) {
        // SetEvent refuses loading loaded menus and unloading unloaded ones; reach those
        // states through the menus-loaded flag around it.
        record.SetMenusLoaded(pending == kEventUnloadModule);
        record.SetEvent(pending);
        record.SetMenusLoaded(menusLoaded);
    }
    return record;
}

TEST(EventMarking, EveryModeOnEveryState) {
    struct Case {
        MarkMode mode;
        bool loaded;
        ModuleEvent pending;
        bool base;
        ModuleEvent expected;
    };
    // Load on a loaded module, Unload on an unloaded one and Toggle on either are driven
    // through the grid; here: pending marks and the base module.
    const Case cases[] = {
        {MarkMode::Load, true, kEventUnloadModule, false, kEventNone},
        {MarkMode::Unload, false, kEventLoadModule, false, kEventNone},
        // A pending Unload counts like loaded menus, and the base module keeps its event.
        {MarkMode::Unload, false, kEventUnloadModule, true, kEventUnloadModule},
        {MarkMode::Unload, true, kEventNone, true, kEventNone},
        {MarkMode::Unload, true, kEventLoadMenu, true, kEventLoadMenu},
        {MarkMode::Toggle, true, kEventNone, true, kEventNone},
        {MarkMode::Toggle, true, kEventUnloadModule, false, kEventNone},
    };
    for (const Case& c : cases) {
        ModuleRecord record = makeRecord(c.base ? "QM_BASE" : "QM_X", c.loaded, c.pending);
        ASSERT_EQ(record.GetPendingEvent(), c.pending);
        MarkEvent(record, c.mode, "QM_BASE");
        EXPECT_EQ(record.GetPendingEvent(), c.expected)
            << "mode " << static_cast<int>(c.mode) << " loaded " << c.loaded << " pending "
            << c.pending << " base " << c.base;
    }
}

TEST_F(ResourcesTest, ApplyReportDetailsFortyFailuresThenOneLine) {
    QmEnResourceLoader loader("QmModuleLoader");
    loader.Activate(nullptr);
    // Each failure names the action that failed.
    const struct {
        ModuleEvent event;
        const char* process;
    } events[] = {{kEventLoadModule, "Load module (menu and programs)"},
                  {kEventUnloadModule, "Unload module"},
                  {kEventLoadMenu, "Load menu"},
                  {kEventUnloadMenu, "Unload menu"}};
    for (const auto& e : events) {
        ApplyReport one;
        one.addFailure("Roads", "QM_ROADS", e.event);
        EXPECT_EQ(one.text(), std::string("Module <Roads> using key QM_ROADS failed!\nProcess: ") +
                                  e.process + "\n");
    }
    ApplyReport report;
    report.addFailure("Roads", "QM_ROADS", kEventLoadModule);
    const std::string line = "\nTo many errors. All errors will not be displayed!";
    for (int failures = 2; failures <= 45; ++failures) {
        report.addFailure("Rail", "QM_RAIL", kEventUnloadMenu);
        const std::string& text = report.text();
        // Forty are detailed; after that the line comes once, at the end.
        EXPECT_EQ(text.find(line), failures > 40 ? text.size() - line.size() : text.npos)
            << failures;
    }
    EXPECT_EQ(report.failures(), 45);
    EXPECT_EQ(qmtest::occurrences(report.text(), " failed!\nProcess: "), 40u);
}

TEST(ProductInfo, FileBesideTheProgramFolderWithProductsJoinedByHyphens) {
    qmtest::TempDir dir;
    struct Case {
        std::string content;
        std::string name;
        std::string products;
    };
    const Case cases[] = {
        {"Quillmont 2025\nCAD 2024 and CAD 2025 and Map\n", "Quillmont 2025",
         "CAD 2024 - CAD 2025 - Map"},
        {"Quillmont\r\nband and brand\r\n", "Quillmont", "band - brand"},
        {"Name only", "Name only", ""},
        // A first line longer than 259 characters continues as the second read.
        {std::string(300, 'x') + "\nnext\n", std::string(259, 'x'), std::string(41, 'x')},
        {"Caf\xe9\n", "Caf\xc3\xa9", ""},
    };
    for (const Case& c : cases) {
        qmtest::writeFile(dir / "info.txt", c.content);
        const auto info = ReadProductInfo(dir / "info.txt");
        ASSERT_TRUE(info);
        EXPECT_EQ(info->productName, c.name);
        EXPECT_EQ(info->products, c.products);
    }
    EXPECT_FALSE(ReadProductInfo(dir / "missing.txt"));
}

TEST_F(ResourcesTest, OptionsFillLocksModulesInUseAndStoresUnchecks) {
    ModuleList modules(6);
    // The last record shares its key with the one before: a check goes to the first of them.
    const char* keys[] = {"QM_BASE",   "QM_ROADS",   "QM_RAIL",
                          "QM_SURVEY", "QM_TERRAIN", "QM_TERRAIN"};
    for (std::size_t i = 0; i < modules.size(); ++i) {
        modules[i].SetKey(keys[i]);
        modules[i].SetDisplayName(std::string(keys[i]).substr(3));
    }
    modules[1].SetMenusLoaded(true);  // in use: menus loaded
    modules[2].StartModule();         // in use: started
    modules[3].SetActivated(false);
    modules[4].SetAutoStart(true);
    modules[4].SetDemandLoad(true);
    modules[4].SetEvent(kEventLoadModule);
    modules[5].SetAutoStart(true);

    modules[2].SetActivated(false);  // a started module is switched back on by the list
    std::vector<OptionsItem> items = ListOptionItems(modules, "QM_BASE");
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].key, "QM_ROADS");
    EXPECT_TRUE(items[0].checked && !items[0].enabled);
    EXPECT_TRUE(items[1].checked && !items[1].enabled);
    EXPECT_TRUE(modules[2].GetActivated());
    EXPECT_TRUE(!items[2].checked && items[2].enabled);
    EXPECT_TRUE(items[3].checked && items[3].enabled);

    StoreOptionChecks(modules, {{"QM_TERRAIN", false}, {"QM_SURVEY", true}, {"QM_NONE", false}},
                      nullptr);
    EXPECT_FALSE(modules[4].GetActivated() || modules[4].GetAutoStart() ||
                 modules[4].GetDemandLoad());
    EXPECT_EQ(modules[4].GetPendingEvent(), kEventNone);
    EXPECT_TRUE(modules[3].GetActivated());
    EXPECT_TRUE(modules[5].GetActivated() && modules[5].GetAutoStart()) << "only the first";
}

// --- The grid's rows and the dialogs' presenters, driven without a toolkit ---------------

namespace presenters {

using Names = std::vector<std::string>;

struct Module {
    std::string name;
    bool loaded = false;
    StartupOption option = StartupOption::NoAction;
    bool activated = true;
    std::string key = {};  // "QM_" + name when empty
};

ModuleRecord recordOf(const Module& m) {
    ModuleRecord record;
    record.SetKey(m.key.empty() ? "QM_" + m.name : m.key);
    record.SetDisplayName(m.name);
    record.SetMenusLoaded(m.loaded);
    record.SetAutoStart(Describe(m.option).autoStart);
    record.SetDemandLoad(Describe(m.option).demandLoad);
    record.SetActivated(m.activated);
    return record;
}

Names namesOf(const GridRows& rows) {
    Names names;
    for (int row = 1; row <= rows.rowCount(); ++row) {
        names.push_back(rows.cellValue(row, kColName));
    }
    return names;
}

// A listener that mirrors the rows' names as a list control would, and counts changes.
class MirroringListener : public GridRowsListener {
public:
    explicit MirroringListener(const GridRows& rows) : rows_(rows) {}
    void rowsInserted(int first, int count) override {
        names.insert(names.begin() + (first - 1), static_cast<std::size_t>(count), "");
    }
    void rowRemoved(int row) override { names.erase(names.begin() + (row - 1)); }
    void rowsReset() override { names.clear(); }
    void rowChanged(int row) override {
        names[static_cast<std::size_t>(row - 1)] = rows_.cellValue(row, kColName);
    }
    void rowsSorted(std::span<const int> newRowOf) override {
        Names sorted(names.size());
        for (std::size_t old = 0; old < names.size(); ++old) {
            sorted[static_cast<std::size_t>(newRowOf[old] - 1)] = names[old];
        }
        names = std::move(sorted);
    }
    Names names;

private:
    const GridRows& rows_;
};

class GridRowsTest : public qmtest::RelocatedTest {
protected:
    GridRowsTest() { resources_.Activate(nullptr); }
    // Rows for modules, in the order given.
    void fill(GridRows& rows, const std::vector<Module>& modules) {
        for (const Module& m : modules) {
            rows.insertRows(rows.rowCount() + 1, 1);
            rows.fillRow(rows.rowCount(), recordOf(m));
        }
    }
    QmEnResourceLoader resources_{"QmModuleLoader"};
};

// Header clicks sort by the clicked column, then by name (by event for the name column),
// ignoring ASCII case as _wcsicmp does: lower-case folding puts "a_b" before "aB", and letters
// beyond ASCII sort by their code, after "Z".
TEST_F(GridRowsTest, HeaderClicksSortByTwoKeysIgnoringAsciiCase) {
    const std::vector<Module> modules = {{"Roads"},
                                         {"survey"},
                                         {"Rail", false, StartupOption::LoadMenuOnly},
                                         {"Terrain", true, StartupOption::LoadModule},
                                         {"aB"},
                                         {"a_b"},
                                         {"\xc3\x84pfel"}};
    struct Case {
        int column;
        Names order;  // after the click
    };
    const Case cases[] = {
        {kColName, {"\xc3\x84pfel", "Terrain", "survey", "Roads", "Rail", "aB", "a_b"}},
        {kColName, {"a_b", "aB", "Rail", "Roads", "survey", "Terrain", "\xc3\x84pfel"}},
        // Load menu only (6036), Load module (6037), then No action (6051) by name.
        {kColStartup, {"Rail", "Terrain", "a_b", "aB", "Roads", "survey", "\xc3\x84pfel"}},
        {kColStartup, {"a_b", "aB", "Roads", "survey", "\xc3\x84pfel", "Terrain", "Rail"}},
        {kColMenu, {"Terrain", "a_b", "aB", "Rail", "Roads", "survey", "\xc3\x84pfel"}},
    };
    GridRows rows;
    MirroringListener mirror(rows);
    rows.setListener(&mirror);
    fill(rows, modules);
    for (const Case& c : cases) {
        EXPECT_TRUE(rows.sortByHeaderClick(c.column));
        EXPECT_EQ(namesOf(rows), c.order) << c.column;
        EXPECT_EQ(mirror.names, c.order) << "the listener follows the sort";
    }
    EXPECT_FALSE(rows.sortByHeaderClick(kColRowHeader)) << "column 0 sorts nothing";
    rows.setListener(nullptr);
}

// A new row goes before the first greater name while the grid counts as sorted by name (from
// the start, and whatever the direction), else at the end.
TEST_F(GridRowsTest, InsertionRowFollowsTheLastSort) {
    struct Case {
        std::vector<int> clicks;
        std::string name;
        int row;
    };
    const Case cases[] = {
        {{}, "Bridges", 2},
        {{}, "bridges", 2},
        {{}, "Zulu", 4},
        {{}, "Ab", 1},
        {{kColName}, "Bridges", 2},  // descending: the rule is the same
        {{kColStartup}, "Bridges", 4},
        {{kColStartup, kColName}, "Bridges", 2},
    };
    for (const Case& c : cases) {
        GridRows rows;
        fill(rows, {{"Abbey"}, {"Canal"}, {"Dyke"}});
        for (int column : c.clicks) {
            rows.sortState().click(column);  // the state alone decides
        }
        EXPECT_EQ(rows.insertionRow(c.name), c.row) << c.name << " after " << c.clicks.size();
    }
}

TEST_F(GridRowsTest, CellsShowTheRecordAndTheExplanatoryRowIsNoModule) {
    GridRows rows;
    ModuleRecord started = recordOf({"Started", false, StartupOption::LoadModule});
    started.StartModule();  // started, menus not loaded: not shown as loaded
    ModuleRecord loaded = recordOf({"Loaded", true, StartupOption::LoadMenuOnly});
    MarkEvent(loaded, MarkMode::Unload, "QM_BASE");
    rows.insertRows(1, 2);
    rows.fillRow(1, started);
    rows.fillRow(2, loaded);
    struct Case {
        int row, column;
        std::string value;
        CellStyle style;
        std::string tip;
    };
    const Case cases[] = {
        {1, kColName, "Started", CellStyle::NamePlain, ""},
        {1, kColStartup, "6037", CellStyle::Startup, "Load module"},
        {1, kColMenu, "UNLOADED", CellStyle::MenuUnloaded, ""},
        {1, kColEvent, "", CellStyle::Standard, ""},
        {2, kColName, "Loaded", CellStyle::NameLoaded, "LOADED"},
        {2, kColStartup, "6036", CellStyle::Startup, "Load menu only"},
        {2, kColMenu, "LOADED", CellStyle::MenuLoaded, ""},
        {2, kColEvent, "Unload", CellStyle::Event, ""},
        {3, kColName, "", CellStyle::Standard, ""},  // no such row
    };
    for (const Case& c : cases) {
        const GridCell& cell = rows.cell(c.row, c.column);
        EXPECT_EQ(cell.value, c.value) << c.row << "/" << c.column;
        EXPECT_EQ(cell.style, c.style) << c.row << "/" << c.column;
        EXPECT_EQ(cell.tip, c.tip) << c.row << "/" << c.column;
    }
    EXPECT_EQ(CellFontWeight(CellStyle::NameLoaded), 700);
    EXPECT_EQ(CellFontWeight(CellStyle::MenuUnloaded), 400);

    rows.removeAllRows();
    rows.showExplanatoryRow("No modules\nhere");
    EXPECT_TRUE(rows.isExplanatoryRow(1));
    EXPECT_EQ(rows.cellValue(1, kColName), "No moduleshere");
    EXPECT_EQ(rows.cell(1, kColEvent).tip, "No moduleshere");
    EXPECT_EQ(rows.findRowByName("No moduleshere"), 0) << "the explanatory row is no module";
    rows.fillRow(1, loaded);
    EXPECT_EQ(rows.findRowByName("Loaded"), 1);
}

// A view of the loader dialog that records what the presenter asks of it.
class RecordingLoaderView : public LoaderDialogView {
public:
    void enableControl(int id, bool enabled) override { enabled_[id] = enabled; }
    void hideControl(int id) override { hidden.insert(id); }
    void setControlText(int id, const std::string& text) override { texts[id] = text; }
    void setButtonImage(int id, int bitmap) override { images[id] = bitmap; }
    void setButtonTooltip(int id, StringId text) override { tooltips[id] = text; }
    void showError(const std::string& text) override { errors.push_back(text); }
    void setBusy(bool busy) override { busyDepth += busy ? 1 : -1; }
    void applyPlacement(const DialogPlacement& p) override { applied = p; }
    DialogPlacement currentPlacement() const override { return current; }
    std::vector<Screen> screens() const override { return screenList; }
    std::vector<int> selectedGridRows() const override { return selected; }
    void selectGridRow(int row) override { selected = {row}; }
    void relayGridColumns() override { ++relays; }
    bool runOptionsDialog(const std::string& versionText) override {
        optionsVersion = versionText;
        return options ? options() : false;
    }
    void closeDialog(bool ok) override { closed = ok; }

    bool enabled(int id) const { return enabled_.contains(id) && enabled_.at(id); }

    std::map<int, bool> enabled_;
    std::set<int> hidden;
    std::map<int, std::string> texts;
    std::map<int, int> images;
    std::map<int, StringId> tooltips;
    Names errors;
    int busyDepth = 0;
    std::optional<DialogPlacement> applied;
    DialogPlacement current{10, 20, 700, 400, false, true};
    std::vector<Screen> screenList{{{0, 0, 1024, 768}, {0, 0, 1024, 728}}};
    std::vector<int> selected;
    int relays = 0;
    std::function<bool()> options;
    std::string optionsVersion;
    std::optional<bool> closed;
};

class LoaderPresenterTest : public GridRowsTest {
protected:
    LoaderPresenterTest() : host_(cadhost::HostOptions{&out_, {}}) {
        context_.setBaseModuleKey("QM_BASE");
    }
    // The base module first, then modules; the presenter initialised on them.
    LoaderDialogPresenter& open(const std::vector<Module>& modules, bool override = false) {
        context_.clearModules();
        context_.modules().push_back(recordOf({"Base", true, StartupOption::LoadModule}));
        context_.modules().back().SetKey("QM_BASE");
        for (const Module& m : modules) {
            context_.modules().push_back(recordOf(m));
        }
        context_.setAutostartOverride(override);
        view_ = RecordingLoaderView{};
        presenter_.emplace(context_, view_);
        presenter_->initialise();
        return *presenter_;
    }
    ModuleRecord& record(const std::string& name) {
        for (ModuleRecord& r : context_.modules()) {
            if (r.GetDisplayName() == name) {
                return r;
            }
        }
        throw std::runtime_error("no module " + name);
    }
    std::ostringstream out_;
    cadhost::Host host_;
    LoaderContext context_{std::make_unique<DiagnosticLog>()};
    RecordingLoaderView view_;
    std::optional<LoaderDialogPresenter> presenter_;
};

TEST_F(LoaderPresenterTest, InitialiseListsTheModulesAndSetsUpTheButtons) {
    struct Case {
        const char* label;
        std::vector<Module> modules;
        bool override;
        Names rows;
        Names errors;
    };
    const std::string noModules = NoModulesMessage(QmEnGetAppPath());
    const Case cases[] = {
        {"listed in catalogue order, the base module never",
         {{"Roads"}, {"Rail"}, {"Off", false, {}, false}},
         false,
         {"Roads", "Rail"},
         {}},
        {"every module switched off", {{"Off", false, {}, false}}, false, {}, {}},
        {"no modules at all", {}, false, {noModules}, {noModules}},
        {"the autostart override", {{"Roads"}}, true, {"Roads"}, {}},
    };
    for (const Case& c : cases) {
        LoaderDialogPresenter& p = open(c.modules, c.override);
        // The base module is the only record in the "no modules" case here, so the message
        // needs an installation without any record.
        if (c.modules.empty()) {
            context_.clearModules();
            view_ = RecordingLoaderView{};
            presenter_.emplace(context_, view_);
            presenter_->initialise();
        }
        const GridRows& rows = presenter_->rows();
        EXPECT_EQ(namesOf(rows), c.rows) << c.label;
        EXPECT_EQ(view_.errors, c.errors) << c.label;
        EXPECT_EQ(view_.busyDepth, 0) << c.label;
        for (int id : LoaderDialogPresenter::kActionButtons) {
            const bool hiddenForGood = id == kIdStartLoadModule && c.override;
            EXPECT_EQ(view_.enabled(id), !hiddenForGood) << c.label << " " << id;
            EXPECT_EQ(view_.hidden.contains(id), hiddenForGood) << c.label << " " << id;
        }
        EXPECT_EQ(view_.images[kIdStartLoadMenuOnly], kBitmapLoadMenuOnly);
        EXPECT_EQ(view_.tooltips[kIdUnload], StringId::UnloadModule);
        EXPECT_EQ(view_.selected,
                  context_.modules().empty() ? std::vector<int>{} : std::vector<int>{1})
            << c.label;
        EXPECT_EQ(p.versionCaption(), "Version: " + QmEnGetCurrentVersionNumber());
        EXPECT_EQ(p.offersLoadModule(), !c.override) << c.label;
    }
}

// What Load, Unload, the toggle and the start-up options do to the selected rows' records.
TEST_F(LoaderPresenterTest, MarksAndStartupOptionsActOnTheSelectedRows) {
    enum Action { Load, Unload, Toggle };
    struct Step {
        std::vector<int> selected;
        Action action;
        Names events;  // the Event column after the step, row by row
    };
    struct Case {
        const char* label;
        std::vector<Module> modules;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"Load and Unload mark only where they can act",
         {{"Roads"}, {"Terrain", true}},
         {{{1, 2}, Load, {"Load", ""}}, {{1, 2}, Unload, {"", "Unload"}}, {{2}, Load, {"", ""}}}},
        {"Space toggles each selected row on its own",
         {{"Roads"}, {"Terrain", true}, {"Rail"}},
         {{{1}, Load, {"Load", "", ""}}, {{1, 2, 3}, Toggle, {"", "Unload", "Load"}}}},
        // Two modules with one display name share one lookup: a mark on either row goes to
        // the first record of that name in catalogue order.
        {"two modules of one name",
         {{"Twin", false, {}, true, "QM_TWIN_A"}, {"Twin", false, {}, true, "QM_TWIN_B"}},
         {{{2}, Load, {"", "Load"}}}},  // the row marked shows the first record's mark
        {"rows without a record are skipped", {{"Roads"}}, {{{0, 1, 5}, Load, {"Load"}}}},
    };
    for (const Case& c : cases) {
        LoaderDialogPresenter& p = open(c.modules);
        for (const Step& step : c.steps) {
            view_.selected = step.selected;
            switch (step.action) {
                case Load:
                    p.onLoad();
                    break;
                case Unload:
                    p.onUnload();
                    break;
                case Toggle:
                    p.onToggle();
                    break;
            }
            Names events;
            for (int row = 1; row <= p.rows().rowCount(); ++row) {
                events.push_back(p.rows().cellValue(row, kColEvent));
            }
            EXPECT_EQ(events, step.events) << c.label;
        }
    }
    // The twins: only the first record carries the mark.
    LoaderDialogPresenter& p =
        open({{"Twin", false, {}, true, "QM_TWIN_A"}, {"Twin", false, {}, true, "QM_TWIN_B"}});
    view_.selected = {2};
    p.onLoad();
    EXPECT_EQ(context_.modules()[1].GetPendingEvent(), kEventLoadModule);
    EXPECT_EQ(context_.modules()[2].GetPendingEvent(), kEventNone);

    // Start-up options: the button and the command set the records and the images; the base
    // module is never changed, and the override does not stop Ctrl+I's command.
    open({{"Roads"}, {"Rail"}}, true);
    view_.selected = {1};
    presenter_->onStartupOptionButton(StartupOption::LoadMenuOnly);
    view_.selected = {2};
    presenter_->onGridCommand(kCmdLoadModule);
    EXPECT_EQ(presenter_->rows().cellValue(1, kColStartup), "6036");
    EXPECT_EQ(presenter_->rows().cellValue(2, kColStartup), "6037");
    EXPECT_TRUE(record("Roads").GetDemandLoad());
    EXPECT_TRUE(record("Rail").GetAutoStart() && !record("Rail").GetDemandLoad());
}

// After the Options dialog ended with OK, rows of modules switched off go, and rows of modules
// switched on come in name order while the grid counts as sorted by name, else at the end.
TEST_F(LoaderPresenterTest, OptionsRebuildRemovesAndInsertsRows) {
    struct Case {
        const char* label;
        std::vector<int> sortClicks;
        Names on, off;
        Names rows;
    };
    const Case cases[] = {
        {"sorted by name from the start",
         {},
         {"bridges", "Zulu"},
         {"Rail"},
         {"bridges", "Canal", "Roads", "Zulu"}},
        {"sorted by start-up option",
         {kColStartup},
         {"bridges"},
         {},
         {"Canal", "Rail", "Roads", "bridges"}},
        {"everything off", {}, {}, {"Canal", "Rail", "Roads"}, {}},
    };
    for (const Case& c : cases) {
        LoaderDialogPresenter& p = open({{"Canal"},
                                         {"bridges", false, {}, false},
                                         {"Rail"},
                                         {"Roads"},
                                         {"Zulu", false, {}, false}});
        for (int column : c.sortClicks) {
            p.rows().sortByHeaderClick(column);
        }
        view_.options = [&] {
            for (const std::string& name : c.on) {
                record(name).SetActivated(true);
            }
            for (const std::string& name : c.off) {
                record(name).SetActivated(false);
            }
            return true;
        };
        view_.selected = {3};
        p.onOptions();
        EXPECT_EQ(namesOf(p.rows()), c.rows) << c.label;
        EXPECT_EQ(view_.optionsVersion, p.versionCaption());
        EXPECT_EQ(view_.selected, std::vector<int>{1}) << c.label;
        EXPECT_TRUE(view_.enabled(kIdApply)) << c.label;
    }
    // Options cancelled: nothing changes, the selection included.
    LoaderDialogPresenter& p = open({{"Canal"}, {"Rail"}});
    view_.options = [&] {
        record("Rail").SetActivated(false);
        return false;
    };
    view_.selected = {2};
    p.onOptions();
    EXPECT_EQ(namesOf(p.rows()), (Names{"Canal", "Rail"}));
    EXPECT_EQ(view_.selected, std::vector<int>{2});
}

// OK stores the column widths and the placement and closes with OK; Cancel drops the marks and
// the unsaved start-up options, stores the placement (not the widths) and closes with Cancel.
TEST_F(LoaderPresenterTest, OkAndCancelStoreWhatTheyShouldAndClose) {
    LoaderDialogPresenter& p = open({{"Roads"}, {"Rail"}});
    p.fractions().fraction(kColStartup) = 0.2;
    view_.selected = {1};
    p.onStartupOptionButton(StartupOption::LoadModule);
    p.onOk();
    EXPECT_EQ(view_.closed, true);
    EXPECT_EQ(p.persistence().dialogData("Size of column 3"), 200);
    EXPECT_EQ(p.persistence().dialogData("Size of column 2"), 0) << "no fraction: 0";
    EXPECT_EQ(p.persistence().placement(), view_.current);
    EXPECT_EQ(qmtest::storedModuleSetting("QM_Roads", "AutoStart"), "True");

    LoaderDialogPresenter& again = open({{"Roads"}, {"Rail"}});
    EXPECT_EQ(view_.applied, (DialogPlacement{10, 20, 700, 400, false, true}));
    EXPECT_DOUBLE_EQ(again.fractions().value(kColStartup), 0.2);
    view_.current = {30, 40, 800, 500, true, true};
    again.fractions().fraction(kColStartup) = 0.5;
    view_.selected = {1, 2};
    again.onStartupOptionButton(StartupOption::LoadMenuOnly);
    again.onLoad();
    again.onCancel();
    EXPECT_EQ(view_.closed, false);
    EXPECT_FALSE(record("Rail").GetAutoStart()) << "read again from the store";
    EXPECT_FALSE(record("Roads").GetDemandLoad());
    EXPECT_EQ(record("Roads").GetPendingEvent(), kEventNone);
    EXPECT_EQ(again.persistence().dialogData("Size of column 3"), 200) << "widths not stored";
    EXPECT_EQ(again.persistence().placement(), view_.current);
}

// A stored placement is brought wholly onto the screen that holds most of it and shrunk to
// its work area, as Windows restores a placement.
TEST_F(LoaderPresenterTest, StoredPlacementIsFittedToTheScreens) {
    struct Case {
        const char* label;
        DialogPlacement stored;
        DialogPlacement applied;
    };
    const Case cases[] = {
        {"on the screen", {40, 30, 600, 400, false, true}, {40, 30, 600, 400, false, true}},
        {"mostly off the screen",
         {1200, 900, 800, 400, false, true},
         {224, 328, 800, 400, false, true}},
        {"larger than the work area",
         {10, 10, 3000, 2000, true, true},
         {0, 0, 1024, 728, true, true}},
    };
    for (const Case& c : cases) {
        DialogPersistence(QmEnGetRegistryKey(), "KRQM_MODULELOADER", true).storePlacement(c.stored);
        open({{"Roads"}});
        EXPECT_EQ(view_.applied, c.applied) << c.label;
    }
}

TEST(ScreenFit, BringsTheWindowOntoTheScreenHoldingMostOfItWithinItsWorkArea) {
    // Two screens side by side; the right one is taller, with a task bar on its left.
    const Screen left{{0, 0, 1280, 1024}, {0, 0, 1280, 984}};
    const Screen right{{1280, -200, 1920, 1200}, {1340, -200, 1860, 1200}};
    const std::vector<Screen> both{left, right};
    struct Case {
        const char* label;
        DialogPlacement stored;
        DialogPlacement fitted;
    };
    const Case cases[] = {
        {"wholly on the left screen", {100, 100, 800, 400}, {100, 100, 800, 400}},
        {"below the left screen's work area", {100, 900, 800, 400}, {100, 584, 800, 400}},
        {"mostly on the right screen, under its task bar",
         {1200, 0, 800, 400},
         {1340, 0, 800, 400}},
        {"above the right screen", {2000, -500, 400, 400}, {2000, -200, 400, 400}},
        {"far off every screen, nearest the right one",
         {30000, 20000, 800, 400},
         {2400, 600, 800, 400}},
        {"far left, nearest the left one", {-5000, 100, 300, 200}, {0, 100, 300, 200}},
        {"larger than the work area it is mostly on", {-10, -10, 2000, 1100}, {0, 0, 1280, 984}},
        {"no position: only shrunk, on the first screen",
         {0, 0, 3000, 500, false, false},
         {0, 0, 1280, 500, false, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FitToScreens(c.stored, both), c.fitted) << c.label;
    }
    const DialogPlacement any{5, 5, 10, 10};
    EXPECT_EQ(FitToScreens(any, {}), any) << "no screens: as it is";
}

TEST_F(GridRowsTest, PlacementAndItemsAreKeptPerDialogOnlyWithPersistency) {
    DialogPersistence off("Software\\Test", "DIALOG", false);
    off.storePlacement({1, 2, 3, 4, false, true});
    off.setDialogData("Item", 5);
    DialogPersistence on("Software\\Test", "DIALOG", true);
    EXPECT_EQ(on.placement(), std::nullopt) << "nothing was written";
    EXPECT_EQ(on.dialogData("Item"), std::nullopt);

    on.storePlacement({-100, 50, 640, 480, true, true});
    on.setDialogData("Item", -7);
    EXPECT_EQ(on.placement(), (DialogPlacement{-100, 50, 640, 480, true, true}));
    EXPECT_EQ(on.dialogData("Item"), -7);
    EXPECT_EQ(off.placement(), std::nullopt) << "off reads nothing either";
    EXPECT_EQ(DialogPersistence("Software\\Test", "OTHER", true).placement(), std::nullopt);

    // A stored size without a position.
    QmEnWinRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kQmEnHKeyCurrentUser, "Software\\Test\\Dialogs\\SIZED", true));
    registry.WriteLong("WindowWidth", 300);
    registry.WriteLong("WindowHeight", 200);
    EXPECT_EQ(DialogPersistence("Software\\Test", "SIZED", true).placement(),
              (DialogPlacement{0, 0, 300, 200, false, false}));
}

// A view of the Options dialog whose UI thread is the test's: posted tasks wait in a queue
// until the test runs them.
class QueueingOptionsView : public OptionsDialogView {
public:
    void enableControl(int id, bool enabled) override { enabled_[id] = enabled; }
    void showControl(int id, bool shown) override { shown_[id] = shown; }
    void setWaitCursor(bool on) override { waitCursor = on; }
    std::vector<OptionsCheck> listChecks() const override { return checks; }
    void clearList() override {
        items.clear();
        checks.clear();
    }
    void showItems(const std::vector<OptionsItem>& shown) override {
        items = shown;
        for (const OptionsItem& item : shown) {
            checks.push_back({item.key, item.checked});
        }
    }
    void showListError(const std::string& text) override { error = text; }
    void closeDialog(bool ok) override { closed = ok; }
    void postToUiThread(std::function<void()> task) override {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
    }
    void listFilled() override { ++fills; }

    // Runs the posted tasks once one has come (at most 10 s).
    void runPosted() {
        for (int i = 0; i < 1000; ++i) {
            std::vector<std::function<void()>> ready;
            {
                std::lock_guard lock(mutex);
                ready.swap(tasks);
            }
            if (!ready.empty()) {
                for (auto& task : ready) {
                    task();
                }
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "no task was posted";
    }
    bool busy() const {
        return shown_.at(kIdPleaseWait) && waitCursor && !enabled_.at(kIdOk) &&
               !enabled_.at(kIdCancel) && !enabled_.at(kIdRefresh);
    }

    std::map<int, bool> enabled_, shown_;
    bool waitCursor = false;
    std::vector<OptionsCheck> checks;
    std::vector<OptionsItem> items;
    std::string error;
    std::optional<bool> closed;
    int fills = 0;
    std::mutex mutex;
    std::vector<std::function<void()>> tasks;
};

TEST_F(LoaderPresenterTest, OptionsFillIsBusyUntilItsResultIsPostedBack) {
    open({{"Terrain", true}, {"survey"}, {"Roads"}, {"Rail"}});
    QueueingOptionsView view;
    {
        OptionsDialogPresenter p(context_, view);
        p.start();
        EXPECT_TRUE(p.filling());
        EXPECT_TRUE(view.busy());
        // While the list fills, nothing ends the dialog and no second fill starts.
        p.onOk();
        p.onCancel();
        p.onRefresh();
        EXPECT_FALSE(p.canClose());
        EXPECT_EQ(view.closed, std::nullopt);
        view.runPosted();
        EXPECT_FALSE(p.filling());
        EXPECT_FALSE(view.busy());
        EXPECT_FALSE(view.shown_[kIdPleaseWait] || view.waitCursor);
        EXPECT_EQ(view.fills, 1);
        Names shown;
        for (const OptionsItem& item : view.items) {
            shown.push_back(item.name + (item.enabled ? "" : " (in use)"));
        }
        EXPECT_EQ(shown, (Names{"Rail", "Roads", "survey", "Terrain (in use)"}));

        // Refresh stores the list as the user left it; OK then closes.
        view.checks[0].checked = false;  // Rail
        p.onRefresh();
        view.runPosted();
        EXPECT_FALSE(record("Rail").GetActivated());
        EXPECT_EQ(qmtest::storedModuleSetting("QM_Rail", "Activated"), "False");
        view.checks[1].checked = false;  // Roads, stored by OK
        p.onOk();
        EXPECT_EQ(view.closed, true);
        EXPECT_EQ(qmtest::storedModuleSetting("QM_Roads", "Activated"), "False");

        // A fill whose dialog goes before its result arrives: the result is dropped.
        view.closed.reset();
        p.onRefresh();
    }
    view.runPosted();
    EXPECT_EQ(view.fills, 2) << "the third fill's result reached nobody";
}

TEST(OptionsOrder, NamesSortAsASortedListBox) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"survey", "Terrain", -1},
        {"Rail", "roads", -1},
        {"ROADS", "roads", -1},
        {"roads", "roads", 0},
        {"a_b", "aB", -1},
        // The user's language: umlauts go with their base letters, not after "Zulu".
        {"\xc3\x96sterreich", "Zulu", -1},
        {"\xc3\xbcmlaut", "Zulu", -1},
        {"\xc3\x96sterreich", "Oslo", 1},
    };
    for (const Case& c : cases) {
        const int order = CompareOptionNames(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.sign) << c.a << " " << c.b;
        EXPECT_EQ(CompareOptionNames(c.b, c.a), -order) << c.b << " " << c.a;
    }
}

}  // namespace presenters

}  // namespace
