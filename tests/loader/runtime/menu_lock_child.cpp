// Helper process for the cross-process tests of the menu lock.
//   menu_lock_child hold
//       takes "MenuLoaderProtector", prints "held" and sleeps until killed (a hung holder).
//   menu_lock_child hammer <menu list file> <menu file> <group> <iterations>
//       runs a host of its own sharing the remembered-menus file, and loads and unloads its
//       group through the guarded operations; prints "failures <n>" and exits with 0 only
//       when every operation succeeded.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include <cadhost/host.h>
#include <qmsys/named_mutex.h>

#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "runtime/menu_group_automation.h"

namespace {

int hold() {
    qmsys::NamedMutex mutex{std::string(qm::names::kMenuProtectorMutex)};
    if (!mutex.lock(std::chrono::seconds(10))) {
        std::puts("not acquired");
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::minutes(5));
    return 0;
}

int hammer(const std::string& listFile, const std::string& menuFile, const std::string& group,
           int iterations) {
    std::ostringstream quiet;
    cadhost::Host host(cadhost::HostOptions{&quiet, listFile});
    qm::DiagnosticLog log;
    qm::MenuGroupAutomation automation(log, std::chrono::seconds(20));
    int failures = 0;
    for (int i = 0; i < iterations; ++i) {
        std::string loaded;
        if (!automation.LoadMenuGroupFile(menuFile, loaded) || loaded != group) {
            ++failures;
        }
        std::string found;
        if (!automation.FindMenuGroupByFile(menuFile, found) || found != group) {
            ++failures;
        }
        if (!automation.UnloadMenuGroupByName(group)) {
            ++failures;
        }
    }
    std::printf("failures %d\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hold") {
        return hold();
    }
    if (mode == "hammer" && argc == 6) {
        return hammer(argv[2], argv[3], argv[4], std::atoi(argv[5]));
    }
    std::fprintf(stderr, "usage: menu_lock_child hold | hammer LIST MENU GROUP N\n");
    return 2;
}
