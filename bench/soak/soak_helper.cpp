// Helper of scripts/soak.sh: the pieces of the loader the soak kills, times or checks.
//   soak_helper apply-writes N          saves the settings of N modules as the loader
//                                       dialog's Apply does, round after round (round r:
//                                       AutoStart = r even, DemandLoad = r odd), printing
//                                       "round r" after each commit, until killed
//   soak_helper check-settings N        exit 0 when all N module keys hold the settings of one
//                                       and the same round, complete; else prints why, exit 1
//   soak_helper check-import KEY N A B  exit 0 when KEY (below HKCU) has exactly the N
//                                       subkeys an import writes and all carry the same
//                                       "Generation", A or B; prints "generation G"
//   soak_helper protector N COUNTER     N times: takes the menu protector (5000 ms), adds one
//                                       to the number in COUNTER by read, pause and write,
//                                       releases; prints "timeouts T"
//   soak_helper protector-wait          one wait for the menu protector; prints "acquired" or
//                                       "timeout", and the milliseconds waited
#include <qmenv/environment.h>
#include <qmreg/registry.h>
#include <qmsys/named_mutex.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "catalogue/module_settings.h"
#include "environment/names.h"
#include "environment/registry_layout.h"
#include "runtime/menu_group_automation.h"

namespace {

std::string moduleKeyName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "QM_SOAK_%04d", i);
    return name;
}

int applyWrites(int modules) {
    qm::ModuleList list(static_cast<std::size_t>(modules));
    for (int i = 0; i < modules; ++i) {
        list[static_cast<std::size_t>(i)].SetKey(moduleKeyName(i));
    }
    for (long round = 0;; ++round) {
        for (qm::ModuleRecord& record : list) {
            record.SetActivated(true);
            record.SetAutoStart(round % 2 == 0);
            record.SetDemandLoad(round % 2 == 1);
        }
        qm::WriteModuleSettings(list);
        std::printf("round %ld\n", round);
        std::fflush(stdout);
    }
}

int checkSettings(int modules) {
    int parity = -1;
    for (int i = 0; i < modules; ++i) {
        QmEnWinRegistry reg;
        std::string autoStart, demandLoad, activated;
        if (!reg.OpenKey(kQmEnHKeyCurrentUser, qm::registry_layout::moduleKey(moduleKeyName(i)),
                         false) ||
            !reg.ReadString("AutoStart", autoStart) || !reg.ReadString("DemandLoad", demandLoad) ||
            !reg.ReadString("Activated", activated)) {
            std::printf("module %d: settings missing\n", i);
            return 1;
        }
        const int mine = autoStart == "True" ? 0 : 1;
        if (activated != "True" || (demandLoad == "True") != (mine == 1) ||
            (parity >= 0 && mine != parity)) {
            std::printf("module %d: settings of another round (%s %s %s)\n", i, activated.c_str(),
                        autoStart.c_str(), demandLoad.c_str());
            return 1;
        }
        parity = mine;
    }
    return 0;
}

int checkImport(const std::string& key, int count, long before, long after) {
    try {
        qmreg::Hive& hive = qmreg::Hive::forThread(qmreg::HiveId::CurrentUser);
        const auto subkeys = hive.subkeys(key);
        if (static_cast<int>(subkeys.size()) != count) {
            std::printf("%zu subkeys, expected %d\n", subkeys.size(), count);
            return 1;
        }
        long seen = -1;
        for (const std::string& sub : subkeys) {
            const auto value = hive.getValue(key + "\\" + sub, "Generation");
            const long g = value && value->type == qmreg::ValueType::Dword
                               ? static_cast<long>(value->asDword())
                               : -1;
            if (g < 0 || (seen >= 0 && g != seen) || (g != before && g != after)) {
                std::printf("%s: generation %ld (others %ld, expected %ld or %ld)\n", sub.c_str(),
                            g, seen, before, after);
                return 1;
            }
            seen = g;
        }
        std::printf("generation %ld\n", seen);
        return 0;
    } catch (const qmreg::StoreError& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}

int protector(int iterations, const std::string& counterFile) {
    qmsys::NamedMutex mutex{std::string(qm::names::kMenuProtectorMutex)};
    int timeouts = 0;
    for (int i = 0; i < iterations; ++i) {
        if (!mutex.lock(qm::MenuGroupAutomation::kDefaultTimeout)) {
            ++timeouts;
            continue;
        }
        long value = 0;
        {
            std::ifstream in(counterFile);
            in >> value;
        }
        std::this_thread::yield();  // widen the window a missing exclusion would show in
        {
            std::ofstream out(counterFile, std::ios::trunc);
            out << value + 1 << "\n";
        }
        mutex.unlock();
    }
    std::printf("timeouts %d\n", timeouts);
    return 0;
}

int protectorWait() {
    qmsys::NamedMutex mutex{std::string(qm::names::kMenuProtectorMutex)};
    const auto start = std::chrono::steady_clock::now();
    const bool acquired = mutex.lock(qm::MenuGroupAutomation::kDefaultTimeout);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    std::printf("%s %lld\n", acquired ? "acquired" : "timeout", static_cast<long long>(waited));
    if (acquired) {
        mutex.unlock();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "apply-writes" && argc == 3) {
        return applyWrites(std::atoi(argv[2]));
    }
    if (command == "check-settings" && argc == 3) {
        return checkSettings(std::atoi(argv[2]));
    }
    if (command == "check-import" && argc == 6) {
        return checkImport(argv[2], std::atoi(argv[3]), std::atol(argv[4]), std::atol(argv[5]));
    }
    if (command == "protector" && argc == 4) {
        return protector(std::atoi(argv[2]), argv[3]);
    }
    if (command == "protector-wait" && argc == 2) {
        return protectorWait();
    }
    std::fprintf(stderr,
                 "usage: soak_helper apply-writes N | check-settings N | check-import KEY N A B |"
                 " protector N COUNTER | protector-wait\n");
    return 2;
}
