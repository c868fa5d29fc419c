// The module loader's user-interface rules that need no widget: resources and their language,
// message texts, accelerators, the first-run marker, event marking, Apply's error text, the
// product information file and the Options dialog's fill procedure.
#include <gtest/gtest.h>
#include <qmenv/environment.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "environment/registry_layout.h"
#include "qm/version.h"
#include "qmtest/files.h"
#if !defined(_WIN32)
#include "qmtest/forked_child.h"
#endif
#include "qmtest/product_keys.h"
#include "qmtest/relocated_user.h"
#include "qmtest/text.h"
#include "runtime/module_list.h"
#include "ui/logic/accelerator_table.h"
#include "ui/logic/apply_report.h"
#include "ui/logic/event_marking.h"
#include "ui/logic/first_run.h"
#include "ui/logic/options_fill.h"
#include "ui/logic/product_info.h"
#include "ui/logic/resource_strings.h"
#include "ui/logic/string_table.h"

namespace {

using namespace qm;
using namespace qm::ui;

void setLanguage(const std::string& code) {
    QmEnWinRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kQmEnHKeyCurrentUser, qmtest::kKernelServicesKey, true));
    registry.WriteString("Language", code);
}

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
    setLanguage("deu");
    EXPECT_EQ(ResourceString(StringId::ModuleNameHeader), "Modulname");
    setLanguage("fra");  // not shipped: English
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
    QmEnWinRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kQmEnHKeyCurrentUser, QmEnGetRegistryKey() + "\\Base", true));
    ASSERT_TRUE(registry.WriteLong("Present", 1));
    namespace fs = std::filesystem;
    const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(user_.root(), readable | fs::perms::owner_write);
    fs::permissions(user_.registryDir(), readable);

    qmtest::ForkedChild child([](int fd) {
        if (!qmtest::dropRootPrivileges()) {
            return 98;
        }
        bool first = true;
        std::thread([&first] { first = TestAndMarkFirstRun(); }).join();
        qmtest::report(fd, first ? "first run" : "no first run");
        return 0;
    });
    EXPECT_EQ(child.wait(), 0);
    fs::permissions(user_.registryDir(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(child.reports(), "no first run");
    EXPECT_FALSE(registry.OpenKey(kQmEnHKeyCurrentUser, registry_layout::modulesKey(), false))
        << "nothing written";
}
#endif

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

}  // namespace
