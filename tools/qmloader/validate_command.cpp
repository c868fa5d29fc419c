#include "validate_command.h"

#include <qmsys/files.h>

#include "catalogue/module_definition_reader.h"
#include "environment/names.h"

namespace qmloader {

int RunValidate(const ValidateOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files = options.files;
    if (files.empty()) {
        for (const std::string& name : qmsys::findFiles(
                 options.definitionsFolder,
                 "*." + options.config + "." + std::string(qm::names::kDefinitionExtension))) {
            files.push_back(options.definitionsFolder + "/" + name);
        }
    }
    if (files.empty()) {
        err << "qmloader: no module definitions for configuration \"" << options.config << "\" in "
            << options.definitionsFolder << "\n";
        return 1;
    }
    const std::string schema =
        options.schema.empty()
            ? options.definitionsFolder + "/" + std::string(qm::names::kDefinitionSchema)
            : options.schema;
    qm::ModuleDefinitionReader::Options readerOptions;
    readerOptions.applyVersionOverride = false;
    const qm::ModuleDefinitionReader reader(schema, readerOptions);

    std::size_t accepted = 0;
    for (const std::string& file : files) {
        qm::ModuleRecord record;
        std::string errorText;
        qm::DefinitionDiagnostic diagnostic;
        if (reader.read(file, record, errorText, &diagnostic)) {
            ++accepted;
            continue;
        }
        out << file << ":" << diagnostic.line << ": " << diagnostic.reason << "\n";
    }
    err << accepted << " of " << files.size() << " module definitions accepted\n";
    return accepted == files.size() ? 0 : 1;
}

}  // namespace qmloader
