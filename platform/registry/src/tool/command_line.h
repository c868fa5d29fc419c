#pragma once
// The qmreg command line, in the manner of reg.exe:
//   qmreg query  KEY [/v NAME | /ve] [/s]
//   qmreg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
//   qmreg delete KEY [/v NAME | /ve | /va] [/f]
//   qmreg export KEY FILE [/y]
//   qmreg import FILE
// Operations and switches are matched without regard to case; switches may start with '/'
// or '-'.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "key_name.h"
#include "qmreg/registry.h"

namespace qmreg::tool {

enum class Operation { Help, Query, Add, Delete, Export, Import };

struct CommandLine {
    Operation operation = Operation::Help;
    KeyName key;
    // /v NAME, or "" for /ve (the default value); add with /t or /d alone also means "".
    std::optional<std::string> valueName;
    bool allValues = false;           // /va
    bool recursive = false;           // /s
    ValueType type = ValueType::Sz;   // /t
    std::optional<std::string> data;  // /d
    bool force = false;               // /f, or /y for export: no confirmation prompt
    std::string file;                 // export and import
};

// A command line that cannot be run; what() is the message for the user, usage() the
// synopsis of the operation (or of all operations).
class UsageError : public std::runtime_error {
public:
    UsageError(const std::string& message, std::string usage)
        : std::runtime_error(message), usage_(std::move(usage)) {}
    const std::string& usage() const { return usage_; }

private:
    std::string usage_;
};

// args excludes the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Synopsis of every operation.
std::string usageText();

}  // namespace qmreg::tool
