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

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The key of the next value inside an object.
    void key(std::string_view key);
    void string(std::string_view value);
    void number(std::int64_t value);
    void boolean(bool value);

    static std::string escape(std::string_view text);

private:
    void beforeValue();
    void newLine();

    struct Level {
        bool first = true;
    };
    std::ostream& out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace qmloader
