// Module records: event marking, the base module's stop rule and the copy rule for the
// started state.
#include "runtime/module_record.h"

#include <gtest/gtest.h>
#include <qmsys/text.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
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

// Everything a record carries except the started state.
std::string describe(const ModuleRecord& r) {
    std::ostringstream s;
    s << r.GetKey() << '|' << r.GetDisplayName() << '|' << r.GetVersionMajor() << '.'
      << r.GetVersionMinor() << '|' << r.GetMenusLoaded() << r.GetPendingEvent() << r.GetActivated()
      << r.GetAutoStart() << r.GetDemandLoad();
    for (std::size_t i = 0; i < r.GetMenus().Count(); ++i) {
        s << '|' << r.GetMenus()[i].name << ':' << r.GetMenus()[i].folder << ':'
          << r.GetMenus()[i].groupName;
    }
    for (const qm::QmApplication& app : r.GetApplications()) {
        s << '|' << app.CommandLine() << ':' << app.GetType() << ':' << app.GetCommand()
          << app.GetModal();
    }
    return s.str();
}

TEST(ModuleRecord, CopyAndMoveCarryEverythingButTheStartedStateIsOnlyEverAdded) {
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
    const std::string expected = describe(source);
    ASSERT_NE(expected, describe(ModuleRecord{}));

    // A target is started afterwards when it was before or the source was: starting is
    // carried, stopping never is. Moving follows the same rule; it only saves copying.
    const struct {
        bool sourceStarted;
        std::optional<bool> targetStarted;  // nullopt: construction
        int expected;
    } cases[] = {{true, std::nullopt, 1},
                 {false, std::nullopt, 0},
                 {false, true, 1},
                 {true, false, 1},
                 {false, false, 0}};
    for (const bool move : {false, true}) {
        for (const auto& c : cases) {
            ModuleRecord from = source;
            if (c.sourceStarted) {
                from.StartModule();
            }
            const std::string what = std::string(move ? "move " : "copy ") +
                                     (c.sourceStarted ? "started" : "idle") + " onto " +
                                     (!c.targetStarted   ? "new"
                                      : *c.targetStarted ? "started"
                                                         : "idle");
            std::optional<ModuleRecord> target;
            if (!c.targetStarted) {
                target.emplace(move ? ModuleRecord(std::move(from)) : ModuleRecord(from));
            } else {
                target.emplace();
                target->AddMenu("Stale", "Old");
                if (*c.targetStarted) {
                    target->StartModule();
                }
                if (move) {
                    *target = std::move(from);
                } else {
                    *target = from;
                }
            }
            EXPECT_EQ(target->GetStarted(), c.expected) << what;
            EXPECT_EQ(describe(*target), expected) << what;
        }
    }
}

// Short lists are searched one by one, long ones through an index: both must answer alike
// while a list grows past the limit and shrinks below it again.
TEST(MenuList, LookupsAgreeAcrossTheIndexLimit) {
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{8}, std::size_t{9}, std::size_t{20}}) {
        SCOPED_TRACE("size " + std::to_string(size));
        qm::MenuList list;
        std::vector<std::string> names;  // the model: names in list order
        for (std::size_t i = 0; i < size; ++i) {
            names.push_back("KRQM_M" + std::to_string(i) + "_enu");
            ASSERT_TRUE(list.AddMenu(names.back(), "F" + std::to_string(i)));
            ASSERT_FALSE(list.AddMenu("krqm_m" + std::to_string(i) + "_ENU", "Other"));
        }
        auto agrees = [&](const char* when) {
            ASSERT_EQ(list.Count(), names.size()) << when;
            for (std::size_t i = 0; i < names.size(); ++i) {
                EXPECT_EQ(list.FindMenu(qmsys::asciiUpper(names[i])), i) << when << " " << names[i];
                EXPECT_EQ(list[i].name, names[i]) << when;
            }
            EXPECT_EQ(list.FindMenu("KRQM_Missing_enu"), list.Count()) << when;
        };
        agrees("filled");
        const std::size_t first = size / 3;
        const std::size_t last = std::min(size, first + 6);
        list.Erase(first, last);
        const std::vector<std::string> erased(names.begin() + static_cast<std::ptrdiff_t>(first),
                                              names.begin() + static_cast<std::ptrdiff_t>(last));
        names.erase(names.begin() + static_cast<std::ptrdiff_t>(first),
                    names.begin() + static_cast<std::ptrdiff_t>(last));
        agrees("after erasing");
        for (const std::string& name : erased) {
            ASSERT_TRUE(list.AddMenu(qmsys::asciiLower(name), "Again"));
            names.push_back(qmsys::asciiLower(name));
        }
        agrees("refilled");
    }
}

}  // namespace
