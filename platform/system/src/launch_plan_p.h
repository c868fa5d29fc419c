#pragma once
// Everything a started program needs, prepared before fork: the child may only make
// async-signal-safe calls, so it must not build strings or allocate.
#include <string>
#include <string_view>
#include <vector>

#include "command_line_p.h"

namespace qmsys {

class LaunchPlan {
public:
    // pathVariable: the PATH value used for program names without '/', or null for the
    // system default.
    LaunchPlan(std::string_view commandLine, const char* pathVariable);
    // One reading only: program (a path, or a name looked up on the path) with arguments.
    LaunchPlan(const std::string& program, const std::vector<std::string>& arguments,
               const char* pathVariable);
    LaunchPlan(const LaunchPlan&) = delete;
    LaunchPlan& operator=(const LaunchPlan&) = delete;

    bool empty() const { return attempts_.empty(); }

    // The program name of the first reading, for error reporting.
    const std::string& firstProgram() const { return readings_.front().program; }

    // Executes the first attempt that names a program, as execvp would but without ever
    // handing a file to a shell. Returns only on failure, with the errno to report: the
    // error of an attempt that stopped the search, else EACCES if some candidate existed but
    // could not be run, else ENOENT. Async-signal-safe.
    int execute(char* const envp[]) const noexcept;

private:
    void prepare(const char* pathVariable);

    struct Attempt {
        std::string path;       // file to execute
        std::size_t argvIndex;  // which argument vector it gets
    };
    void addAttempts(std::size_t argvIndex, const std::string& program, const char* pathVariable);

    std::vector<ProgramReading> readings_;
    std::vector<std::vector<char*>> argvs_;
    std::vector<Attempt> attempts_;
};

}  // namespace qmsys
