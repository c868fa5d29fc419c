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
};

// Runs argv (argv[0] searched on PATH) with standard input from inputFile ("" for
// /dev/null) and its output discarded, and waits for it.
RunResult runQuietly(const std::vector<std::string>& argv, const std::string& inputFile = {});

// The module counts given on the command line, or defaults when there are none.
std::vector<int> sizesFromArgs(int argc, char** argv, std::vector<int> defaults);

// Points every per-user location (HOME, XDG folders, APPDATA, QM_REGISTRY_DIR) below root,
// creating the folders, and sets QM_APP_PATH to installation. QM_LOG and QM_SAFE_MODE are
// cleared so that they cannot skew the figures.
void relocateUser(const std::filesystem::path& root, const std::filesystem::path& installation);

}  // namespace qmbench
