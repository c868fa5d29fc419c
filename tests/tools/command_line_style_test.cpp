// The three programs answer --help, --version and a bad option the same way: help and version
// on standard output with status 0, a bad option named on standard error with status 2.
#include <gtest/gtest.h>
#include <qmcli/option_parser.h>
#include <qmtest/child_process.h>
#include <qmtest/relocated_user.h>

#include <sstream>

#include "qm/version.h"

namespace {

struct Program {
    const char* name;
    const char* usagePrefix;  // how its help begins
};

void PrintTo(const Program& p, std::ostream* os) {
    *os << p.name;
}

class CommandLineStyleTest : public qmtest::RelocatedTest,
                             public ::testing::WithParamInterface<Program> {
protected:
    qmtest::ProcessResult run(std::vector<std::string> args) {
        args.insert(args.begin(), qmtest::program(GetParam().name));
        return qmtest::runProcess(args);
    }
};

TEST_P(CommandLineStyleTest, HelpVersionAndBadOptions) {
    const std::string name = GetParam().name;
    auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind(GetParam().usagePrefix, 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");

    auto version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, name + " " + QM_VERSION + "\n");
    EXPECT_EQ(version.err, "");

    auto bad = run({"--no-such-option"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--no-such-option"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.out, "");
}

INSTANTIATE_TEST_SUITE_P(Programs, CommandLineStyleTest,
                         ::testing::Values(Program{"cadhost", "usage: cadhost"},
                                           Program{"qmloader", "usage: qmloader"},
                                           Program{"qmreg", "Usage:"}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// The parser itself, on the forms the programs rely on.
struct ParseCase {
    const char* label;
    std::vector<std::string> args;
    int exitCode;        // -1: parsing goes on
    const char* err;     // expected in the error output
    const char* script;  // the value of --script when parsing goes on
    std::size_t arx;     // how many --arx values
    std::size_t free;    // positional arguments
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.label;
}

class OptionParserTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(OptionParserTest, ParsesOrRefusesWithStatusTwo) {
    const auto& c = GetParam();
    qmcli::OptionParser parser("prog", "prog [--script FILE]", "");
    parser.addValue("script", "FILE", "commands");
    parser.addValue("arx", "PATH", "more", true);
    parser.addFlag("profile", "report");
    std::ostringstream out, err;
    auto exitCode = parser.parse(c.args, out, err);
    EXPECT_EQ(exitCode.value_or(-1), c.exitCode) << err.str();
    EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
    if (exitCode)
        return;
    EXPECT_EQ(parser.value("script").value_or("<none>"), c.script);
    EXPECT_EQ(parser.values("arx").size(), c.arx);
    EXPECT_EQ(parser.positionals().size(), c.free);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionParserTest,
    ::testing::Values(
        ParseCase{"ValueSeparate", {"--script", "a.txt"}, -1, "", "a.txt", 0, 0},
        ParseCase{"ValueJoined", {"--script=b=c.txt"}, -1, "", "b=c.txt", 0, 0},
        ParseCase{"DashValue", {"--script", "-x"}, -1, "", "-x", 0, 0},
        ParseCase{"Repeatable", {"--arx", "a", "x", "--arx=b"}, -1, "", "<none>", 2, 1},
        ParseCase{"DoubleDashEndsOptions", {"--", "--profile", "-"}, -1, "", "<none>", 0, 2},
        ParseCase{"ShortHelp", {"-h", "--bogus"}, 0, "", "", 0, 0},
        ParseCase{"Unknown", {"--scrip", "a"}, 2, "unknown option '--scrip'", "", 0, 0},
        ParseCase{"UnknownShort", {"-x"}, 2, "unknown option '-x'", "", 0, 0},
        ParseCase{"MissingValue", {"--script"}, 2, "needs a value (FILE)", "", 0, 0},
        ParseCase{"GivenTwice", {"--script", "a", "--script", "b"}, 2, "given twice", "", 0, 0},
        ParseCase{"FlagWithValue", {"--profile=yes"}, 2, "takes no value", "", 0, 0}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

}  // namespace
