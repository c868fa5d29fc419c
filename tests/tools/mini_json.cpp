#include "mini_json.h"

#include <stdexcept>

namespace qmtest {

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    std::optional<JsonValue> document() {
        try {
            JsonValue v = value();
            skip();
            if (i_ != s_.size()) {
                return std::nullopt;
            }
            return v;
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

private:
    void skip() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r')) {
            ++i_;
        }
    }
    char peek() {
        skip();
        if (i_ >= s_.size())
            throw std::runtime_error("end");
        return s_[i_];
    }
    void expect(char c) {
        if (peek() != c)
            throw std::runtime_error("syntax");
        ++i_;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (s_.compare(i_, w.size(), w) == 0) {
            i_ += w.size();
            return true;
        }
        return false;
    }
    std::string string() {
        expect('"');
        std::string out;
        while (true) {
            if (i_ >= s_.size())
                throw std::runtime_error("string");
            const char c = s_[i_++];
            if (c == '"')
                break;
            if (static_cast<unsigned char>(c) < 0x20)
                throw std::runtime_error("control");
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = s_.at(i_++);
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    const unsigned code = std::stoul(s_.substr(i_, 4), nullptr, 16);
                    i_ += 4;
                    if (code >= 0x80)
                        throw std::runtime_error("only ASCII escapes expected");
                    out += static_cast<char>(code);
                    break;
                }
                default:
                    out += e;
            }
        }
        return out;
    }
    JsonValue value() {
        const char c = peek();
        if (c == '{') {
            ++i_;
            JsonObject obj;
            if (peek() == '}') {
                ++i_;
                return {obj};
            }
            while (true) {
                std::string key = string();
                expect(':');
                obj.emplace_back(std::move(key), value());
                if (peek() == ',') {
                    ++i_;
                    continue;
                }
                expect('}');
                return {obj};
            }
        }
        if (c == '[') {
            ++i_;
            JsonArray arr;
            if (peek() == ']') {
                ++i_;
                return {arr};
            }
            while (true) {
                arr.push_back(value());
                if (peek() == ',') {
                    ++i_;
                    continue;
                }
                expect(']');
                return {arr};
            }
        }
        if (c == '"')
            return {string()};
        if (literal("true"))
            return {true};
        if (literal("false"))
            return {false};
        if (literal("null"))
            return {nullptr};
        std::size_t used = 0;
        const long long n = std::stoll(s_.substr(i_), &used);
        i_ += used;
        return {static_cast<std::int64_t>(n)};
    }

    const std::string& s_;
    std::size_t i_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
    for (const auto& [k, v] : std::get<JsonObject>(this->v)) {
        if (k == key)
            return v;
    }
    throw std::out_of_range("no key " + key);
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
    return array().at(index);
}

std::vector<std::string> JsonValue::keys() const {
    std::vector<std::string> out;
    for (const auto& [k, v] : std::get<JsonObject>(this->v))
        out.push_back(k);
    return out;
}

std::optional<JsonValue> ParseJson(const std::string& text) {
    return Parser(text).document();
}

}  // namespace qmtest
