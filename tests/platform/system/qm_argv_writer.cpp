// Test helper started through startProcess. Records what it was given, for the test to read:
//   $QM_ARGV_OUT        every argv entry (argv[0] included), each ended by a NUL byte
//   $QM_ARGV_OUT.state  "fds" and the open descriptors, then the SigBlk and SigIgn lines of
//                       /proc/self/status
// Both files are written under temporary names and renamed, state first, so a test that
// sees the argv file sees complete files.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string openDescriptors() {
    std::string fds = "fds";
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) {
        return fds;
    }
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own) {
            fds += " ";
            fds += entry->d_name;
        }
    }
    ::closedir(dir);
    return fds;
}

std::string signalState() {
    std::ifstream status("/proc/self/status");
    std::string line, out;
    while (std::getline(status, line)) {
        if (line.rfind("SigBlk:", 0) == 0 || line.rfind("SigIgn:", 0) == 0) {
            out += line + "\n";
        }
    }
    return out;
}

bool writeAtomically(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary);
        out << content;
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* out = std::getenv("QM_ARGV_OUT");
    if (!out) {
        return 2;
    }
    const std::string state = openDescriptors() + "\n" + signalState();
    std::string args;
    for (int i = 0; i < argc; ++i) {
        args += argv[i];
        args += '\0';
    }
    return writeAtomically(std::string(out) + ".state", state) && writeAtomically(out, args) ? 0
                                                                                             : 1;
}
