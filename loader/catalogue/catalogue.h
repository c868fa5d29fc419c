#pragma once
// The catalogue scan: every module definition of the current configuration becomes one
// record of the module list, repeated neighbours dropped, sorted by display name.
#include <string>
#include <string_view>

#include "runtime/module_list.h"

namespace qm {

class DiagnosticLog;
class StartupPass;

struct CatalogueContext {
    std::string config;            // current configuration, lower case, at most 499 characters
    std::string language;          // current language code, lower case, at most 499 characters
    DiagnosticLog* log = nullptr;  // receives rejected definitions; may be null
    // Use and keep the snapshot of what the previous scan read (catalogue_snapshot.h), so
    // that only changed definitions are parsed; the results are the same either way.
    bool useSnapshot = false;
    // Also read each accepted record's settings, as ReadModuleSettings(list) would after
    // the scan, in the visit to its module key that reads the version override
    // (docs/PERFORMANCE.md: one visit per module key).
    bool readSettings = false;
};

// Lower-cases (ASCII) configuration and language and cuts each to 499 UTF-16 units, the
// room the scan keeps for them.
CatalogueContext MakeCatalogueContext(std::string_view config, std::string_view language,
                                      DiagnosticLog* log = nullptr);

// Reads every file of folder named "*.<config>.<extension>" (letter case ignored, name order)
// with the schema folder/QM_Module.xsd compiled once, and appends each accepted definition to
// list. Then drops every record whose key equals its kept predecessor's (case-sensitive;
// neighbours only) and sorts the whole list by display name in UTF-16 code-unit order (not
// stable). The first COM error text of the scan reaches errorText, but only while errorText
// is empty. The module keys of the definitions read are created in the registry when missing,
// when the pass's registry reads end (so after the scan, in one transaction, unless the pass's
// write gate has been suspended); the version overrides are read in the pass's read
// transaction. True when list is not empty afterwards. The working directory is never
// changed. With the snapshot the results, module keys included, are the same; only
// definitions whose files changed are parsed.
bool LoadCatalogue(StartupPass& pass, const CatalogueContext& context, const std::string& folder,
                   std::string_view extension, ModuleList& list, std::string& errorText);
// The same in a pass of its own, which ends before it returns (its missing keys created).
bool LoadCatalogue(const CatalogueContext& context, const std::string& folder,
                   std::string_view extension, ModuleList& list, std::string& errorText);

}  // namespace qm
