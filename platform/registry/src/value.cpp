#include "qmreg/registry.h"

#include <cassert>

namespace qmreg {

Value Value::string(std::string name, std::string_view s, ValueType t) {
    return Value{std::move(name), t, std::vector<std::uint8_t>(s.begin(), s.end())};
}

Value Value::dword(std::string name, std::uint32_t v) {
    return Value{std::move(name),
                 ValueType::Dword,
                 {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                  static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
}

Value Value::qword(std::string name, std::uint64_t v) {
    Value value{std::move(name), ValueType::Qword, {}};
    for (int i = 0; i < 8; ++i)
        value.data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return value;
}

Value Value::multiString(std::string name, const std::vector<std::string>& strings) {
    Value value{std::move(name), ValueType::MultiSz, {}};
    for (const auto& s : strings) {
        value.data.insert(value.data.end(), s.begin(), s.end());
        value.data.push_back(0);
    }
    value.data.push_back(0);
    return value;
}

std::string Value::asString() const {
    assert(isString() && "asString of a value that holds no string");
    return std::string(data.begin(), data.end());
}

std::uint32_t Value::asDword() const {
    assert(type == ValueType::Dword && "asDword of a value that is no DWORD");
    // Shorter data reads as if zero-padded, as a DWORD read of a short value does.
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && i < data.size(); ++i)
        v |= std::uint32_t{data[i]} << (8 * i);
    return v;
}

std::uint64_t Value::asQword() const {
    assert(type == ValueType::Qword && "asQword of a value that is no QWORD");
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8 && i < data.size(); ++i)
        v |= std::uint64_t{data[i]} << (8 * i);
    return v;
}

std::vector<std::string> Value::asStrings() const {
    std::vector<std::string> strings;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = start;
        while (end < data.size() && data[end] != 0)
            ++end;
        // The empty string after the last terminator ends the list.
        if (end == start)
            break;
        strings.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(start),
                             data.begin() + static_cast<std::ptrdiff_t>(end));
        start = end + 1;
    }
    return strings;
}

}  // namespace qmreg
