// Times filling one module's menu list with N menus, in this thread's CPU time (best of three
// rounds). Adding a menu costs the same however many the list holds, so a definition with
// tens of thousands of menus reads in linear time: the time per menu should stay flat from
// one N to the next, where a list that scanned itself on each add would grow with N.
//
//   menu_list_bench [N...]        default: 4000 32000
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_support.h"
#include "runtime/menu_list.h"

namespace {

double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    std::printf("%8s %12s %12s\n", "menus", "ms", "ns/menu");
    for (const int n : qmbench::sizesFromArgs(argc, argv, {4000, 32000})) {
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            const double start = threadCpuSeconds();
            qm::MenuList list;
            for (int i = 0; i < n; ++i) {
                list.AddMenu("Menu_" + std::to_string(i) + "_enu", "Menus");
            }
            list.AddMenu("MENU_0_ENU", "Elsewhere");
            best = std::min(best, threadCpuSeconds() - start);
        }
        std::printf("%8d %12.2f %12.1f\n", n, best * 1e3, best * 1e9 / n);
    }
    return 0;
}
