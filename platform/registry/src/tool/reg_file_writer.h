#pragma once
// Writes registry keys as the registry editor exports them ("Windows Registry Editor Version
// 5.00"): UTF-16LE with a byte-order mark, CRLF line ends, one section per key followed by an
// empty line, parents before their subkeys, values in the store's order. Hex data is wrapped
// with a trailing '\' before a line passes 80 columns; continuation lines start with two
// spaces. String data inside hex(1), hex(2) and hex(7) is UTF-16LE.
#include <stdexcept>
#include <string>

#include "qmreg/registry.h"

namespace qmreg::tool {

// A key or value that a .reg file cannot carry so that an import reads it back as it is: a
// name with a line break, or a name or string data that is not UTF-8. The message names it.
class RegExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Exports key (which must exist) and all its subkeys: the bytes of the file. Throws
// StoreError, or RegExportError for the first key or value the file cannot carry.
std::string exportRegFile(Hive& hive, HiveId hiveId, const std::string& key);

// The same export as UTF-8 text (CRLF line ends, no byte-order mark).
std::string exportRegText(Hive& hive, HiveId hiveId, const std::string& key);

// One value line in UTF-8, without the final line end; wrapped hex data holds "\\\r\n  ":
// "name"="data", @=dword:0000000a, "b"=hex:01,02, ...
std::string regFileValueLine(const Value& value);

}  // namespace qmreg::tool
