// Module records: defaults, event marking, the base module's stop rule and the copy rule for
// the started state.
#include "runtime/module_record.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

namespace {

using qm::ModuleEvent;
using qm::ModuleRecord;

ModuleRecord loaded(bool menusLoaded) {
    ModuleRecord r;
    r.SetMenusLoaded(menusLoaded);
    return r;
}

TEST(ModuleRecord, SetEventRefusesOnlyPointlessModuleEvents) {
    const struct {
        bool menusLoaded;
        int event;
        int stored;
    } cases[] = {
        {false, 0, 0}, {false, 1, 1}, {false, 2, 0}, {false, 3, 3}, {false, 4, 4}, {false, 7, 7},
        {true, 0, 0},  {true, 1, 0},  {true, 2, 2},  {true, 3, 3},  {true, 4, 4},  {true, -1, -1},
    };
    for (const auto& c : cases) {
        ModuleRecord r = loaded(c.menusLoaded);
        r.SetEvent(qm::kEventUnloadMenu);  // an earlier mark is always replaced
        r.SetEvent(static_cast<ModuleEvent>(c.event));
        EXPECT_EQ(r.GetPendingEvent(), c.stored) << c.menusLoaded << "/" << c.event;
    }
}

TEST(ModuleRecord, CanLoadWhenMenusAreNotLoadedOrLoadIsMarked) {
    const struct {
        bool menusLoaded;
        ModuleEvent pending;
        bool canLoad;
    } cases[] = {
        {false, qm::kEventNone, true},     {false, qm::kEventUnloadMenu, true},
        {true, qm::kEventNone, false},     {true, qm::kEventUnloadModule, false},
        {true, qm::kEventLoadMenu, false},
    };
    for (const auto& c : cases) {
        ModuleRecord r = loaded(c.menusLoaded);
        r.SetEvent(c.pending);
        EXPECT_EQ(r.CanLoad(), c.canLoad) << c.menusLoaded << "/" << c.pending;
    }
    // Load marked while the menus were not loaded, then the menus got loaded elsewhere.
    ModuleRecord r;
    r.SetEvent(qm::kEventLoadModule);
    r.SetMenusLoaded(true);
    EXPECT_TRUE(r.CanLoad());
}

TEST(ModuleRecord, StopModuleSparesTheBaseModuleInAnyLetterCase) {
    const struct {
        const char* key;
        int startedAfterStop;
    } cases[] = {{"QM_BASE", 1},  {"qm_base", 1},  {"Qm_BaSe", 1},
                 {"QM_BASE2", 0}, {"QM_ROADS", 0}, {"", 0}};
    for (const auto& c : cases) {
        ModuleRecord r;
        r.SetKey(c.key);
        EXPECT_TRUE(r.StartModule());
        r.StopModule();
        EXPECT_EQ(r.GetStarted(), c.startedAfterStop) << c.key;
    }
    ModuleRecord idle;
    idle.StopModule();
    EXPECT_EQ(idle.GetStarted(), 0);
}

TEST(ModuleRecord, StartedStateIsCarriedByStartingNotCopied) {
    // Moving follows the copy rule; it only saves copying.
    const struct {
        bool move;
        bool sourceStarted;
        std::optional<bool> targetStarted;  // nullopt: construction
        int expected;
    } cases[] = {
        {false, true, std::nullopt, 1}, {false, false, std::nullopt, 0},
        {false, false, true, 1},        {false, true, false, 1},
        {false, false, false, 0},       {true, true, std::nullopt, 1},
        {true, false, std::nullopt, 0}, {true, false, true, 1},
        {true, true, false, 1},         {true, false, false, 0},
    };
    for (const auto& c : cases) {
        ModuleRecord source;
        source.SetKey("QM_SOURCE");
        if (c.sourceStarted)
            source.StartModule();
        const std::string what = std::string(c.move ? "move " : "copy ") +
                                 (c.sourceStarted ? "started" : "idle") + " onto " +
                                 (!c.targetStarted   ? "new"
                                  : *c.targetStarted ? "started"
                                                     : "idle");
        if (!c.targetStarted) {
            ModuleRecord made = c.move ? ModuleRecord(std::move(source)) : ModuleRecord(source);
            EXPECT_EQ(made.GetStarted(), c.expected) << what;
            EXPECT_EQ(made.GetKey(), "QM_SOURCE") << what;
            continue;
        }
        ModuleRecord target;
        if (*c.targetStarted)
            target.StartModule();
        if (c.move) {
            target = std::move(source);
        } else {
            target = source;
        }
        EXPECT_EQ(target.GetStarted(), c.expected) << what;
        EXPECT_EQ(target.GetKey(), "QM_SOURCE") << what;
    }
}

TEST(ModuleRecord, CopyCarriesDefinitionSettingsStateAndMenuGroups) {
    ModuleRecord source;
    source.SetKey("QM_ROADS");
    source.SetDisplayName("Road Design");
    source.SetVersion(22, 15);
    source.AddMenu("KRQM_Roads_enu", "Roads/Menus");
    source.AddMenu("KRQM_Extra_enu", "Extra");
    source.GetMenus()[1].groupName = "KRQM_EXTRA";
    source.AddApplication(qm::QmApplication("/opt/b", "x", "exe", "", false));
    source.AddApplication(qm::QmApplication("/opt/a", "", "arx", "CMD", true));
    source.SetMenusLoaded(true);
    source.SetEvent(qm::kEventUnloadMenu);
    source.SetActivated(false);
    source.SetAutoStart(true);
    source.SetDemandLoad(true);

    ModuleRecord target;
    target.AddMenu("Stale", "Old");
    target = source;
    EXPECT_EQ(target.GetKey(), "QM_ROADS");
    EXPECT_EQ(target.GetDisplayName(), "Road Design");
    EXPECT_EQ(target.GetVersionMajor(), 22);
    EXPECT_EQ(target.GetVersionMinor(), 15);
    ASSERT_EQ(target.GetMenus().Count(), 2u);
    EXPECT_EQ(target.GetMenus()[0].groupName, "");
    EXPECT_EQ(target.GetMenus()[1].groupName, "KRQM_EXTRA");
    ASSERT_EQ(target.GetApplications().size(), 2u);
    EXPECT_EQ(target.GetApplications().begin()->GetPath(), "/opt/a");
    EXPECT_EQ(target.GetMenusLoaded(), 1);
    EXPECT_EQ(target.GetPendingEvent(), qm::kEventUnloadMenu);
    EXPECT_FALSE(target.GetActivated());
    EXPECT_TRUE(target.GetAutoStart());
    EXPECT_TRUE(target.GetDemandLoad());
}

}  // namespace
