#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qmsys/process.h"

namespace {

struct SplitCase {
    const char* label;
    std::string commandLine;
    std::vector<std::string> expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.label << ": " << c.commandLine;
}

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, FollowsCommandLineToArgvW) {
    EXPECT_EQ(qmsys::splitCommandLine(GetParam().commandLine), GetParam().expected);
}

// Backslashes are written doubled in these C++ literals; the comment shows the raw text.
INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"plain words", "prog a b", {"prog", "a", "b"}},
        SplitCase{"runs of blanks and tabs", "prog \t a  \tb  ", {"prog", "a", "b"}},
        // p "abc" d e
        SplitCase{"quotes group", "p \"abc\" d e", {"p", "abc", "d", "e"}},
        // p a\\\b d"e f"g h
        SplitCase{"backslashes without quote are literal",
                  "p a\\\\\\b d\"e f\"g h",
                  {"p", "a\\\\\\b", "de fg", "h"}},
        // p a\\\"b c d
        SplitCase{
            "odd backslashes escape the quote", "p a\\\\\\\"b c d", {"p", "a\\\"b", "c", "d"}},
        // p a\\\\"b c" d e
        SplitCase{"even backslashes halve and the quote groups",
                  "p a\\\\\\\\\"b c\" d e",
                  {"p", "a\\\\b c", "d", "e"}},
        // p "C:\dir\\" next
        SplitCase{"trailing backslashes before a closing quote",
                  "p \"C:\\dir\\\\\" next",
                  {"p", "C:\\dir\\", "next"}},
        SplitCase{"empty quoted argument is kept", "p \"\" x", {"p", "", "x"}},
        SplitCase{"doubled quote inside quotes is literal", "p \"a\"\"b\"", {"p", "a\"b"}},
        SplitCase{"unterminated quote runs to the end", "p \"a b", {"p", "a b"}},
        // "C:\Program Files\Tool\x.exe" -v
        SplitCase{"quoted program keeps backslashes",
                  "\"C:\\Program Files\\Tool\\x.exe\" -v",
                  {"C:\\Program Files\\Tool\\x.exe", "-v"}},
        // C:\dir\"x a: the program ends at the first blank, its quote is plain text
        SplitCase{
            "unquoted program takes quotes literally", "C:\\dir\\\"x a", {"C:\\dir\\\"x", "a"}},
        SplitCase{"program quote closes at the next quote",
                  "\"/opt/my app\"tail x",
                  {"/opt/my app", "tail", "x"}},
        SplitCase{"empty command line", "", {}}),
    [](const auto& testCase) { return "case" + std::to_string(testCase.index); });

// What joinCommandLine writes splits back into the same arguments: blanks, quotes, backslash
// runs before a quote and at the end, empty arguments, a program name with blanks.
TEST(JoinCommandLine, SplitsBackIntoTheSameArguments) {
    const std::vector<std::vector<std::string>> cases = {
        {"prog", "a", "b"},
        {"/opt/My Apps/tool", "two words", ""},
        {"prog", "a\"b", "tail\\", "mid\\dle", "\\\\\"", "\\\\ x\\\\"},
        {"prog", "\t", "\"\"", "\xC3\xA4 \xF0\x9F\x98\x80"},
        {""},
    };
    for (const auto& argv : cases) {
        const std::string line = qmsys::joinCommandLine(argv);
        EXPECT_EQ(qmsys::splitCommandLine(line), argv) << line;
    }
    // Plain arguments stay as they are; only what needs quotes gets them.
    EXPECT_EQ(qmsys::joinCommandLine({"prog", "a", "b\\c"}), "prog a b\\c");
    EXPECT_EQ(qmsys::joinCommandLine({"prog", "a b\\"}), "prog \"a b\\\\\"");
}

}  // namespace
