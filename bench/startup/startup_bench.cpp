// Times a full host start-up with the module loader over N generated modules, the first start
// (no user copies, nothing remembered) and the second (the user's menu copies exist and the
// host restores its remembered menus), the second with and without the catalogue snapshot, and
// compares them with
//     xmllint --noout --schema QM_Module.xsd <the same definitions>
// run in the same run (in several runs, summed, when the files do not fit one command line).
// Every figure is the median of --runs runs (default 3). Also reports
// the host's peak resident memory against the same host on an installation without modules
// and, where strace is installed, the system calls per menu while the modules come up and how
// often one menus folder is opened.
//
//   startup_bench [--layout shared|per-module] [--runs R] [--menu-case exact|other] [N...]
//                                                             default: both, 3, exact, 1000 10000
//   QM_BENCH_KEEP=1 keeps the generated installations and users for profiling.
//
// Each module has two menus and two ARX applications (one shared ARX, so that the numbers
// measure the loader and not program start-up); 10 % of the modules start with the host.
// Layout per-module gives each module its own menus folder; shared puts every module's menus
// into one folder, as installations that ship one Menus folder do.
// --menu-case other names every menu in its definition in lower case, unlike its file, so that
// each one is found as Windows finds a name in another letter case.
// Everything lives in a temporary folder with a private user, removed at the end.
//
// Run it a minute or more after many files were deleted on the same file system: for a while
// ext4 then looks past each recently freed inode when it creates a file (recently_deleted in
// a kernel profile), which multiplies the first start's cost of creating the user's menu
// copies several times over. The bench itself deletes nothing until it ends.
//
// Peak memory is the child's maxrss, which Linux carries over from the forking bench across
// exec: when the bench itself has grown large (after N = 50,000) the figure is an upper bound.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "qm/version.h"

namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string key(int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "QM_BENCH_%05d", i);
    return buf;
}

// An installation with n modules (and the loader's own base menu), returning the paths of the
// definition files.
std::vector<std::string> makeInstallation(const fs::path& root, int n, const std::string& binDir,
                                          bool sharedMenus, bool otherCase = false) {
    fs::create_directories(root / "Zadod/Modules");
    fs::copy_file(QM_BENCH_SCHEMA, root / "Zadod/Modules/QM_Module.xsd");
    write(root / "Base/Config/Launchrig.ini", "[Launchrig]\nProduct=Quillmont\n");
    write(root / "Base/Menus/KRQM_Base_Menu_enu.mnu", "***MENUGROUP=KRQM_MODULELOADER\n");
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        const std::string k = key(i);
        const std::string folder =
            sharedMenus ? "Modules\\Shared\\Menus" : "Modules\\" + k + "\\Menus";
        const fs::path menusFolder =
            root / (sharedMenus ? "Modules/Shared/Menus" : "Modules/" + k + "/Menus");
        std::string menus;
        for (const char* part : {"A", "B"}) {
            const std::string name = "KRQM_" + k.substr(3) + part + "_enu";
            write(menusFolder / (name + ".mnu"), "***MENUGROUP=KRQM_" + k.substr(3) + part +
                                                     "\n***POP1\n**P\n[" + k + "]\n[Run]^C^C" + k +
                                                     "\n");
            std::string named = name;
            if (otherCase) {
                std::transform(named.begin(), named.end(), named.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            }
            menus += "    <MenuName path=\"" + folder + "\">" + named + "</MenuName>\n";
        }
        const fs::path file = root / "Zadod/Modules" / (k + ".default.xml");
        write(file, "<?xml version=\"1.0\"?>\n<QM_Module>\n  <Keyname>" + k +
                        "</Keyname>\n  <Version><VersionMajor>1</VersionMajor><VersionMinor>" +
                        std::to_string(i % 100) +
                        "</VersionMinor></Version>\n  <Name>\n    <ModuleName>Bench module " +
                        std::to_string(n - i) + "</ModuleName>\n" + menus +
                        "  </Name>\n  <Applications>\n"
                        "    <Application path=\"" +
                        binDir +
                        "/krqm_roads.arx\" arguments=\"\" "
                        "type=\"arx\" command=\"\" modal=\"False\"/>\n"
                        "    <Application path=\"" +
                        binDir +
                        "/./krqm_roads.arx\" arguments=\"\" "
                        "type=\"arx\" command=\"\" modal=\"False\"/>\n"
                        "  </Applications>\n</QM_Module>\n");
        files.push_back(file.string());
    }
    return files;
}

// Marks every tenth module to start with the host, through the registry tool as a user's
// administrator would. Returns how many modules start.
int chooseAutoStart(const fs::path& bin, int n) {
    std::string reg = "Windows Registry Editor Version 5.00\n\n";
    int started = 0;
    for (int i = 0; i < n; i += 10) {
        reg += "[HKEY_CURRENT_USER\\SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION
               "\\Quillmont modules\\" +
               key(i) + "]\n\"AutoStart\"=\"True\"\n\n";
        ++started;
    }
    const fs::path file = fs::path(getenv("HOME")) / "autostart.reg";
    write(file, reg);
    qmbench::runQuietly({(bin / "qmreg").string(), "import", file.string()}, "");
    return started;
}

fs::path binFolder(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path(argv0).parent_path() : self.parent_path();
}

bool haveStrace() {
    return qmbench::runQuietly({"strace", "-V"}).status == 0;
}

// What one traced start did while the modules came up: from the first call that names a
// module's menus folder to the last that names it or the user's menus folder.
struct TraceFigures {
    double callsPerMenu = 0;
    double statsPerMenu = 0;
    double locksPerMenu = 0;
    int folderOpens = 0;  // most opens of any one menus folder for reading its entries
};

TraceFigures readTrace(const fs::path& trace, const std::string& installMenus,
                       const std::string& userMenus, int menus) {
    std::vector<std::string> lines;
    {
        std::ifstream in(trace);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(std::move(line));
        }
    }
    auto mentionsMenus = [&](const std::string& line) {
        return line.find(installMenus) != std::string::npos ||
               line.find(userMenus) != std::string::npos;
    };
    // From the first look at a module's menus folder: before it, the host reads the menus it
    // restores from the user's folder, which is no part of bringing modules up.
    std::size_t first = lines.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (first == lines.size() && lines[i].find(installMenus) != std::string::npos) {
            first = i;
        }
        if (mentionsMenus(lines[i])) {
            last = i;
        }
    }
    TraceFigures figures;
    if (first > last || menus == 0) {
        return figures;
    }
    std::map<std::string, int> opens;
    int calls = 0;
    int stats = 0;
    int locks = 0;
    for (std::size_t i = first; i <= last; ++i) {
        const std::string& line = lines[i];
        if (line.find("resumed>") != std::string::npos || line.find("+++") != std::string::npos ||
            line.find("---") != std::string::npos) {
            continue;  // the second half of an interrupted call, or a signal
        }
        ++calls;
        if (line.find("stat") != std::string::npos && line.find("(") != std::string::npos &&
            line.find("stat") < line.find("(")) {
            ++stats;
        }
        if (line.find("flock(") != std::string::npos) {
            ++locks;
        }
        if (line.find("O_DIRECTORY") != std::string::npos) {
            const auto q1 = line.find('"');
            const auto q2 = line.find('"', q1 + 1);
            if (q1 != std::string::npos && q2 != std::string::npos) {
                ++opens[line.substr(q1 + 1, q2 - q1 - 1)];
            }
        }
    }
    figures.callsPerMenu = static_cast<double>(calls) / menus;
    figures.statsPerMenu = static_cast<double>(stats) / menus;
    figures.locksPerMenu = static_cast<double>(locks) / menus;
    for (const auto& [folder, count] : opens) {
        if (folder.find("Menus") != std::string::npos) {
            figures.folderOpens = std::max(figures.folderOpens, count);
        }
    }
    return figures;
}

struct Medians {
    double wall = 0;
    double cpu = 0;
    long rssKb = 0;
    bool failed = false;
};

template <typename Run>
Medians mediansOf(int runs, Run run) {
    std::vector<double> wall;
    std::vector<double> cpu;
    Medians m;
    for (int r = 0; r < runs; ++r) {
        const qmbench::RunResult result = run();
        m.failed |= result.status != 0;
        wall.push_back(result.wallMs);
        cpu.push_back(result.cpuMs);
        m.rssKb = std::max(m.rssKb, result.maxRssKb);
    }
    m.wall = qmbench::median(wall);
    m.cpu = qmbench::median(cpu);
    return m;
}

Medians runTimes(int runs, const std::vector<std::string>& argv, const std::string& input) {
    return mediansOf(runs, [&] { return qmbench::runQuietly(argv, input); });
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<int> sizes = qmbench::sizesFromArgs(argc, argv, {1000, 10000});
    const std::string layoutOption = qmbench::optionValue(argc, argv, "layout", "both");
    const int runs = std::max(1, std::atoi(qmbench::optionValue(argc, argv, "runs", "3").c_str()));
    const std::string menuCase = qmbench::optionValue(argc, argv, "menu-case", "exact");
    if (menuCase != "exact" && menuCase != "other") {
        std::fprintf(stderr, "--menu-case takes exact or other\n");
        return 2;
    }
    std::vector<bool> layouts;  // true: shared menus folder
    if (layoutOption == "per-module" || layoutOption == "both") {
        layouts.push_back(false);
    }
    if (layoutOption == "shared" || layoutOption == "both") {
        layouts.push_back(true);
    }
    if (layouts.empty()) {
        std::fprintf(stderr, "--layout takes shared or per-module\n");
        return 2;
    }
    const fs::path bin = binFolder(argv[0]);
    const fs::path tmp =
        fs::temp_directory_path() / ("qm-startup-bench-" + std::to_string(getpid()));
    const fs::path quit = tmp / "quit.txt";
    write(quit, "QUIT\n");
    const bool strace = haveStrace();
    bool lintBatches = false;  // some xmllint figure is the sum of several runs

    // The floor for memory: the same host on an installation without modules.
    qmbench::relocateUser(tmp / "empty-user", tmp / "empty-install");
    makeInstallation(tmp / "empty-install", 0, {}, false);
    const std::vector<std::string> host = {(bin / "cadhost").string(), "--console"};
    qmbench::runQuietly(host, quit.string());
    const Medians empty = runTimes(runs, host, quit.string());

    std::printf("median of %d runs; wall ms (cpu ms); ratios of wall time to xmllint's\n", runs);
    std::printf(
        "%-10s %6s | %15s %15s %15s | %15s | %5s %5s %5s | %7s %7s | %6s | %6s %5s %5s %4s\n",
        "layout", "N", "start1", "start2 nosnap", "start2 snap", "xmllint", "s1/x", "s2n/x", "s2/x",
        "ms/mod", "us/mod*", "RSS+MB", "sc/mnu", "stat", "lock", "dirs");
    for (const bool shared : layouts) {
        for (int n : sizes) {
            const fs::path root = tmp / ((shared ? "shared-" : "per-module-") + std::to_string(n));
            const auto files =
                makeInstallation(root / "install", n, bin.string(), shared, menuCase == "other");
            const std::vector<std::string> lint = {
                "xmllint", "--noout", "--schema",
                (root / "install/Zadod/Modules/QM_Module.xsd").string()};

            // First starts: each with a user of its own; the first one's user goes on.
            std::vector<double> firstWall;
            std::vector<double> firstCpu;
            int started = 0;
            bool failed = false;
            for (int r = runs - 1; r >= 0; --r) {
                qmbench::relocateUser(root / ("user" + std::to_string(r)), root / "install");
                started = chooseAutoStart(bin, n);
                const qmbench::RunResult first = qmbench::runQuietly(host, quit.string());
                failed |= first.status != 0;
                firstWall.push_back(first.wallMs);
                firstCpu.push_back(first.cpuMs);
            }
            setenv("QM_NO_SNAPSHOT", "1", 1);
            const Medians plain = runTimes(runs, host, quit.string());
            unsetenv("QM_NO_SNAPSHOT");
            qmbench::runQuietly(host, quit.string());  // leaves a snapshot of this state
            const Medians warm = runTimes(runs, host, quit.string());
            int lintRuns = 1;
            const Medians xmllint =
                mediansOf(runs, [&] { return qmbench::runInBatches(lint, files, &lintRuns); });
            if (lintRuns > 1) {
                lintBatches = true;
            }
            failed |= plain.failed || warm.failed || xmllint.failed;
            if (failed) {
                std::fprintf(stderr, "a run failed (host or xmllint)\n");
            }

            TraceFigures trace;
            if (strace) {
                const fs::path traceFile = root / "trace.txt";
                std::vector<std::string> traced = {"strace", "-f", "-y", "-o", traceFile.string()};
                traced.insert(traced.end(), host.begin(), host.end());
                setenv("QM_NO_SNAPSHOT", "1", 1);
                qmbench::runQuietly(traced, quit.string());
                unsetenv("QM_NO_SNAPSHOT");
                trace = readTrace(traceFile, (root / "install/Modules").string(),
                                  std::string(getenv("APPDATA")), 2 * started);
                fs::remove(traceFile);
            }
            const double firstMs = qmbench::median(firstWall);
            char cell[5][32];
            auto fmt = [](char* out, double wall, double cpu) {
                std::snprintf(out, 32, "%6.0f (%6.0f)", wall, cpu);
            };
            fmt(cell[0], firstMs, qmbench::median(firstCpu));
            fmt(cell[1], plain.wall, plain.cpu);
            fmt(cell[2], warm.wall, warm.cpu);
            fmt(cell[3], xmllint.wall, xmllint.cpu);
            std::printf(
                "%-10s %6d | %15s %15s %15s | %15s | %5.2f %5.2f %5.2f | %7.3f %7.1f | %6.1f | "
                "%6.1f %5.1f %5.1f %4d\n",
                shared ? "shared" : "per-module", n, cell[0], cell[1], cell[2], cell[3],
                firstMs / xmllint.wall, plain.wall / xmllint.wall, warm.wall / xmllint.wall,
                plain.wall / n, plain.cpu * 1000.0 / n,
                static_cast<double>(plain.rssKb - empty.rssKb) / 1024.0, trace.callsPerMenu,
                trace.statsPerMenu, trace.locksPerMenu, trace.folderOpens);
            std::fflush(stdout);
            // Every installation stays until the end: deleting tens of thousands of files just
            // before the next first start makes ext4 search past the freshly freed inodes for
            // each file that start creates, which would be charged to the loader.
        }
    }
    std::printf(
        "ms/mod: second start without snapshot, wall per module; us/mod*: the same in cpu time\n"
        "sc/mnu, stat, lock: system calls, stats and file locks per menu while modules come up "
        "(strace, no snapshot)%s\n"
        "dirs: most opens of one menus folder for listing during that start\n"
        "%s"
        "empty installation: %.0f ms, peak RSS %.1f MB\n",
        strace ? "" : " [strace not installed]",
        lintBatches ? "xmllint: the definitions did not fit one command line; its figure at that "
                      "N is the sum of several runs, each compiling the schema\n"
                    : "",
        empty.wall, static_cast<double>(empty.rssKb) / 1024.0);
    if (std::getenv("QM_BENCH_KEEP")) {
        std::printf("kept %s\n", tmp.c_str());
    } else {
        fs::remove_all(tmp);
    }
    return 0;
}
