#include "qmreg/registry.h"

namespace qmreg {

Value Value::string(std::string name, const std::string& s, ValueType t) {
    return Value{std::move(name), t, std::vector<std::uint8_t>(s.begin(), s.end())};
}

Value Value::dword(std::string name, std::uint32_t v) {
    return Value{std::move(name),
                 ValueType::Dword,
                 {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                  static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
}

std::string Value::asString() const {
    return std::string(data.begin(), data.end());
}

std::uint32_t Value::asDword() const {
    // Shorter data reads as if zero-padded, as a DWORD read of a short value does.
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && i < data.size(); ++i)
        v |= std::uint32_t{data[i]} << (8 * i);
    return v;
}

}  // namespace qmreg
