// Helper process for the cross-process tests of the menu lock (a hung holder of the lock is
// qm_lock_holder).
//   menu_lock_child <menu list file> <menu file> <group> <iterations>
//       runs a host of its own sharing the remembered-menus file, and loads and unloads its
//       group through the guarded operations; prints "failures <n>" and exits with 0 only
//       when every operation succeeded.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include <cadhost/host.h>

#include "environment/diagnostic_log.h"
#include "runtime/menu_group_automation.h"

namespace {

int hammer(const std::string& listFile, const std::string& menuFile, const std::string& group,
           int iterations) {
    std::ostringstream quiet;
    cadhost::Host host(cadhost::HostOptions{
        &quiet, listFile, std::getenv("QMTEST_HOST_WITHOUT_CHANGE_COUNT") == nullptr});
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
    if (argc == 5) {
        return hammer(argv[1], argv[2], argv[3], std::atoi(argv[4]));
    }
    std::fprintf(stderr, "usage: menu_lock_child LIST MENU GROUP N\n");
    return 2;
}
