#pragma once
// A small streaming JSON writer: objects, arrays, strings, numbers and booleans, indented by
// two spaces. The caller keeps keys and values balanced; strings are UTF-8 and written with
// the escapes JSON requires.
#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace qmloader {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The key of the next value inside an object.
    void Key(std::string_view key);
    void String(std::string_view value);
    void Number(std::int64_t value);
    void Bool(bool value);

    static std::string Escape(std::string_view text);

private:
    void BeforeValue();
    void NewLine();

    struct Level {
        bool first = true;
    };
    std::ostream& out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace qmloader
