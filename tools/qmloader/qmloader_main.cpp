// qmloader: the module catalogue without a host.
//   qmloader [--config NAME] validate [--schema FILE] [FILE...]
//   qmloader [--config NAME] list [--json]
// The installation, configuration and user come from the environment, as for the loader.
#include <qmenv/environment.h>
#include <qmsys/text.h>

#include <qmcli/option_parser.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "list_command.h"
#include "validate_command.h"

namespace {

qmcli::OptionParser makeParser() {
    qmcli::OptionParser parser(
        "qmloader",
        "qmloader [--config NAME] validate [--schema FILE] [FILE...]\n"
        "       qmloader [--config NAME] list [--json]",
        "Commands:\n"
        "  validate  check module definitions (the installed ones without FILE): FILE:LINE:\n"
        "            reason for each one refused\n"
        "  list      the catalogue as the module loader builds it, with the user's settings\n"
        "\n"
        "Exit status: 0 success, 1 a definition refused or no module found, 2 bad command "
        "line.\n");
    parser.addValue("config", "NAME", "the configuration (default: the current one)");
    parser.addValue("schema", "FILE", "validate: the schema to check against");
    parser.addFlag("json", "list: one JSON array instead of text");
    return parser;
}

// The options given that command does not take, as an error; 0 when there are none.
int refuseForeignOptions(const qmcli::OptionParser& parser, const std::string& command,
                         const std::vector<std::string>& allowed) {
    for (const std::string& name : parser.given()) {
        if (name != "config" && std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            return parser.usageError(std::cerr,
                                     "option '--" + name + "' does not apply to " + command);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qmcli::OptionParser parser = makeParser();
    if (auto exitCode = parser.parse({argv + 1, argv + argc}, std::cout, std::cerr))
        return *exitCode;
    std::vector<std::string> args = parser.positionals();
    if (args.empty())
        return parser.usageError(std::cerr, "no command given");
    const std::string command = args.front();
    args.erase(args.begin());
    const std::string config = parser.value("config").value_or(QmEnGetCurrentConfig());
    const std::string folder =
        QmEnBuildFilename(std::string(qm::names::kDefinitionsFolder), kQmEnBaseAppPath, 0);

    if (command == "validate") {
        if (int bad = refuseForeignOptions(parser, command, {"schema"}))
            return bad;
        qmloader::ValidateOptions options;
        options.config = qmsys::asciiLower(config);
        options.definitionsFolder = folder;
        options.schema = parser.value("schema").value_or("");
        options.files = args;
        return qmloader::RunValidate(options, std::cout, std::cerr);
    }
    if (command == "list") {
        if (int bad = refuseForeignOptions(parser, command, {"json"}))
            return bad;
        if (!args.empty())
            return parser.usageError(std::cerr, "unexpected argument '" + args.front() + "'");
        qmloader::ListOptions options;
        options.json = parser.has("json");
        const std::unique_ptr<qm::DiagnosticLog> log = qm::DiagnosticLog::fromEnvironment();
        options.config = config;
        options.language = QmEnGetLanguageCode();
        options.definitionsFolder = folder;
        options.log = log.get();
        return qmloader::RunList(options, std::cout, std::cerr);
    }
    return parser.usageError(std::cerr, "unknown command '" + command + "'");
}
