#pragma once
// Writes registry keys as the registry editor exports them ("Windows Registry Editor Version
// 5.00"): UTF-16LE with a byte-order mark, CRLF line ends, one section per key followed by an
// empty line, parents before their subkeys, values in the store's order. Hex data is wrapped
// with a trailing '\' before a line passes 80 columns; continuation lines start with two
// spaces. String data inside hex(1), hex(2) and hex(7) is UTF-16LE.
#include <string>

#include "qmreg/registry.h"

namespace qmreg::tool {

// Exports key (which must exist) and all its subkeys: the bytes of the file. Throws
// StoreError.
std::string exportRegFile(Hive& hive, HiveId hiveId, const std::string& key);

// The same export as UTF-8 text (CRLF line ends, no byte-order mark).
std::string exportRegText(Hive& hive, HiveId hiveId, const std::string& key);

// One value line in UTF-8, without the final line end; wrapped hex data holds "\\\r\n  ":
// "name"="data", @=dword:0000000a, "b"=hex:01,02, ...
std::string regFileValueLine(const Value& value);

}  // namespace qmreg::tool
