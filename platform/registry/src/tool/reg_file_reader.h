#pragma once
// Reads .reg text ("Windows Registry Editor Version 5.00") into the changes it describes.
// Accepts UTF-8 (with or without BOM) and UTF-16LE with BOM; files of the older "REGEDIT4"
// format in the ANSI code page (Windows-1252), whose string data in hex(1), hex(2) and hex(7)
// is ANSI too; values of every type, hex(N) for any N; LF or CRLF line ends, comments
// (';'), hex data continued over lines with a trailing '\', "[-KEY]" to delete a key and
// "name"=- to delete a value.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "key_name.h"
#include "qmreg/registry.h"

namespace qmreg::tool {

// A malformed file; the message names the line.
class RegFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RegFileEntry {
    std::string name;            // "" for the default value (@)
    std::optional<Value> value;  // nullopt: delete the value
};

struct RegFileSection {
    KeyName key;
    bool deleteKey = false;
    std::vector<RegFileEntry> entries;
};

std::vector<RegFileSection> parseRegFile(std::string_view content);

}  // namespace qmreg::tool
