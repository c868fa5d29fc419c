#pragma once
// Just enough JSON reading to check qmloader's output: objects keep their key order.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace qmtest {

struct JsonValue;
using JsonObject = std::vector<std::pair<std::string, JsonValue>>;
using JsonArray = std::vector<JsonValue>;

struct JsonValue {
    std::variant<std::nullptr_t, bool, std::int64_t, std::string, JsonArray, JsonObject> v;

    const JsonValue& operator[](const std::string& key) const;  // throws when absent
    const JsonValue& operator[](std::size_t index) const;
    std::vector<std::string> keys() const;
    const std::string& str() const { return std::get<std::string>(v); }
    std::int64_t num() const { return std::get<std::int64_t>(v); }
    bool boolean() const { return std::get<bool>(v); }
    const JsonArray& array() const { return std::get<JsonArray>(v); }
};

// nullopt when text is not one complete JSON value.
std::optional<JsonValue> ParseJson(const std::string& text);

}  // namespace qmtest
