// Times the catalogue scan (LoadCatalogue: schema compiled once, every definition parsed,
// validated, read, its module key created in a private registry, then the list sorted) over
// N generated definitions with two menus and two applications each, and times
//     xmllint --noout --schema QM_Module.xsd <the same files>
// in the same run. Everything lives in a temporary folder with a private user and registry,
// removed at the end.
//
//   catalogue_bench [N...]        default: 100 1000 10000
//
// Columns: wall time of the first scan (which creates every module key), per file, its CPU
// time over all threads, wall time of a second scan (keys present), xmllint's wall and CPU
// time, and the scan-to-xmllint ratios of wall and CPU time.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "catalogue/catalogue.h"

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
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
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

    char pattern[] = "/tmp/qm_catalogue_bench_XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root(pattern);
    qmbench::relocateUser(root, root);

    std::printf("%7s | %9s %9s %9s %9s | %9s %9s | %7s %7s\n", "N", "scan ms", "us/file", "cpu ms",
                "rescan ms", "lint ms", "lint cpu", "ratio", "cpu rt");
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
        double cpuStart = cpuMs(RUSAGE_SELF);
        auto start = Clock::now();
        qm::LoadCatalogue(context, folder.string(), "xml", list, errorText);
        const double scanMs = msSince(start);
        const double scanCpu = cpuMs(RUSAGE_SELF) - cpuStart;
        if (list.size() != static_cast<std::size_t>(n) || !errorText.empty()) {
            std::fprintf(stderr, "scan of %d files read %zu modules: %s\n", n, list.size(),
                         errorText.c_str());
            status = 1;
        }

        qm::ModuleList again;
        start = Clock::now();
        qm::LoadCatalogue(context, folder.string(), "xml", again, errorText);
        const double rescanMs = msSince(start);

        std::vector<std::string> lint = {"xmllint", "--noout", "--schema",
                                         (folder / "QM_Module.xsd").string()};
        lint.insert(lint.end(), files.begin(), files.end());
        cpuStart = cpuMs(RUSAGE_CHILDREN);
        start = Clock::now();
        const int lintStatus = qmbench::runQuietly(lint).status;
        const double lintMs = msSince(start);
        const double lintCpu = cpuMs(RUSAGE_CHILDREN) - cpuStart;
        if (lintStatus != 0) {
            std::fprintf(stderr, "xmllint failed (%d) on %d files\n", lintStatus, n);
            status = 1;
        }
        std::printf("%7d | %9.1f %9.1f %9.1f %9.1f | %9.1f %9.1f | %7.2f %7.2f\n", n, scanMs,
                    scanMs * 1000.0 / n, scanCpu, rescanMs, lintMs, lintCpu, scanMs / lintMs,
                    scanCpu / lintCpu);
        std::fflush(stdout);
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return status;
}
