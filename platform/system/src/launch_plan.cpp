#include "launch_plan_p.h"

#include <unistd.h>

#include <cerrno>

namespace qmsys {

LaunchPlan::LaunchPlan(std::string_view commandLine, const char* pathVariable)
    : readings_(programReadings(commandLine)) {
    prepare(pathVariable);
}

LaunchPlan::LaunchPlan(const std::string& program, const std::vector<std::string>& arguments,
                       const char* pathVariable)
    : readings_{ProgramReading{program, arguments}} {
    prepare(pathVariable);
}

void LaunchPlan::prepare(const char* pathVariable) {
    // readings_ is complete and never changes again, so pointers into it stay valid.
    argvs_.reserve(readings_.size());
    for (auto& reading : readings_) {
        std::vector<char*> argv;
        argv.push_back(reading.program.data());
        for (auto& arg : reading.arguments) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        argvs_.push_back(std::move(argv));
    }
    for (std::size_t i = 0; i < readings_.size(); ++i) {
        addAttempts(i, readings_[i].program, pathVariable);
    }
}

void LaunchPlan::addAttempts(std::size_t argvIndex, const std::string& program,
                             const char* pathVariable) {
    if (program.empty()) {
        return;
    }
    if (program.find('/') != std::string::npos) {
        attempts_.push_back({program, argvIndex});
        return;
    }
    const std::string searchPath = pathVariable ? pathVariable : "/bin:/usr/bin";
    std::size_t begin = 0;
    for (;;) {
        const std::size_t colon = searchPath.find(':', begin);
        const std::string folder = searchPath.substr(begin, colon - begin);
        // An empty entry names the working directory, as in execvp.
        attempts_.push_back({(folder.empty() ? "." : folder) + "/" + program, argvIndex});
        if (colon == std::string::npos) {
            break;
        }
        begin = colon + 1;
    }
}

int LaunchPlan::execute(char* const envp[]) const noexcept {
    bool sawAccessError = false;
    for (const Attempt& attempt : attempts_) {
        ::execve(attempt.path.c_str(), argvs_[attempt.argvIndex].data(), envp);
        switch (errno) {
            case ENOENT:
            case ENOTDIR:
            case ENAMETOOLONG:
                break;
            case EACCES:  // a folder or a file without execute permission: keep looking
                sawAccessError = true;
                break;
            default:
                return errno;
        }
    }
    return sawAccessError ? EACCES : ENOENT;
}

}  // namespace qmsys
