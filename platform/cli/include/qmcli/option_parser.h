#pragma once
// One command-line style for the programs: long options ("--name", "--name VALUE" or
// "--name=VALUE"), "--" ending the options, positional arguments anywhere else.
//   --help (or -h)  the help text on standard output, exit status 0;
//   --version       "PROGRAM VERSION" on standard output, exit status 0;
//   an unknown option, a missing value or a repeated single option: one line naming it on
//   standard error, then a hint to --help; exit status 2.
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qmcli {

inline constexpr int kExitUsage = 2;

class OptionParser {
public:
    // usage: the synopsis lines after "usage: "; footer: text after the option list (exit
    // statuses, environment).
    OptionParser(std::string program, std::string usage, std::string footer);

    // An option without a value.
    void addFlag(const std::string& name, const std::string& help);
    // An option with a value; repeatable options collect every value in order.
    void addValue(const std::string& name, const std::string& valueName, const std::string& help,
                  bool repeatable = false);

    // Parses args (without the program name). Returns the exit status when the program must
    // stop here (help, version, bad command line), having written what the user needs to see;
    // nullopt when the program goes on.
    std::optional<int> parse(const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err);

    bool has(const std::string& name) const;
    // The last value given for name, or nullopt.
    std::optional<std::string> value(const std::string& name) const;
    const std::vector<std::string>& values(const std::string& name) const;
    const std::vector<std::string>& positionals() const { return positionals_; }
    // Names of the options given, in the order first given.
    const std::vector<std::string>& given() const { return given_; }

    // A command line that parsed but makes no sense to the program: the message on err in
    // the same form as the parser's own; returns kExitUsage.
    int usageError(std::ostream& err, const std::string& message) const;

    std::string helpText() const;

private:
    struct Option {
        std::string name;
        std::string valueName;  // empty for a flag
        std::string help;
        bool repeatable = false;
    };
    const Option* find(const std::string& name) const;

    std::string program_;
    std::string usage_;
    std::string footer_;
    std::vector<Option> options_;
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> given_;
    std::vector<std::string> positionals_;
};

}  // namespace qmcli
