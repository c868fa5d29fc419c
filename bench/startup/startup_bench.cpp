// Times a full host start-up with the module loader over N generated modules, measured on the
// second start (the user's menu copies exist and the host restores its remembered menus), and
// compares it with
//     xmllint --noout --schema QM_Module.xsd <the same definitions>
// run in the same process. Also reports the host's peak resident memory against the same
// host started on an installation without modules.
//
//   startup_bench [N...]        default: 1000 10000
//   QM_BENCH_KEEP=1 keeps the generated installations and users for profiling.
//
// Each module has two menus and two ARX applications (one shared ARX, so that the numbers
// measure the loader and not program start-up); 10 % of the modules start with the host.
// Everything lives in a temporary folder with a private user, removed at the end.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"

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
std::vector<std::string> makeInstallation(const fs::path& root, int n, const std::string& binDir) {
    fs::create_directories(root / "Zadod/Modules");
    fs::copy_file(QM_BENCH_SCHEMA, root / "Zadod/Modules/QM_Module.xsd");
    write(root / "Base/Config/Launchrig.ini", "[Launchrig]\nProduct=Quillmont\n");
    write(root / "Base/Menus/KRQM_Base_Menu_enu.mnu", "***MENUGROUP=KRQM_MODULELOADER\n");
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        const std::string k = key(i);
        std::string menus;
        for (const char* part : {"A", "B"}) {
            const std::string name = "KRQM_" + k.substr(3) + part + "_enu";
            write(root / "Modules" / k / "Menus" / (name + ".mnu"),
                  "***MENUGROUP=KRQM_" + k.substr(3) + part + "\n***POP1\n**P\n[" + k +
                      "]\n[Run]^C^C" + k + "\n");
            menus += "    <MenuName path=\"Modules\\" + k + "\\Menus\">" + name + "</MenuName>\n";
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
// administrator would.
void chooseAutoStart(const fs::path& bin, int n) {
    std::string reg = "Windows Registry Editor Version 5.00\n\n";
    for (int i = 0; i < n; i += 10) {
        reg += "[HKEY_CURRENT_USER\\SOFTWARE\\Brenvik\\Quillmont\\22.15\\Quillmont modules\\" +
               key(i) + "]\n\"AutoStart\"=\"True\"\n\n";
    }
    const fs::path file = fs::path(getenv("HOME")) / "autostart.reg";
    write(file, reg);
    qmbench::runQuietly({(bin / "qmreg").string(), "import", file.string()}, "");
}

fs::path binFolder(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path(argv0).parent_path() : self.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<int> sizes = qmbench::sizesFromArgs(argc, argv, {1000, 10000});
    const fs::path bin = binFolder(argv[0]);
    const fs::path tmp =
        fs::temp_directory_path() / ("qm-startup-bench-" + std::to_string(getpid()));
    const fs::path quit = tmp / "quit.txt";
    write(quit, "QUIT\n");

    // The floor for memory: the same host on an installation without modules.
    qmbench::relocateUser(tmp / "empty-user", tmp / "empty-install");
    makeInstallation(tmp / "empty-install", 0, {});
    const std::vector<std::string> host = {(bin / "cadhost").string(), "--console"};
    qmbench::runQuietly(host, quit.string());
    const qmbench::RunResult empty = qmbench::runQuietly(host, quit.string());

    std::printf("%8s %12s %12s %8s %12s %12s %10s\n", "modules", "start1 ms", "start2 ms", "ms/mod",
                "xmllint ms", "start2/lint", "RSS +MB");
    for (int n : sizes) {
        const fs::path root = tmp / ("n" + std::to_string(n));
        const auto files = makeInstallation(root / "install", n, bin.string());
        qmbench::relocateUser(root / "user", root / "install");
        chooseAutoStart(bin, n);
        const qmbench::RunResult first = qmbench::runQuietly(host, quit.string());
        const qmbench::RunResult second = qmbench::runQuietly(host, quit.string());
        std::vector<std::string> lint = {"xmllint", "--noout", "--schema",
                                         (root / "install/Zadod/Modules/QM_Module.xsd").string()};
        lint.insert(lint.end(), files.begin(), files.end());
        const qmbench::RunResult xmllint = qmbench::runQuietly(lint, "");
        if (first.status != 0 || second.status != 0 || xmllint.status != 0) {
            std::fprintf(stderr, "a run failed: host %d/%d, xmllint %d\n", first.status,
                         second.status, xmllint.status);
        }
        std::printf("%8d %12.0f %12.0f %8.3f %12.0f %12.2f %10.1f\n", n, first.wallMs,
                    second.wallMs, second.wallMs / n, xmllint.wallMs,
                    second.wallMs / xmllint.wallMs, (second.maxRssKb - empty.maxRssKb) / 1024.0);
        std::fflush(stdout);
        if (!std::getenv("QM_BENCH_KEEP")) {
            fs::remove_all(root);
        }
    }
    std::printf("empty installation: %.0f ms, peak RSS %.1f MB\n", empty.wallMs,
                empty.maxRssKb / 1024.0);
    if (std::getenv("QM_BENCH_KEEP")) {
        std::printf("kept %s\n", tmp.c_str());
    } else {
        fs::remove_all(tmp);
    }
    return 0;
}
