#include "qmcli/option_parser.h"

#include <algorithm>
#include <ostream>

#include "qm/version.h"

namespace qmcli {

OptionParser::OptionParser(std::string program, std::string usage, std::string footer)
    : program_(std::move(program)), usage_(std::move(usage)), footer_(std::move(footer)) {
    addFlag("help", "show this help and exit");
    addFlag("version", "show the version and exit");
}

void OptionParser::addFlag(const std::string& name, const std::string& help) {
    options_.push_back({name, "", help, false});
}

void OptionParser::addValue(const std::string& name, const std::string& valueName,
                            const std::string& help, bool repeatable) {
    options_.push_back({name, valueName, help, repeatable});
}

const OptionParser::Option* OptionParser::find(const std::string& name) const {
    for (const auto& option : options_) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

std::optional<int> OptionParser::parse(const std::vector<std::string>& args, std::ostream& out,
                                       std::ostream& err) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positionals_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            out << helpText();
            return 0;
        }
        if (arg.rfind("--", 0) != 0)
            return usageError(err, "unknown option '" + arg + "'");
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
        const Option* option = find(name);
        if (!option)
            return usageError(err, "unknown option '--" + name + "'");
        if (name == "version") {
            out << program_ << " " << QM_VERSION << "\n";
            return 0;
        }
        std::vector<std::string>& slot = values_[name];
        if (!option->repeatable && std::find(given_.begin(), given_.end(), name) != given_.end())
            return usageError(err, "option '--" + name + "' given twice");
        if (std::find(given_.begin(), given_.end(), name) == given_.end())
            given_.push_back(name);
        if (option->valueName.empty()) {
            if (equals != std::string::npos)
                return usageError(err, "option '--" + name + "' takes no value");
            continue;
        }
        if (equals != std::string::npos) {
            slot.push_back(arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            slot.push_back(args[++i]);
        } else {
            return usageError(err,
                              "option '--" + name + "' needs a value (" + option->valueName + ")");
        }
    }
    return std::nullopt;
}

bool OptionParser::has(const std::string& name) const {
    return std::find(given_.begin(), given_.end(), name) != given_.end();
}

std::optional<std::string> OptionParser::value(const std::string& name) const {
    const auto& all = values(name);
    if (all.empty())
        return std::nullopt;
    return all.back();
}

const std::vector<std::string>& OptionParser::values(const std::string& name) const {
    static const std::vector<std::string> kNone;
    auto it = values_.find(name);
    return it == values_.end() ? kNone : it->second;
}

int OptionParser::usageError(std::ostream& err, const std::string& message) const {
    err << program_ << ": " << message << "\nTry '" << program_ << " --help'.\n";
    return kExitUsage;
}

std::string OptionParser::helpText() const {
    std::string text = "usage: " + usage_ + "\n\nOptions:\n";
    std::size_t width = 0;
    auto label = [](const Option& o) {
        return "--" + o.name + (o.valueName.empty() ? "" : " " + o.valueName);
    };
    for (const auto& option : options_)
        width = std::max(width, label(option).size());
    // The program's own options first, then --help and --version.
    auto appendOption = [&](const Option& option) {
        std::string l = label(option);
        const std::string indent(width + 4, ' ');
        text += "  " + l + std::string(width - l.size() + 2, ' ');
        // Continuation lines of the help line up under its first line.
        for (char c : option.help)
            text += c == '\n' ? "\n" + indent : std::string(1, c);
        text += "\n";
    };
    for (std::size_t i = 2; i < options_.size(); ++i)
        appendOption(options_[i]);
    appendOption(options_[0]);
    appendOption(options_[1]);
    if (!footer_.empty())
        text += "\n" + footer_;
    return text;
}

}  // namespace qmcli
