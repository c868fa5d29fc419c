// qmloader: the module catalogue without a host.
//   qmloader [--config NAME] validate [--schema FILE] [FILE...]
//   qmloader [--config NAME] list [--json] [--no-snapshot]
//   qmloader [--config NAME] show KEY
//   qmloader [--config NAME] set KEY [--activated on|off] [--autostart on|off]
//                                    [--demandload on|off]
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
#include "settings_command.h"
#include "validate_command.h"

namespace {

qmcli::OptionParser makeParser() {
    qmcli::OptionParser parser(
        "qmloader",
        "qmloader [--config NAME] validate [--schema FILE] [FILE...]\n"
        "       qmloader [--config NAME] list [--json] [--no-snapshot]\n"
        "       qmloader [--config NAME] show KEY\n"
        "       qmloader [--config NAME] set KEY [--activated on|off] [--autostart on|off]\n"
        "                                        [--demandload on|off]",
        "Commands:\n"
        "  validate  check module definitions (the installed ones without FILE): FILE:LINE:\n"
        "            reason for each one refused\n"
        "  list      the catalogue as the module loader builds it, with the user's settings\n"
        "  show      one module's settings for the current user\n"
        "  set       change one module's settings for the current user, as the dialogs do\n"
        "\n"
        "Exit status: 0 success, 1 a definition refused, no module found, an unknown key or a\n"
        "refused change, 2 bad command line.\n");
    parser.addValue("config", "NAME", "the configuration (default: the current one)");
    parser.addValue("schema", "FILE", "validate: the schema to check against");
    parser.addFlag("json", "list: one JSON array instead of text");
    parser.addFlag("no-snapshot",
                   "list: read every definition, neither using nor keeping the catalogue "
                   "snapshot");
    parser.addValue("activated", "on|off", "set: switch the module on or off");
    parser.addValue("autostart", "on|off", "set: start the module with the host");
    parser.addValue("demandload", "on|off", "set: load the module on demand");
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
    // A command-line tool: the environment library's store problems go to standard error.
    QmEnSetReportSink(
        [](const std::string& message) { std::cerr << "registry: " << message << std::endl; });

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

    // The catalogue as the loader builds it, for list, show and set.
    std::unique_ptr<qm::DiagnosticLog> log;
    auto catalogueOptions = [&] {
        log = qm::DiagnosticLog::fromEnvironment();
        qmloader::ListOptions options;
        options.config = config;
        options.language = QmEnGetLanguageCode();
        options.definitionsFolder = folder;
        options.log = log.get();
        return options;
    };

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
        if (int bad = refuseForeignOptions(parser, command, {"json", "no-snapshot"}))
            return bad;
        if (!args.empty())
            return parser.usageError(std::cerr, "unexpected argument '" + args.front() + "'");
        qmloader::ListOptions options = catalogueOptions();
        options.json = parser.has("json");
        options.snapshot = !parser.has("no-snapshot");
        return qmloader::RunList(options, std::cout, std::cerr);
    }
    if (command == "show" || command == "set") {
        const std::vector<std::string> settings{"activated", "autostart", "demandload"};
        if (int bad = refuseForeignOptions(
                parser, command, command == "set" ? settings : std::vector<std::string>{}))
            return bad;
        if (args.size() != 1)
            return parser.usageError(std::cerr, command + " takes one module key");
        qmloader::SettingsChange change;
        std::optional<bool>* slots[] = {&change.activated, &change.autoStart, &change.demandLoad};
        for (std::size_t k = 0; k < settings.size(); ++k) {
            const auto text = parser.value(settings[k]);
            if (!text)
                continue;
            if (*text != "on" && *text != "off")
                return parser.usageError(std::cerr, "option '--" + settings[k] +
                                                        "' takes on or off, not '" + *text + "'");
            *slots[k] = *text == "on";
        }
        if (command == "set" && !change.activated && !change.autoStart && !change.demandLoad)
            return parser.usageError(std::cerr,
                                     "set needs --activated, --autostart or --demandload");
        const qmloader::ListOptions catalogue = catalogueOptions();
        return command == "show"
                   ? qmloader::RunShow(catalogue, args.front(), std::cout, std::cerr)
                   : qmloader::RunSet(catalogue, args.front(), change, std::cout, std::cerr);
    }
    return parser.usageError(std::cerr, "unknown command '" + command + "'");
}
