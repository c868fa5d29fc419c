#pragma once
// Runs one parsed qmreg command against the registry store, writing reg.exe-style output.
// Messages for the user go to out, errors to err; questions (overwrite? delete?) are asked on
// out and answered from in unless the command line forces the operation.
#include <iosfwd>
#include <set>
#include <string>

#include "command_line.h"

namespace qmreg::tool {

// Process exit codes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // missing key or value, or a failed operation
inline constexpr int kExitUsage = 2;

class RegCommands {
public:
    RegCommands(std::istream& in, std::ostream& out, std::ostream& err)
        : in_(in), out_(out), err_(err) {}

    // Returns the exit code. Throws StoreError when a hive file is unusable.
    int run(const CommandLine& cmd);

private:
    int query(const CommandLine& cmd);
    int add(const CommandLine& cmd);
    int remove(const CommandLine& cmd);
    int exportKey(const CommandLine& cmd);
    int importFile(const CommandLine& cmd);

    // The calling thread's connection to hive; the first time in this run, also warns about
    // names that an upgrade of the store found colliding.
    Hive& open(HiveId hive);
    void printKey(HiveId hive, const std::string& path);
    void printValue(const Value& value);
    bool confirm(const std::string& question);
    int succeeded();
    int error(const std::string& message);
    int notFound();
    int readOnly(const Hive& hive);
    int tooDeep(HiveId hive, const std::string& path);
    int cancelled();

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    std::set<HiveId> opened_;
};

}  // namespace qmreg::tool
