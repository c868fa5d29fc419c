#include "bench_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

extern char** environ;

namespace qmbench {

RunResult runQuietly(const std::vector<std::string>& args, const std::string& inputFile) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 0, inputFile.empty() ? "/dev/null" : inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    RunResult r;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            r.maxRssKb = usage.ru_maxrss;
            auto ms = [](const timeval& t) {
                return static_cast<double>(t.tv_sec) * 1000.0 +
                       static_cast<double>(t.tv_usec) / 1000.0;
            };
            r.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
        }
    }
    r.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

RunResult runInBatches(const std::vector<std::string>& command,
                       const std::vector<std::string>& files, int* runs) {
    // Well below the kernel's limit for arguments and environment together (ARG_MAX, 2 MiB
    // with the default stack limit), whatever the environment holds.
    constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
    RunResult total;
    total.status = 0;
    int count = 0;
    std::size_t next = 0;
    do {
        std::vector<std::string> argv = command;
        std::size_t bytes = 0;
        for (const std::string& a : command) {
            bytes += a.size() + 1 + sizeof(char*);
        }
        while (next < files.size() &&
               (argv.size() == command.size() ||
                bytes + files[next].size() + 1 + sizeof(char*) <= kBatchBytes)) {
            bytes += files[next].size() + 1 + sizeof(char*);
            argv.push_back(files[next++]);
        }
        const RunResult r = runQuietly(argv);
        ++count;
        if (total.status == 0) {
            total.status = r.status;
        }
        total.wallMs += r.wallMs;
        total.cpuMs += r.cpuMs;
        total.maxRssKb = std::max(total.maxRssKb, r.maxRssKb);
    } while (next < files.size());
    if (runs) {
        *runs = count;
    }
    return total;
}

std::vector<int> sizesFromArgs(int argc, char** argv, std::vector<int> defaults) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind("--", 0) == 0) {
            ++i;  // an option and its value
            continue;
        }
        sizes.push_back(std::atoi(argv[i]));
    }
    return sizes.empty() ? defaults : sizes;
}

std::string optionValue(int argc, char** argv, const std::string& name,
                        const std::string& fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (argv[i] == "--" + name) {
            return argv[i + 1];
        }
    }
    return fallback;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void relocateUser(const std::filesystem::path& root, const std::filesystem::path& installation) {
    const std::pair<const char*, const char*> vars[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_STATE_HOME", "state"},
        {"XDG_RUNTIME_DIR", "runtime"},
        {"APPDATA", "appdata"},
        {"QM_REGISTRY_DIR", "registry"},
    };
    for (const auto& [name, folder] : vars) {
        std::filesystem::create_directories(root / folder);
        setenv(name, (root / folder).c_str(), 1);
    }
    std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
    setenv("QM_APP_PATH", installation.c_str(), 1);
    unsetenv("QM_LOG");
    unsetenv("QM_SAFE_MODE");
}

}  // namespace qmbench
