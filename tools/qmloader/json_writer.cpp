#include "json_writer.h"

#include <qmsys/text.h>

namespace qmloader {

// JSON is UTF-8 text. Bytes that are not (a path made in another encoding) become U+FFFD,
// rather than make the whole document unreadable.
std::string JsonWriter::escape(std::string_view text) {
    if (qmsys::isAscii(text)) {
        return qmsys::quoted(text, qmsys::ControlEscape::Unicode);
    }
    return qmsys::quoted(qmsys::utf16ToUtf8(qmsys::utf8ToUtf16(text)),
                         qmsys::ControlEscape::Unicode);
}

void JsonWriter::newLine() {
    out_ << '\n' << std::string(levels_.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!levels_.empty()) {
        if (!levels_.back().first) {
            out_ << ',';
        }
        levels_.back().first = false;
        newLine();
    }
}

void JsonWriter::beginObject() {
    beforeValue();
    out_ << '{';
    levels_.push_back({});
}

void JsonWriter::endObject() {
    const bool empty = levels_.back().first;
    levels_.pop_back();
    if (!empty) {
        newLine();
    }
    out_ << '}';
    if (levels_.empty()) {
        out_ << '\n';
    }
}

void JsonWriter::beginArray() {
    beforeValue();
    out_ << '[';
    levels_.push_back({});
}

void JsonWriter::endArray() {
    const bool empty = levels_.back().first;
    levels_.pop_back();
    if (!empty) {
        newLine();
    }
    out_ << ']';
    if (levels_.empty()) {
        out_ << '\n';
    }
}

void JsonWriter::key(std::string_view key) {
    beforeValue();
    out_ << escape(key) << ": ";
    afterKey_ = true;
}

void JsonWriter::string(std::string_view value) {
    beforeValue();
    out_ << escape(value);
}

void JsonWriter::number(std::int64_t value) {
    beforeValue();
    out_ << value;
}

void JsonWriter::boolean(bool value) {
    beforeValue();
    out_ << (value ? "true" : "false");
}

}  // namespace qmloader
