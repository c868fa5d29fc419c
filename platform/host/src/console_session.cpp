#include "cadhost/console_session.h"

#include <istream>
#include <vector>

#include "cadhost/host.h"
#include "text_util.h"

namespace cadhost {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string withoutQuotes(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

std::string printed(const LispValue& value) {
    if (const int* number = std::get_if<int>(&value)) {
        return std::to_string(*number);
    }
    if (const std::string* text = std::get_if<std::string>(&value)) {
        return lispQuoted(*text);
    }
    return "nil";
}

}  // namespace

std::string lispQuoted(const std::string& text) {
    return qmsys::quoted(text, qmsys::ControlEscape::Octal);
}

bool ConsoleSession::execute(const std::string& line) {
    const std::string text = trim(line);
    if (!text.empty() && text.front() == '(') {
        callLisp(text);
    } else if (!text.empty()) {
        std::size_t end = 0;
        while (end < text.size() && !isBlank(text[end])) {
            ++end;
        }
        std::vector<std::string> words{text.substr(0, end)};
        const std::string argument = withoutQuotes(trim(std::string_view(text).substr(end)));
        if (!argument.empty()) {
            words.push_back(argument);
        }
        host_.runCommand(words);
    }
    return !host_.quitRequested();
}

void ConsoleSession::run(std::istream& input) {
    std::string line;
    while (std::getline(input, line)) {
        if (!execute(line)) {
            break;
        }
    }
}

void ConsoleSession::callLisp(const std::string& expression) {
    // "(NAME arg ...)": only the name matters; arguments are not evaluated.
    std::size_t begin = 1;
    while (begin < expression.size() && isBlank(expression[begin])) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < expression.size() && !isBlank(expression[end]) && expression[end] != '(' &&
           expression[end] != ')') {
        ++end;
    }
    const std::string name = expression.substr(begin, end - begin);
    if (name.empty()) {
        host_.print("nil\n");
        return;
    }
    const LispCallResult result = host_.callLisp(name);
    switch (result.outcome) {
        case LispCallResult::Outcome::Undefined:
            host_.print("; error: no function definition: " + asciiUpper(name) + "\n");
            break;
        case LispCallResult::Outcome::Failed:
            host_.print("; error: function failed: " + asciiUpper(name) + "\n");
            break;
        case LispCallResult::Outcome::Value:
            host_.print(printed(result.value) + "\n");
            break;
    }
}

}  // namespace cadhost
