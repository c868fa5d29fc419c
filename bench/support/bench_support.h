#pragma once
// What the benchmarks share: running a program quietly and relocating the process's user.
#include <filesystem>
#include <string>
#include <vector>

namespace qmbench {

struct RunResult {
    int status = -1;  // exit status, -1 when it could not run or did not exit
    double wallMs = 0;
    long maxRssKb = 0;  // the child's own peak resident memory
    double cpuMs = 0;   // the child's user and system time; less sensitive to load than wall
};

// Runs argv (argv[0] searched on PATH) with standard input from inputFile ("" for
// /dev/null) and its output discarded, and waits for it.
RunResult runQuietly(const std::vector<std::string>& argv, const std::string& inputFile = {});

// Runs command followed by files, as many files per run as one command line safely holds,
// and sums the runs: wall and CPU time added, the highest peak memory, the first failing
// status. *runs (when given) receives the number of runs: more than one means each paid its
// own start (for xmllint, compiling the schema again).
RunResult runInBatches(const std::vector<std::string>& command,
                       const std::vector<std::string>& files, int* runs = nullptr);

// The module counts given on the command line, or defaults when there are none. Options
// ("--name value") are skipped; read them with optionValue.
std::vector<int> sizesFromArgs(int argc, char** argv, std::vector<int> defaults);

// The value following "--name" on the command line, or fallback when it is not given.
std::string optionValue(int argc, char** argv, const std::string& name,
                        const std::string& fallback);

// The median of values (the mean of the middle two for an even count); 0 for none.
double median(std::vector<double> values);

// Points every per-user location (HOME, XDG folders, APPDATA, QM_REGISTRY_DIR) below root,
// creating the folders, and sets QM_APP_PATH to installation. QM_LOG and QM_SAFE_MODE are
// cleared so that they cannot skew the figures.
void relocateUser(const std::filesystem::path& root, const std::filesystem::path& installation);

}  // namespace qmbench
