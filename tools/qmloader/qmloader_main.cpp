// qmloader: the module catalogue without a host.
//   qmloader [--config NAME] validate [--schema FILE] [FILE...]
//   qmloader [--config NAME] list [--json]
// The installation, configuration and user come from the environment, as for the loader.
#include <qmenv/environment.h>
#include <qmsys/text.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "list_command.h"
#include "validate_command.h"

namespace {

constexpr int kUsageError = 2;

int usage(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "qmloader: " << problem << "\n";
    }
    std::cerr << "usage: qmloader [--config NAME] validate [--schema FILE] [FILE...]\n"
                 "       qmloader [--config NAME] list [--json]\n";
    return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string config = QmEnGetCurrentConfig();
    std::size_t i = 0;
    if (i + 1 < args.size() && args[i] == "--config") {
        config = args[i + 1];
        i += 2;
    }
    if (i >= args.size()) {
        return usage("");
    }
    const std::string command = args[i++];
    const std::string folder =
        QmEnBuildFilename(std::string(qm::names::kDefinitionsFolder), kQmEnBaseAppPath, 0);

    if (command == "validate") {
        qmloader::ValidateOptions options;
        options.config = qmsys::asciiLower(config);
        options.definitionsFolder = folder;
        for (; i < args.size(); ++i) {
            if (args[i] == "--schema" && i + 1 < args.size()) {
                options.schema = args[++i];
            } else if (args[i].rfind("--", 0) == 0) {
                return usage("unknown option " + args[i]);
            } else {
                options.files.push_back(args[i]);
            }
        }
        return qmloader::RunValidate(options, std::cout, std::cerr);
    }
    if (command == "list") {
        qmloader::ListOptions options;
        for (; i < args.size(); ++i) {
            if (args[i] == "--json") {
                options.json = true;
            } else {
                return usage("unknown argument " + args[i]);
            }
        }
        const std::unique_ptr<qm::DiagnosticLog> log = qm::DiagnosticLog::fromEnvironment();
        options.config = config;
        options.language = QmEnGetLanguageCode();
        options.definitionsFolder = folder;
        options.log = log.get();
        return qmloader::RunList(options, std::cout, std::cerr);
    }
    return usage("unknown command " + command);
}
