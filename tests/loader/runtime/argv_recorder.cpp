// Test program: writes its arguments (without argv[0]), one per line, to "<argv[0]>.argv",
// so that each copy of it under another name reports separately. The file appears complete
// or not at all. On Windows the arguments are the ones CommandLineToArgvW makes of the
// program's command line, so that a test sees them as the system's own splitter gives them
// (argv[0] as the command line names the program, usually without ".exe").
#include <cstdio>
#include <string>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace {

std::string utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::vector<std::string> arguments(int, char**) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 0; argv && i < count; ++i) {
        out.push_back(utf8(argv[i]));
    }
    ::LocalFree(argv);
    return out;
}

std::FILE* openForWriting(const std::string& path) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), size);
    return ::_wfopen(wide.c_str(), L"wb");
}

bool replace(const std::string& from, const std::string& to) {
    const auto wide = [](const std::string& text) {
        const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
        std::wstring out(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
        return out;
    };
    return ::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace
#else
namespace {

std::vector<std::string> arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::FILE* openForWriting(const std::string& path) {
    return std::fopen(path.c_str(), "w");
}

bool replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace
#endif

int main(int argc, char** argv) {
    const std::vector<std::string> args = arguments(argc, argv);
    if (args.empty()) {
        return 1;
    }
    const std::string target = args[0] + ".argv";
    const std::string temp = target + ".tmp";
    std::FILE* f = openForWriting(temp);
    if (!f) {
        return 1;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::fprintf(f, "%s\n", args[i].c_str());
    }
    std::fclose(f);
    return replace(temp, target) ? 0 : 1;
}
