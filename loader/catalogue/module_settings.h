#pragma once
// Each user's settings per module (Activated, AutoStart, DemandLoad), kept as the strings
// "True" and "False" in the module's registry key under the current user.
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/module_list.h"

namespace qm {

class DiagnosticLog;
class StoreWrites;
class UserFeedback;

// Reads every record's settings. A key that does not open (or does not fit the key buffer,
// which is logged) leaves the record as it is. AutoStart and DemandLoad are on only for
// exactly "True"; Activated is off only for exactly "False", which also turns the other two
// off. The reads share one registry read transaction, which joins the one the thread has open
// (a start-up's, with its prefetched copy). Always true.
bool ReadModuleSettings(ModuleList& list, DiagnosticLog* log = nullptr);

// One visit to the module key of key, inside a pass's registry reads: the user's version
// override replaces major and minor (as ModuleDefinitionReader::applyVersionOverride, but a
// key that does not open is appended to missingKeys for the pass to create), and, when
// settings is given, the settings are read into it as ReadModuleSettings reads them. False
// when settings was given but the key does not fit the key buffer: its settings are then not
// read, and the caller logs that for the records it keeps, as ReadModuleSettings does
// (docs/PERFORMANCE.md: one visit per module key).
// modules: registry_layout::modulesKey(), which a scan works out once for all its keys ("" here:
// worked out for this call).
bool ReadModuleKey(const std::string& key, std::int32_t& major, std::int32_t& minor,
                   ModuleRecord* settings, std::vector<std::string>& missingKeys,
                   std::string_view modules = {});
// The line ReadModuleSettings logs for a record whose key does not fit the key buffer.
void LogSettingsNotRead(const ModuleRecord& record, DiagnosticLog* log);

// Writes AutoStart, DemandLoad and Activated of every record, creating missing keys, all in
// one registry transaction, with feedback's wait cursor shown meanwhile. Keys that do not open
// or do not fit are skipped (the latter logged). Always true.
bool WriteModuleSettings(ModuleList& list, DiagnosticLog* log = nullptr,
                         UserFeedback* feedback = nullptr);

// Stores the three settings of record alone, in one transaction, and reads them back. Every
// other module's stored settings stay as they are, also those that another program changed
// meanwhile, and a second record of the same key cannot overwrite this one. "" when the store
// holds the settings afterwards, else why it does not.
std::string StoreModuleSettings(const ModuleRecord& record, DiagnosticLog* log = nullptr);

// Forces the base module to activated, not demand-loaded, started with the host. When its key
// cannot be opened the user is told "Serious problems!!!!!" through feedback and nothing else
// happens. With a write gate whose writes are suspended, or a store that stays busy, nothing
// is written and nothing is shown (the gate logs it).
void WriteBaseModuleSettings(StoreWrites* writes = nullptr, UserFeedback* feedback = nullptr);
// The writes of WriteBaseModuleSettings without its message: false only when the base
// module's key could not be opened, so that a caller whose own batch is still open shows the
// message once that batch has ended.
bool storeBaseModuleSettings(StoreWrites* writes);
// Gives the base module's record in list the settings WriteBaseModuleSettings stores, for a
// start-up that reads the settings before it writes, so that its reads and its writes each
// take one transaction.
void applyBaseModuleSettings(ModuleList& list);

}  // namespace qm
