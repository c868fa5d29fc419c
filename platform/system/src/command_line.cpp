#include "command_line_p.h"
#include "qmsys/process.h"

namespace qmsys {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

// The program name as CommandLineToArgvW reads it: up to the closing quote when it starts
// with one (backslashes are plain characters there), otherwise up to the first blank.
// Returns the name; end receives the position after it (after the closing quote).
std::string readProgram(std::string_view text, std::size_t& end) {
    if (!text.empty() && text[0] == '"') {
        const std::size_t close = text.find('"', 1);
        end = close == std::string_view::npos ? text.size() : close + 1;
        return std::string(
            text.substr(1, (close == std::string_view::npos ? text.size() : close) - 1));
    }
    std::size_t pos = 0;
    while (pos < text.size() && !isBlank(text[pos])) {
        ++pos;
    }
    end = pos;
    return std::string(text.substr(0, pos));
}

}  // namespace

std::vector<std::string> splitArguments(std::string_view text) {
    std::vector<std::string> args;
    std::size_t pos = skipBlanks(text, 0);
    if (pos == text.size()) {
        return args;
    }
    std::string current;
    int quotes = 0;       // 1 while inside quotes; 2 briefly after a doubled quote
    int backslashes = 0;  // run of backslashes just copied into current
    while (pos < text.size()) {
        const char c = text[pos];
        if (isBlank(c) && quotes == 0) {
            args.push_back(std::move(current));
            current.clear();
            backslashes = 0;
            pos = skipBlanks(text, pos);
            if (pos == text.size()) {
                return args;
            }
        } else if (c == '\\') {
            current += c;
            ++backslashes;
            ++pos;
        } else if (c == '"') {
            // 2n backslashes: n of them stay and the quote groups; 2n+1: n stay and the quote
            // is literal.
            current.resize(current.size() - static_cast<std::size_t>(backslashes / 2));
            if (backslashes % 2 == 0) {
                ++quotes;
            } else {
                current.back() = '"';
            }
            ++pos;
            backslashes = 0;
            // Quotes that follow at once: every third one counts as a literal quote.
            while (pos < text.size() && text[pos] == '"') {
                if (++quotes == 3) {
                    current += '"';
                    quotes = 0;
                }
                ++pos;
            }
            if (quotes == 2) {
                quotes = 0;
            }
        } else {
            current += c;
            backslashes = 0;
            ++pos;
        }
    }
    args.push_back(std::move(current));
    return args;
}

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    if (commandLine.empty()) {
        return args;
    }
    std::size_t end = 0;
    args.push_back(readProgram(commandLine, end));
    for (auto& arg : splitArguments(std::string_view(commandLine).substr(end))) {
        args.push_back(std::move(arg));
    }
    return args;
}

namespace {

void appendQuoted(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes stay literal unless a quote follows: then each one is doubled, and the
        // quote escaped.
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');  // the closing quote must stay a quote
    line += '"';
}

}  // namespace

std::string joinCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        if (i == 0) {
            // The program name ends at its closing quote, with no escapes.
            const bool blank = argv[0].empty() || argv[0].find_first_of(" \t") != std::string::npos;
            line += blank ? '"' + argv[0] + '"' : argv[0];
        } else {
            line += ' ';
            appendQuoted(line, argv[i]);
        }
    }
    return line;
}

std::vector<ProgramReading> programReadings(std::string_view commandLine) {
    std::vector<ProgramReading> readings;
    const std::string_view text = commandLine.substr(skipBlanks(commandLine, 0));
    if (text.empty()) {
        return readings;
    }
    std::size_t end = 0;
    const std::string program = readProgram(text, end);
    if (text[0] == '"') {
        readings.push_back({program, splitArguments(text.substr(end))});
        return readings;
    }
    // Every blank up to the end of the line is a place where the program name may end.
    for (std::size_t pos = end; pos <= text.size(); ++pos) {
        const bool endsRun = !isBlank(text[pos - 1]) && (pos == text.size() || isBlank(text[pos]));
        if (endsRun) {
            readings.push_back(
                {std::string(text.substr(0, pos)), splitArguments(text.substr(pos))});
        }
    }
    return readings;
}

}  // namespace qmsys
