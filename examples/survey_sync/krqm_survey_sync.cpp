// Survey data synchronisation of the Quillmont survey module, as the Windows sample installation
// ships it (the Linux one has a shell script of the same name and behaviour). The module loader
// starts it when the module is loaded; it records the start in the user's state folder
// ($XDG_STATE_HOME/quillmont when that is set, else %LOCALAPPDATA%\quillmont) and ends.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace {

std::filesystem::path stateFolder() {
#if defined(_WIN32)
    for (const wchar_t* name : {L"XDG_STATE_HOME", L"LOCALAPPDATA"}) {
        if (const wchar_t* value = ::_wgetenv(name); value && *value) {
            return std::filesystem::path(value) / L"quillmont";
        }
    }
    return {};
#else
    if (const char* value = std::getenv("XDG_STATE_HOME"); value && *value) {
        return std::filesystem::path(value) / "quillmont";
    }
    const char* home = std::getenv("HOME");
    return home ? std::filesystem::path(home) / ".local/state/quillmont" : std::filesystem::path();
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path state = stateFolder();
    std::error_code ec;
    if (state.empty() || (std::filesystem::create_directories(state, ec), ec)) {
        return 1;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    ::localtime_s(&local, &now);
#else
    ::localtime_r(&now, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = std::string(stamp) + " survey sync started: ";
    for (int i = 1; i < argc; ++i) {
        line += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    std::ofstream log(state / "survey_sync.log", std::ios::app | std::ios::binary);
    log << line << '\n';
    return log.flush() ? 0 : 1;
}
