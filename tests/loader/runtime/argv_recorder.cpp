// Test program: writes its arguments (without argv[0]), one per line, to "<argv[0]>.argv",
// so that each copy of it under another name reports separately. The file appears complete
// or not at all.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string target = std::string(argv[0]) + ".argv";
    const std::string temp = target + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "w");
    if (!f) {
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        std::fprintf(f, "%s\n", argv[i]);
    }
    std::fclose(f);
    return std::rename(temp.c_str(), target.c_str()) == 0 ? 0 : 1;
}
