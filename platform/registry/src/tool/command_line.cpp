#include "command_line.h"

#include <array>
#include <string_view>

#include <qmsys/text.h>

#include "value_text.h"

namespace qmreg::tool {

namespace {

struct OperationInfo {
    std::string_view name;
    Operation operation;
    std::string_view usage;
    std::size_t positionals;    // KEY and FILE arguments it takes
    std::string_view switches;  // switch letters it accepts, space-separated
};

constexpr std::array<OperationInfo, 5> kOperations{{
    {"query", Operation::Query, "qmreg query KEY [/v NAME | /ve] [/s]", 1, "v ve s"},
    {"add", Operation::Add, "qmreg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]", 1,
     "v ve t d f"},
    {"delete", Operation::Delete, "qmreg delete KEY [/v NAME | /ve | /va] [/f]", 1, "v ve va f"},
    {"export", Operation::Export, "qmreg export KEY FILE [/y]", 2, "y"},
    {"import", Operation::Import, "qmreg import FILE", 1, ""},
}};

// Only the known switch names count as switches, so that absolute file names ("/tmp/a.reg")
// and data starting with '-' stay arguments.
bool isSwitch(const std::string& arg) {
    static constexpr std::array<std::string_view, 9> kSwitches{"v", "ve", "va", "s", "t",
                                                               "d", "f",  "y",  "?"};
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-'))
        return false;
    std::string name = qmsys::asciiLower(std::string_view(arg).substr(1));
    for (auto known : kSwitches) {
        if (known == name)
            return true;
    }
    return false;
}

bool accepts(const OperationInfo& info, const std::string& name) {
    std::string_view list = info.switches;
    while (!list.empty()) {
        std::size_t space = list.find(' ');
        if (list.substr(0, space) == name)
            return true;
        list = space == std::string_view::npos ? std::string_view() : list.substr(space + 1);
    }
    return false;
}

}  // namespace

std::string usageText() {
    std::string text = "Usage:\n";
    for (const auto& info : kOperations)
        text += "  " + std::string(info.usage) + "\n";
    text +=
        "\nKEY is HKCU\\path or HKLM\\path (or HKEY_CURRENT_USER\\..., HKEY_LOCAL_MACHINE\\...).\n"
        "TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ (strings separated by \\0),\n"
        "REG_DWORD, REG_QWORD, REG_BINARY or REG_NONE (hex digits).\n"
        "qmreg --version prints the version.\n"
        "Exit status: 0 success, 1 key or value missing or the operation failed, 2 bad "
        "command line.\n";
    return text;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cmd;
    if (args.empty())
        throw UsageError("ERROR: Invalid syntax.", usageText());
    std::string op = qmsys::asciiLower(args[0]);
    if (op == "/?" || op == "-?" || op == "/h" || op == "-h" || op == "--help")
        return cmd;
    const OperationInfo* info = nullptr;
    for (const auto& candidate : kOperations) {
        if (candidate.name == op)
            info = &candidate;
    }
    if (!info)
        throw UsageError("ERROR: Invalid operation \"" + args[0] + "\".", usageText());
    cmd.operation = info->operation;
    const std::string usage = "Usage: " + std::string(info->usage) + "\n";
    auto fail = [&](const std::string& message) -> UsageError {
        return UsageError("ERROR: " + message, usage);
    };

    std::vector<std::string> positionals;
    std::vector<std::string> seen;
    bool typeGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!isSwitch(arg)) {
            positionals.push_back(arg);
            continue;
        }
        std::string name = qmsys::asciiLower(arg.substr(1));
        if (name == "?")
            return CommandLine{};
        if (!accepts(*info, name))
            throw fail("Invalid switch \"" + arg + "\".");
        for (const auto& s : seen) {
            if (s == name)
                throw fail("Switch \"" + arg + "\" given twice.");
        }
        seen.push_back(name);
        auto argument = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw fail("Switch \"" + arg + "\" needs an argument.");
            return args[++i];
        };
        if (name == "v") {
            cmd.valueName = argument();
        } else if (name == "ve") {
            cmd.valueName = "";
        } else if (name == "va") {
            cmd.allValues = true;
        } else if (name == "s") {
            cmd.recursive = true;
        } else if (name == "t") {
            std::string t = argument();
            auto type = parseTypeName(t);
            if (!type)
                throw fail("Invalid type \"" + t + "\".");
            cmd.type = *type;
            typeGiven = true;
        } else if (name == "d") {
            cmd.data = argument();
        } else {  // f, y
            cmd.force = true;
        }
    }
    int valueSwitches = 0;
    for (const char* s : {"v", "ve", "va"}) {
        for (const auto& given : seen)
            valueSwitches += given == s;
    }
    if (valueSwitches > 1)
        throw fail("Only one of /v, /ve and /va may be given.");
    if (positionals.size() != info->positionals)
        throw fail("Invalid syntax.");
    if (cmd.operation == Operation::Import) {
        cmd.file = positionals[0];
        return cmd;
    }
    auto key = parseKeyName(positionals[0]);
    if (!key)
        throw fail("Invalid key name \"" + positionals[0] + "\".");
    cmd.key = *key;
    if (cmd.operation == Operation::Export)
        cmd.file = positionals[1];
    // As with reg.exe, /t or /d without a value name set the key's default value.
    if ((typeGiven || cmd.data) && !cmd.valueName)
        cmd.valueName = "";
    if (cmd.operation == Operation::Add && cmd.valueName &&
        !parseValueData(*cmd.valueName, cmd.type, cmd.data.value_or(""))) {
        throw fail("Invalid data \"" + cmd.data.value_or("") + "\" for " + typeName(cmd.type) +
                   " (" + expectedData(cmd.type) + ").");
    }
    return cmd;
}

}  // namespace qmreg::tool
