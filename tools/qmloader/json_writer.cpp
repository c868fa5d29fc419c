#include "json_writer.h"

#include <qmsys/text.h>

namespace qmloader {

std::string JsonWriter::Escape(std::string_view text) {
    return qmsys::quoted(text, qmsys::ControlEscape::Unicode);
}

void JsonWriter::NewLine() {
    out_ << '\n' << std::string(levels_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!levels_.empty()) {
        if (!levels_.back().first) {
            out_ << ',';
        }
        levels_.back().first = false;
        NewLine();
    }
}

void JsonWriter::BeginObject() {
    BeforeValue();
    out_ << '{';
    levels_.push_back({});
}

void JsonWriter::EndObject() {
    const bool empty = levels_.back().first;
    levels_.pop_back();
    if (!empty) {
        NewLine();
    }
    out_ << '}';
    if (levels_.empty()) {
        out_ << '\n';
    }
}

void JsonWriter::BeginArray() {
    BeforeValue();
    out_ << '[';
    levels_.push_back({});
}

void JsonWriter::EndArray() {
    const bool empty = levels_.back().first;
    levels_.pop_back();
    if (!empty) {
        NewLine();
    }
    out_ << ']';
    if (levels_.empty()) {
        out_ << '\n';
    }
}

void JsonWriter::Key(std::string_view key) {
    BeforeValue();
    out_ << Escape(key) << ": ";
    afterKey_ = true;
}

void JsonWriter::String(std::string_view value) {
    BeforeValue();
    out_ << Escape(value);
}

void JsonWriter::Number(std::int64_t value) {
    BeforeValue();
    out_ << value;
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ << (value ? "true" : "false");
}

}  // namespace qmloader
