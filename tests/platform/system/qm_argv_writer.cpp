// Test helper started through startProcess. Writes every argv entry (argv[0] included), each
// ended by a NUL byte, to $QM_ARGV_OUT, under a temporary name renamed at the end so that a test
// that sees the file sees all of it.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* out = std::getenv("QM_ARGV_OUT");
    if (!out) {
        return 2;
    }
    const std::string temporary = std::string(out) + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary);
        for (int i = 0; i < argc; ++i) {
            file << argv[i] << '\0';
        }
        if (!file.flush()) {
            return 1;
        }
    }
    return std::rename(temporary.c_str(), out) == 0 ? 0 : 1;
}
