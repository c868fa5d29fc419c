#include "reg_file_writer.h"

#include <cstdio>

#include <qmsys/text.h>

#include "key_name.h"
#include "utf16.h"

namespace qmreg::tool {

namespace {

// A hex line is broken once it holds this many columns (UTF-16 code units), so that with
// the trailing '\' it stays within 80.
constexpr std::size_t kHexLineWidth = 77;
constexpr const char* kLineEnd = "\r\n";

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Quoted string data cannot hold line breaks or NULs; such strings go out as hex(1).
bool fitsQuoted(const std::string& text) {
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\0')
            return false;
    }
    return true;
}

std::string hexData(std::string prefix, const std::vector<std::uint8_t>& bytes) {
    std::string out = std::move(prefix);
    std::size_t column = qmsys::utf16Length(out);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        out += buf;
        if (i + 1 == bytes.size())
            break;
        out += ',';
        column += 3;
        if (column >= kHexLineWidth) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
    return out;
}

std::vector<std::uint8_t> utf16WithTerminator(const std::string& text) {
    auto bytes = utf8ToUtf16le(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

bool hasLineBreak(std::string_view name) {
    return name.find_first_of("\r\n") != std::string_view::npos;
}

// Why name cannot go into the file, or nullptr. A line break ends the line that names it; text
// that is not UTF-8 comes back as replacement characters.
const char* unwritableName(std::string_view name) {
    if (hasLineBreak(name))
        return "its name holds a line break, which a registry file cannot";
    if (!survivesUtf16(name))
        return "its name is not UTF-8 text, which a registry file cannot hold";
    return nullptr;
}

bool holdsText(const Value& value) {
    return value.isString() || value.type == ValueType::MultiSz;
}

void appendKey(std::string& out, Hive& hive, HiveId hiveId, const std::string& path) {
    const std::string keyName = fullKeyName(hiveId, path);
    if (const char* why = unwritableName(keyName))
        throw RegExportError("the key \"" + keyName + "\" cannot be exported: " + why);
    out += "[" + keyName + "]" + kLineEnd;
    for (const auto& value : hive.values(path)) {
        const std::string what = "the value \"" + value.name + "\" of " + keyName;
        if (const char* why = unwritableName(value.name))
            throw RegExportError(what + " cannot be exported: " + why);
        if (holdsText(value) &&
            !survivesUtf16(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                            value.data.size()))) {
            throw RegExportError(what +
                                 " cannot be exported: its string data is not UTF-8 text, which "
                                 "a registry file cannot hold");
        }
        out += regFileValueLine(value) + kLineEnd;
    }
    out += kLineEnd;
    for (const auto& sub : hive.subkeys(path)) {
        appendKey(out, hive, hiveId, path.empty() ? sub : path + "\\" + sub);
    }
}

}  // namespace

std::string regFileValueLine(const Value& value) {
    std::string line = (value.name.empty() ? std::string("@") : quoted(value.name)) + "=";
    switch (value.type) {
        case ValueType::Sz:
            if (fitsQuoted(value.asString()))
                return line + quoted(value.asString());
            return hexData(line + "hex(1):", utf16WithTerminator(value.asString()));
        case ValueType::ExpandSz:
            return hexData(line + "hex(2):", utf16WithTerminator(value.asString()));
        case ValueType::MultiSz:
            // The stored form already holds every terminator: its bytes are converted as they
            // are (asString is for the string types alone).
            return hexData(line + "hex(7):",
                           utf8ToUtf16le(std::string(value.data.begin(), value.data.end())));
        case ValueType::Dword:
            if (value.data.size() == 4) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", value.asDword());
                return line + buf;
            }
            return hexData(line + "hex(4):", value.data);
        case ValueType::Binary:
            return hexData(line + "hex:", value.data);
        default: {
            char prefix[16];
            std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
            return hexData(line + prefix, value.data);
        }
    }
}

std::string exportRegText(Hive& hive, HiveId hiveId, const std::string& key) {
    std::string out = std::string("Windows Registry Editor Version 5.00") + kLineEnd + kLineEnd;
    appendKey(out, hive, hiveId, hive.canonicalKey(key).value_or(key));
    return out;
}

std::string exportRegFile(Hive& hive, HiveId hiveId, const std::string& key) {
    auto units = utf8ToUtf16le(exportRegText(hive, hiveId, key));
    std::string out = "\xFF\xFE";
    out.append(units.begin(), units.end());
    return out;
}

}  // namespace qmreg::tool
