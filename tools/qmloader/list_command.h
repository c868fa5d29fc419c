#pragma once
// qmloader list: the catalogue as the loader builds it at start-up, with each module's
// settings for the current user.
#include <ostream>
#include <string>

#include "runtime/module_list.h"

namespace qm {
class DiagnosticLog;
}

namespace qmloader {

struct ListOptions {
    std::string config;  // as the loader's catalogue context holds it
    std::string language;
    std::string definitionsFolder;
    bool json = false;
    // Use and keep the catalogue snapshot, as the start-up does (unless QM_NO_SNAPSHOT=1).
    bool snapshot = true;
    qm::DiagnosticLog* log = nullptr;
};

// Builds the catalogue as the loader does at start-up and reads each module's settings into
// list; writes the catalogue's error text, if any, on err. False when no definition could be
// read.
bool LoadModules(const ListOptions& options, qm::ModuleList& list, std::ostream& err);

// Writes the modules on out (text, or one JSON array) and the catalogue's error text, if
// any, on err. Writes nothing to the registry beyond the module keys that reading the
// definitions creates. Returns 0 when the catalogue holds a module, else 1.
int RunList(const ListOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qmloader
