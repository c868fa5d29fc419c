// The command-line splitter. Two properties:
//  - any text splits without failing, into a program name and arguments;
//  - arguments quoted the Windows way (and a program name in quotes) split back to
//    themselves: the input is read as a list of strings separated by NUL bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <qmsys/process.h>

namespace {

// The quoting that the splitting rules undo: quotes around an argument that is empty or holds
// a blank or a quote, backslashes doubled before a quote (and before the closing quote), a
// quote escaped with one backslash.
std::string quoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)qmsys::splitCommandLine(text);

    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\0') {
            args.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    // A program name cannot hold a quote: inside quotes it ends at the next one.
    std::string program;
    for (char c : args[0]) {
        if (c != '"') {
            program += c;
        }
    }
    args[0] = program;
    std::string line = "\"" + program + "\"";
    for (std::size_t i = 1; i < args.size(); ++i) {
        line += " " + quoteArgument(args[i]);
    }
    if (qmsys::splitCommandLine(line) != args) {
        std::abort();
    }
    return 0;
}
