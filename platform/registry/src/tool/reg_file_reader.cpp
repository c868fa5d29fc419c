#include "reg_file_reader.h"

#include <cstdint>

#include "utf16.h"

namespace qmreg::tool {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
// The older format: text and string data in the ANSI code page.
constexpr std::string_view kAnsiHeader = "REGEDIT4";

struct DecodedText {
    std::string text;  // UTF-8
    bool ansi = false;
};

DecodedText decodeText(std::string_view content) {
    if (content.size() >= 2 && content[0] == '\xFF' && content[1] == '\xFE') {
        return {utf16leToUtf8(reinterpret_cast<const std::uint8_t*>(content.data()) + 2,
                              content.size() - 2)};
    }
    if (content.substr(0, 3) == "\xEF\xBB\xBF")
        return {std::string(content.substr(3))};
    if (content.substr(0, kAnsiHeader.size()) == kAnsiHeader)
        return {ansiToUtf8(content), true};
    return {std::string(content)};
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses one .reg line at a time, remembering the line number for messages.
class LineParser {
public:
    // ansi: string data in hex(1), hex(2) and hex(7) is in the ANSI code page, not UTF-16LE.
    LineParser(std::string_view line, int number, bool ansi)
        : rest_(line), number_(number), ansi_(ansi) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw RegFileError("line " + std::to_string(number_) + ": " + what);
    }

    // A "quoted" string with \\ and \" escapes, at the current position.
    std::string quoted() {
        if (rest_.empty() || rest_.front() != '"')
            fail("expected '\"'");
        rest_.remove_prefix(1);
        std::string out;
        while (!rest_.empty() && rest_.front() != '"') {
            char c = rest_.front();
            rest_.remove_prefix(1);
            if (c == '\\' && !rest_.empty()) {
                c = rest_.front();
                rest_.remove_prefix(1);
            }
            out += c;
        }
        if (rest_.empty())
            fail("unterminated string");
        rest_.remove_prefix(1);
        return out;
    }

    void expect(char c) {
        rest_ = trim(rest_);
        if (rest_.empty() || rest_.front() != c)
            fail(std::string("expected '") + c + "'");
        rest_.remove_prefix(1);
        rest_ = trim(rest_);
    }

    bool consume(std::string_view prefix) {
        if (rest_.substr(0, prefix.size()) != prefix)
            return false;
        rest_.remove_prefix(prefix.size());
        return true;
    }

    void expectEnd() {
        if (!trim(rest_).empty())
            fail("unexpected text \"" + std::string(trim(rest_)) + "\"");
    }

    std::vector<std::uint8_t> hexBytes() {
        std::vector<std::uint8_t> bytes;
        std::string_view data = trim(rest_);
        rest_ = {};
        while (!data.empty()) {
            std::size_t comma = data.find(',');
            std::string_view item = trim(data.substr(0, comma));
            int hi = item.size() == 2 ? hexDigit(item[0]) : -1;
            int lo = item.size() == 2 ? hexDigit(item[1]) : -1;
            if (hi < 0 || lo < 0)
                fail("bad hex byte \"" + std::string(item) + "\"");
            bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            data = comma == std::string_view::npos ? std::string_view() : data.substr(comma + 1);
        }
        return bytes;
    }

    std::uint32_t dword() {
        std::string_view digits = trim(rest_);
        rest_ = {};
        if (digits.empty() || digits.size() > 8)
            fail("bad dword \"" + std::string(digits) + "\"");
        std::uint32_t v = 0;
        for (char c : digits) {
            int d = hexDigit(c);
            if (d < 0)
                fail("bad dword \"" + std::string(digits) + "\"");
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        return v;
    }

    // "hex(N):" after "hex"; returns N (hex digits).
    std::uint32_t hexType() {
        std::size_t close = rest_.find(')');
        if (rest_.empty() || rest_.front() != '(' || close == std::string_view::npos) {
            fail("bad hex type");
        }
        std::string_view digits = rest_.substr(1, close - 1);
        rest_.remove_prefix(close + 1);
        std::uint32_t type = 0;
        for (char c : digits) {
            int d = hexDigit(c);
            if (d < 0 || digits.size() > 8)
                fail("bad hex type");
            type = type * 16 + static_cast<std::uint32_t>(d);
        }
        return type;
    }

    RegFileEntry entry() {
        RegFileEntry e;
        rest_ = trim(rest_);
        if (consume("@")) {
            e.name = "";
        } else {
            e.name = quoted();
        }
        expect('=');
        if (consume("-")) {
            expectEnd();
            return e;
        }
        if (!rest_.empty() && rest_.front() == '"') {
            e.value = Value::string(e.name, quoted());
            expectEnd();
        } else if (consume("dword:")) {
            e.value = Value::dword(e.name, dword());
        } else if (consume("hex:")) {
            e.value = Value{e.name, ValueType::Binary, hexBytes()};
        } else if (consume("hex")) {
            e.value = typedHex(e.name, hexType());
        } else {
            fail("unknown value data \"" + std::string(rest_) + "\"");
        }
        return e;
    }

private:
    Value typedHex(const std::string& name, std::uint32_t type) {
        if (!consume(":"))
            fail("expected ':'");
        auto bytes = hexBytes();
        const auto valueType = static_cast<ValueType>(type);
        switch (valueType) {
            case ValueType::Sz:
            case ValueType::ExpandSz: {
                std::string text = stringData(bytes);
                while (!text.empty() && text.back() == '\0')
                    text.pop_back();
                return Value::string(name, text, valueType);
            }
            case ValueType::MultiSz: {
                // Kept with its terminators, so that the value exports as it came.
                std::string text = stringData(bytes);
                return Value{name, valueType, {text.begin(), text.end()}};
            }
            default:
                return Value{name, valueType, bytes};
        }
    }

    std::string stringData(const std::vector<std::uint8_t>& bytes) const {
        if (ansi_)
            return ansiToUtf8(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return utf16leToUtf8(bytes.data(), bytes.size());
    }

    std::string_view rest_;
    int number_;
    bool ansi_;
};

// Splits text into logical lines: a hex line ending in '\' continues on the next line.
struct LogicalLine {
    std::string text;
    int number;
};

std::vector<LogicalLine> logicalLines(const std::string& text) {
    std::vector<LogicalLine> lines;
    bool continuing = false;
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line = trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        ++number;
        if (continuing) {
            lines.back().text += line;
        } else {
            lines.push_back({std::string(line), number});
        }
        const std::string& current = lines.back().text;
        // A comment never continues, whatever it holds: it would take the next line with it.
        bool isHexValue = !current.empty() && current.front() != '[' && current.front() != ';' &&
                          current.find("=hex") != std::string::npos;
        continuing = isHexValue && !current.empty() && current.back() == '\\';
        if (continuing)
            lines.back().text.pop_back();
    }
    return lines;
}

}  // namespace

std::vector<RegFileSection> parseRegFile(std::string_view content) {
    std::vector<RegFileSection> sections;
    bool sawHeader = false;
    const DecodedText decoded = decodeText(content);
    for (const auto& [text, number] : logicalLines(decoded.text)) {
        if (text.empty() || text.front() == ';')
            continue;
        LineParser parser(text, number, decoded.ansi);
        if (!sawHeader) {
            if (text != kHeader && text != kAnsiHeader)
                parser.fail("not a registry file (expected \"" + std::string(kHeader) + "\")");
            sawHeader = true;
            continue;
        }
        if (text.front() == '[') {
            if (text.back() != ']')
                parser.fail("expected ']'");
            std::string_view inner = std::string_view(text).substr(1, text.size() - 2);
            RegFileSection section;
            if (!inner.empty() && inner.front() == '-') {
                section.deleteKey = true;
                inner.remove_prefix(1);
            }
            auto key = parseKeyName(inner);
            if (!key)
                parser.fail("unknown root key in \"" + std::string(inner) + "\"");
            section.key = *key;
            sections.push_back(std::move(section));
            continue;
        }
        if (sections.empty() || sections.back().deleteKey) {
            parser.fail("value outside a key section");
        }
        sections.back().entries.push_back(parser.entry());
    }
    if (!sawHeader)
        throw RegFileError("not a registry file (empty)");
    return sections;
}

}  // namespace qmreg::tool
