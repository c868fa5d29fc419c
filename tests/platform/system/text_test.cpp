#include "qmsys/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

struct OrderCase {
    const char* label;
    std::string a;
    std::string b;
    int expected;  // sign of compare(a, b)
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.label;
}

class IcompareTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(IcompareTest, OrdersLikeWcsicmp) {
    const OrderCase& c = GetParam();
    EXPECT_EQ(sign(qmsys::icompare(c.a, c.b)), c.expected);
    EXPECT_EQ(sign(qmsys::icompare(c.b, c.a)), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IcompareTest,
    ::testing::Values(OrderCase{"ascii letters fold", "KRQM_Base", "krqm_base", 0},
                      OrderCase{"prefix first", "krqm", "KRQM_", -1},
                      // _wcsicmp folds to lower case: '_' (0x5F) sorts before 'a' (0x61).
                      OrderCase{"underscore before letters", "_x", "Ax", -1},
                      OrderCase{"non-ascii not folded", "\xC3\xA9", "\xC3\x89", 1},  // é, É
                      OrderCase{"astral before private use", "\xF0\x9F\x98\x80", "\xEE\x80\x80",
                                -1},
                      OrderCase{"empty strings", "", "", 0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

class CompareUtf16Test : public ::testing::TestWithParam<OrderCase> {};

TEST_P(CompareUtf16Test, OrdersByCodeUnits) {
    const OrderCase& c = GetParam();
    EXPECT_EQ(sign(qmsys::compareUtf16(c.a, c.b)), c.expected);
    EXPECT_EQ(sign(qmsys::compareUtf16(c.b, c.a)), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareUtf16Test,
    ::testing::Values(OrderCase{"case matters", "a", "B", 1}, OrderCase{"equal", "Menu", "Menu", 0},
                      // U+1F600 is D83D DE00 in UTF-16, so it sorts before U+E000 although its
                      // UTF-8 bytes (F0 ...) sort after (EE ...).
                      OrderCase{"U+1F600 before U+E000", "\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},
                      OrderCase{"U+10000 before U+FFFD", "x\xF0\x90\x80\x80", "x\xEF\xBF\xBD", -1},
                      OrderCase{"difference after shared lead byte", "\xEF\xBF\xBD", "\xEF\xBC\x81",
                                1},
                      OrderCase{"prefix before longer", "ab", "ab\xF0\x9F\x98\x80", -1}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(CompareUtf16, MalformedTextStillOrdersConsistently) {
    const std::string broken = "a\xF0\x9F";  // truncated four-byte sequence
    const std::string valid = "a\xEE\x80\x80";
    EXPECT_EQ(sign(qmsys::compareUtf16(broken, valid)), -sign(qmsys::compareUtf16(valid, broken)));
    EXPECT_NE(qmsys::compareUtf16(broken, valid), 0);
}

// Folding touches exactly the 26 ASCII capitals: the neighbours '@', '[', '`' and '{' and
// every non-ASCII byte stay.
TEST(AsciiFolding, CoversExactlyAToZ) {
    EXPECT_EQ(qmsys::asciiLower("@AZ[`az{\xC3\x84"), "@az[`az{\xC3\x84");
    for (char c = 'A'; c <= 'Z'; ++c) {
        const std::string upper(1, c);
        const std::string lower(1, static_cast<char>(c + ('a' - 'A')));
        EXPECT_EQ(qmsys::asciiLower(upper), lower);
        EXPECT_EQ(qmsys::icompare(upper, lower), 0) << upper;
    }
    // Folded to lower case, '[' (0x5B) sorts before 'Z'; '@' stays before 'a'.
    EXPECT_LT(qmsys::icompare("[", "Z"), 0);
    EXPECT_LT(qmsys::icompare("@", "a"), 0);
}

}  // namespace
