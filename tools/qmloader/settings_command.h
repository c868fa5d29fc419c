#pragma once
// qmloader show KEY and qmloader set KEY: one module's settings for the current user, read
// and written through the same code as the module loader's dialogs.
#include <optional>
#include <ostream>
#include <string>

#include "list_command.h"

namespace qmloader {

struct SettingsChange {
    std::optional<bool> activated;
    std::optional<bool> autoStart;
    std::optional<bool> demandLoad;
};

// Prints the module's key, name and settings ("on"/"off"). Returns 0, or 1 when key names no
// module of the catalogue.
int RunShow(const ListOptions& catalogue, const std::string& key, std::ostream& out,
            std::ostream& err);

// Applies change to the module's settings and stores that module's settings alone; then prints
// the module as show does. A change the store did not keep (damaged, read-only, busy) is
// reported with status 1 and nothing printed on standard output. A module switched off
// is neither started with the host nor demand-loaded. Refused with status 1 (and nothing
// written): an unknown key; a change of the base module's forced values (activated, started
// with the host, not demand-loaded); a module switched off and yet started or demand-loaded.
int RunSet(const ListOptions& catalogue, const std::string& key, const SettingsChange& change,
           std::ostream& out, std::ostream& err);

}  // namespace qmloader
