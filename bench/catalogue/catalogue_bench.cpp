// Times the catalogue scan (LoadCatalogue: schema compiled once, every definition parsed,
// validated, read, its module key created in a private registry, then the list sorted) over
// N generated definitions with two menus and two applications each, and times
//     xmllint --noout --schema QM_Module.xsd <the same files>
// in the same run. Everything lives in a temporary folder with a private user and registry,
// removed at the end.
//
//   catalogue_bench [--runs R] [N...]        default: 100 1000 10000, R = 3
//
// Columns: wall time of the first scan (which creates every module key), per file, its CPU
// time over all threads; the median wall time of later scans without the snapshot (cold:
// every file parsed, keys present) and with it (warm: the previous scan's snapshot, nothing
// parsed); xmllint's median wall and CPU time; the cold and warm scans' ratios to xmllint's
// wall time and the cold scan's CPU ratio.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_snapshot.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// User and system CPU time used so far by this process (all threads) or by its waited-for
// children, in milliseconds. Unlike wall time it hardly depends on what else the machine
// runs.
double cpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::string definition(int i) {
    char key[32];
    std::snprintf(key, sizeof key, "QM_BENCH_%05d", i);
    const std::string k(key);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<QM_Module>\n"
           "  <Keyname>" +
           k +
           "</Keyname>\n"
           "  <Version>\n    <VersionMajor>22</VersionMajor>\n"
           "    <VersionMinor>" +
           std::to_string(i % 100) +
           "</VersionMinor>\n  </Version>\n"
           "  <Name>\n"
           "    <ModuleName>Bench module " +
           std::to_string((i * 7919) % 100000) +
           "</ModuleName>\n"
           "    <MenuName path=\"Bench\\Menus\">KRQM_" +
           k +
           "_enu</MenuName>\n"
           "    <MenuName path=\"Bench\\Extra\">KRQM_" +
           k +
           "_Extra_enu</MenuName>\n"
           "  </Name>\n"
           "  <Applications>\n"
           "    <Application path=\"&lt;BINARIES&gt;/" +
           k +
           ".arx\" arguments=\"\" type=\"arx\" "
           "command=\"" +
           k +
           "_INIT\" modal=\"False\"/>\n"
           "    <Application path=\"Bench\\Bin\\" +
           k +
           "_tool\" arguments=\"--quiet --project "
           "default\" type=\"exe\" command=\"\" modal=\"True\"/>\n"
           "  </Applications>\n"
           "</QM_Module>\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<int> sizes = qmbench::sizesFromArgs(argc, argv, {100, 1000, 10000});
    const int runs = std::max(1, std::atoi(qmbench::optionValue(argc, argv, "runs", "3").c_str()));

    char pattern[] = "/tmp/qm_catalogue_bench_XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root(pattern);
    qmbench::relocateUser(root, root);

    std::printf("%7s | %9s %9s %9s | %9s %9s | %9s %9s | %7s %7s %7s\n", "N", "first ms", "us/file",
                "cpu ms", "cold ms", "warm ms", "lint ms", "lint cpu", "cold/x", "warm/x", "cpu/x");
    int status = 0;
    for (const int n : sizes) {
        const fs::path folder = root / ("n" + std::to_string(n)) / "Zadod/Modules";
        fs::create_directories(folder);
        fs::copy_file(QM_BENCH_SCHEMA, folder / "QM_Module.xsd");
        std::vector<std::string> files;
        for (int i = 0; i < n; ++i) {
            char name[48];
            std::snprintf(name, sizeof name, "bench_%05d.default.xml", i);
            std::ofstream(folder / name) << definition(i);
            files.push_back((folder / name).string());
        }
        // A fresh registry per size, so that the first scan creates every module key.
        const fs::path registry = root / ("n" + std::to_string(n)) / "registry";
        fs::create_directories(registry);
        setenv("QM_REGISTRY_DIR", registry.c_str(), 1);

        const qm::CatalogueContext context = qm::MakeCatalogueContext("Default", "enu");
        qm::ModuleList list;
        std::string errorText;
        const double cpuStart = cpuMs(RUSAGE_SELF);
        auto start = Clock::now();
        qm::LoadCatalogue(context, folder.string(), "xml", list, errorText);
        const double scanMs = msSince(start);
        const double scanCpu = cpuMs(RUSAGE_SELF) - cpuStart;
        if (list.size() != static_cast<std::size_t>(n) || !errorText.empty()) {
            std::fprintf(stderr, "scan of %d files read %zu modules: %s\n", n, list.size(),
                         errorText.c_str());
            status = 1;
        }

        // Later scans: keys present, cold (no snapshot) and warm (the previous scan's).
        auto scan = [&](bool snapshot) {
            qm::CatalogueContext ctx = context;
            ctx.useSnapshot = snapshot;
            qm::ModuleList again;
            std::string text;
            const auto begin = Clock::now();
            qm::LoadCatalogue(ctx, folder.string(), "xml", again, text);
            return msSince(begin);
        };
        std::vector<double> cold;
        std::vector<double> cpuCold;
        std::vector<double> warm;
        for (int r = 0; r < runs; ++r) {
            const double before = cpuMs(RUSAGE_SELF);
            cold.push_back(scan(false));
            cpuCold.push_back(cpuMs(RUSAGE_SELF) - before);
        }
        scan(true);  // records the snapshot
        for (int r = 0; r < runs; ++r) {
            warm.push_back(scan(true));
        }

        const std::vector<std::string> lint = {"xmllint", "--noout", "--schema",
                                               (folder / "QM_Module.xsd").string()};
        std::vector<double> lintWall;
        std::vector<double> lintCpu;
        for (int r = 0; r < runs; ++r) {
            int lintRuns = 1;
            const qmbench::RunResult result = qmbench::runInBatches(lint, files, &lintRuns);
            if (lintRuns > 1 && r == 0) {
                std::fprintf(stderr,
                             "xmllint at N = %d: %d runs summed (one command line is too "
                             "short), each compiling the schema\n",
                             n, lintRuns);
            }
            if (result.status != 0) {
                std::fprintf(stderr, "xmllint failed (%d) on %d files\n", result.status, n);
                status = 1;
            }
            lintWall.push_back(result.wallMs);
            lintCpu.push_back(result.cpuMs);
        }
        const double coldMs = qmbench::median(cold);
        const double warmMs = qmbench::median(warm);
        const double lintMs = qmbench::median(lintWall);
        const double lintCpuMs = qmbench::median(lintCpu);
        std::printf("%7d | %9.1f %9.1f %9.1f | %9.1f %9.1f | %9.1f %9.1f | %7.2f %7.2f %7.2f\n", n,
                    scanMs, scanMs * 1000.0 / n, scanCpu, coldMs, warmMs, lintMs, lintCpuMs,
                    coldMs / lintMs, warmMs / lintMs, qmbench::median(cpuCold) / lintCpuMs);
        std::fflush(stdout);
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return status;
}
