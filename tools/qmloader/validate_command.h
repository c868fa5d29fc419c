#pragma once
// qmloader validate: reads definitions as the loader does and reports each refused one.
#include <ostream>
#include <string>
#include <vector>

namespace qmloader {

struct ValidateOptions {
    std::string config;              // lower case; selects the default files
    std::string definitionsFolder;   // where the default files and the schema lie
    std::string schema;              // empty: definitionsFolder/QM_Module.xsd
    std::vector<std::string> files;  // empty: every definition of config
};

// Prints "FILE:LINE: reason" on out for each refused file and a summary on err. Reading
// touches no registry key. Returns 0 when at least one file was read and every file was
// accepted, else 1.
int RunValidate(const ValidateOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qmloader
