#include "value_text.h"

#include <array>
#include <charconv>
#include <cstdio>

#include <qmsys/text.h>

namespace qmreg::tool {

namespace {

struct TypeEntry {
    ValueType type;
    const char* name;
    bool writable;  // /t accepts it
};

constexpr std::array<TypeEntry, 12> kTypes{{
    {ValueType::Sz, "REG_SZ", true},
    {ValueType::ExpandSz, "REG_EXPAND_SZ", true},
    {ValueType::MultiSz, "REG_MULTI_SZ", true},
    {ValueType::Binary, "REG_BINARY", true},
    {ValueType::Dword, "REG_DWORD", true},
    {ValueType::Qword, "REG_QWORD", true},
    {ValueType::None, "REG_NONE", true},
    {ValueType{5}, "REG_DWORD_BIG_ENDIAN", false},
    {ValueType{6}, "REG_LINK", false},
    {ValueType{8}, "REG_RESOURCE_LIST", false},
    {ValueType{9}, "REG_FULL_RESOURCE_DESCRIPTOR", false},
    {ValueType{10}, "REG_RESOURCE_REQUIREMENTS_LIST", false},
}};

// The separator of REG_MULTI_SZ strings on the command line.
constexpr std::string_view kMultiSeparator = "\\0";

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = qmsys::asciiUpper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

template <typename Int>
std::optional<Int> parseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    Int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

std::optional<std::vector<std::uint8_t>> parseHexDigits(std::string_view data) {
    if (data.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < data.size(); i += 2) {
        int hi = hexDigit(data[i]), lo = hexDigit(data[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

}  // namespace

std::string typeName(ValueType type) {
    for (const auto& entry : kTypes) {
        if (entry.type == type)
            return entry.name;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(type));
    return buf;
}

std::optional<ValueType> parseTypeName(std::string_view name) {
    for (const auto& entry : kTypes) {
        std::string_view candidate = entry.name;
        if (!entry.writable || candidate.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = qmsys::asciiUpper(name[i]) == candidate[i];
        if (same)
            return entry.type;
    }
    return std::nullopt;
}

std::string displayData(const Value& value) {
    if (value.isString())
        return value.asString();
    char buf[24];
    if (value.type == ValueType::Dword && value.data.size() == 4) {
        std::snprintf(buf, sizeof buf, "0x%x", value.asDword());
        return buf;
    }
    if (value.type == ValueType::Qword && value.data.size() == 8) {
        std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(value.asQword()));
        return buf;
    }
    if (value.type == ValueType::MultiSz) {
        std::string joined;
        for (const auto& s : value.asStrings())
            joined += (joined.empty() ? "" : std::string(kMultiSeparator)) + s;
        return joined;
    }
    std::string hex;
    for (std::uint8_t b : value.data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    return hex;
}

std::optional<Value> parseValueData(std::string name, ValueType type, std::string_view data) {
    switch (type) {
        case ValueType::Dword: {
            auto v =
                data.empty() ? std::optional<std::uint32_t>(0) : parseNumber<std::uint32_t>(data);
            if (!v)
                return std::nullopt;
            return Value::dword(std::move(name), *v);
        }
        case ValueType::Qword: {
            auto v =
                data.empty() ? std::optional<std::uint64_t>(0) : parseNumber<std::uint64_t>(data);
            if (!v)
                return std::nullopt;
            return Value::qword(std::move(name), *v);
        }
        case ValueType::MultiSz: {
            std::vector<std::string> strings;
            while (!data.empty()) {
                std::size_t sep = data.find(kMultiSeparator);
                std::string_view item = data.substr(0, sep);
                // Empty strings cannot be stored: an empty string ends the list.
                if (item.empty())
                    return std::nullopt;
                strings.emplace_back(item);
                if (sep == std::string_view::npos)
                    break;
                data.remove_prefix(sep + kMultiSeparator.size());
                if (data.empty())
                    return std::nullopt;
            }
            return Value::multiString(std::move(name), strings);
        }
        case ValueType::Binary:
        case ValueType::None: {
            auto bytes = parseHexDigits(data);
            if (!bytes)
                return std::nullopt;
            return Value{std::move(name), type, std::move(*bytes)};
        }
        default:
            return Value::string(std::move(name), std::string(data), type);
    }
}

std::string expectedData(ValueType type) {
    switch (type) {
        case ValueType::Dword:
            return "a number from 0 to 4294967295, decimal or 0x hex";
        case ValueType::Qword:
            return "a number from 0 to 18446744073709551615, decimal or 0x hex";
        case ValueType::MultiSz:
            return "non-empty strings separated by \\0";
        default:
            return "an even number of hex digits";
    }
}

}  // namespace qmreg::tool
