#pragma once
// Writes registry keys as .reg text ("Windows Registry Editor Version 5.00"): one section per
// key, parents before their subkeys, values in the store's order. The text is UTF-8 with LF
// line ends; string data inside hex(1) and hex(2) is UTF-16LE, as the registry editor writes
// it, so the files also read on Windows.
#include <string>

#include "qmreg/registry.h"

namespace qmreg::tool {

// Exports key (which must exist) and all its subkeys. Throws StoreError.
std::string exportRegFile(Hive& hive, HiveId hiveId, const std::string& key);

// One value line, without line end: "name"="data", @=dword:0000000a, "b"=hex:01,02, ...
std::string regFileValueLine(const Value& value);

}  // namespace qmreg::tool
