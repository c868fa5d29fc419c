#include "value_text.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace qmreg::tool {

namespace {

struct TypeEntry {
    ValueType type;
    const char* name;
};

constexpr std::array<TypeEntry, 4> kWritableTypes{{
    {ValueType::Sz, "REG_SZ"},
    {ValueType::ExpandSz, "REG_EXPAND_SZ"},
    {ValueType::Binary, "REG_BINARY"},
    {ValueType::Dword, "REG_DWORD"},
}};

char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = upper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::optional<std::uint32_t> parseDword(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

}  // namespace

const char* typeName(ValueType type) {
    for (const auto& entry : kWritableTypes) {
        if (entry.type == type)
            return entry.name;
    }
    return "REG_NONE";
}

std::optional<ValueType> parseTypeName(std::string_view name) {
    for (const auto& entry : kWritableTypes) {
        std::string_view candidate = entry.name;
        if (candidate.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = upper(name[i]) == candidate[i];
        if (same)
            return entry.type;
    }
    return std::nullopt;
}

std::string displayData(const Value& value) {
    if (value.isString())
        return value.asString();
    if (value.type == ValueType::Dword && value.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%x", value.asDword());
        return buf;
    }
    std::string hex;
    for (std::uint8_t b : value.data) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    return hex;
}

std::optional<Value> parseValueData(std::string name, ValueType type, std::string_view data) {
    switch (type) {
        case ValueType::Dword: {
            if (data.empty())
                return Value::dword(std::move(name), 0);
            auto v = parseDword(data);
            if (!v)
                return std::nullopt;
            return Value::dword(std::move(name), *v);
        }
        case ValueType::Binary: {
            if (data.size() % 2 != 0)
                return std::nullopt;
            Value value{std::move(name), ValueType::Binary, {}};
            for (std::size_t i = 0; i < data.size(); i += 2) {
                int hi = hexDigit(data[i]), lo = hexDigit(data[i + 1]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                value.data.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            }
            return value;
        }
        default:
            return Value::string(std::move(name), std::string(data), type);
    }
}

}  // namespace qmreg::tool
