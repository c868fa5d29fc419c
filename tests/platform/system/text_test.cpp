#include "qmsys/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

// Each comparison's order of pairs, both ways round.
struct OrderCase {
    const char* label;
    std::string a;
    std::string b;
    int expected;  // sign of compare(a, b)
};

struct OrderTable {
    const char* rule;
    int (*compare)(std::string_view, std::string_view);
    std::vector<OrderCase> cases;
};

TEST(TextOrder, EachComparisonOrdersItsPairsBothWays) {
    const OrderTable tables[] = {
        {"icompare, like _wcsicmp",
         qmsys::icompare,
         {{"ascii letters fold", "KRQM_Base", "krqm_base", 0},
          {"prefix first", "krqm", "KRQM_", -1},
          // _wcsicmp folds to lower case: '_' (0x5F) sorts before 'a' (0x61).
          {"underscore before letters", "_x", "Ax", -1},
          {"non-ascii not folded", "\xC3\xA9", "\xC3\x89", 1},  // é, É
          {"astral before private use", "\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},
          {"empty strings", "", "", 0}}},
        // The user's order, as a sorted list box has it: diacritics go with their base letter,
        // case is ignored. These hold for the fixed rule and for the locales Windows ships.
        {"collate",
         qmsys::collate,
         {{"O umlaut with O", "\xC3\x96sterreich", "Zulu", -1},
          {"u umlaut with u", "\xC3\xBCmlaut", "Zulu", -1},
          {"O umlaut after Oslo", "\xC3\x96sterreich", "Oslo", 1},
          {"u umlaut after Umbau", "\xC3\xBCmlaut", "Umbau", 1},
          {"case ignored", "ROADS", "roads", 0},
          {"case ignored beyond ASCII", "\xC3\x96L", "\xC3\xB6l", 0},
          {"plain before accented", "Arger", "\xC3\x84rger", -1},
          {"base letter decides first", "\xC3\x84rger", "Argus", -1},
          {"prefix first", "Ost", "\xC3\x96sterreich", -1},
          {"digits before letters", "9", "a", -1},
          {"symbols before digits", "_", "0", -1},
          {"other scripts after Latin", "\xCE\xA9mega", "Zulu", 1},  // Ωmega
          {"empty first", "", "a", -1}}},
        {"compareUtf16, by code units",
         qmsys::compareUtf16,
         {{"case matters", "a", "B", 1},
          {"equal", "Menu", "Menu", 0},
          // U+1F600 is D83D DE00 in UTF-16, so it sorts before U+E000 although its UTF-8
          // bytes (F0 ...) sort after (EE ...).
          {"U+1F600 before U+E000", "\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},
          {"U+10000 before U+FFFD", "x\xF0\x90\x80\x80", "x\xEF\xBF\xBD", -1},
          {"difference after shared lead byte", "\xEF\xBF\xBD", "\xEF\xBC\x81", 1},
          {"prefix before longer", "ab", "ab\xF0\x9F\x98\x80", -1}}},
    };
    for (const OrderTable& table : tables) {
        for (const OrderCase& c : table.cases) {
            SCOPED_TRACE(std::string(table.rule) + ": " + c.label);
            EXPECT_EQ(sign(table.compare(c.a, c.b)), c.expected);
            EXPECT_EQ(sign(table.compare(c.b, c.a)), -c.expected);
            // Sorts compare bytes where utf16OrderIsByteOrder vouches for both texts: it must
            // never vouch for a pair whose byte order differs from its UTF-16 order.
            if (table.compare == qmsys::compareUtf16 && qmsys::utf16OrderIsByteOrder(c.a) &&
                qmsys::utf16OrderIsByteOrder(c.b)) {
                EXPECT_EQ(sign(c.a.compare(c.b)), c.expected);
            }
        }
    }
}

TEST(CompareUtf16, ByteOrderIsVouchedForUpToU_D7FF) {
    const struct {
        std::string text;
        bool byteOrder;
    } cases[] = {
        {"", true},
        {"Road design", true},
        {"\xC3\xA9t\xC3\xA9", true},       // été
        {"x\xED\x9F\xBF", true},           // U+D7FF, the last below the surrogates
        {"\xED\xA0\x80", true},            // an encoded surrogate: malformed, byte order
        {"x\xEE\x80\x80", false},          // U+E000
        {"\xEF\xBF\xBD", false},           // U+FFFD
        {"\xF0\x9F\x98\x80 smile", false}  // U+1F600
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qmsys::utf16OrderIsByteOrder(c.text), c.byteOrder) << c.text;
    }
}

// Sorting names must give one order whatever order they come in, so every comparison is a
// total order over byte strings, UTF-8 or not: consistent in both directions and transitive.
TEST(CompareUtf16, OrderIsTotalAlsoForTextThatIsNotUtf8) {
    const std::vector<std::string> texts = {
        "a",
        "\x80",              // a stray continuation byte
        "\xC3\xA9",          // U+00E9
        "\xC3(",             // a lead byte without its continuation
        "\xED\xA0\x80",      // an encoded surrogate
        "\xEE\x80\x80",      // U+E000
        "\xEF\xFF",          // a lead byte of U+E000..U+FFFF, broken
        "\xEF\xBF\xBD",      // U+FFFD
        "\xF0\x90\x80\x80",  // U+10000
        "\xF0\x9F",          // a truncated four-byte character
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xFF",
    };
    for (const auto& compare : {qmsys::compareUtf16, qmsys::compareFileNames, qmsys::icompare}) {
        for (const std::string& a : texts) {
            for (const std::string& b : texts) {
                ASSERT_EQ(sign(compare(a, b)), -sign(compare(b, a))) << a << " " << b;
                ASSERT_EQ(compare(a, b) == 0, a == b) << a << " " << b;
                for (const std::string& c : texts) {
                    if (compare(a, b) < 0 && compare(b, c) < 0) {
                        ASSERT_LT(compare(a, c), 0) << a << " < " << b << " < " << c;
                    }
                }
            }
        }
    }
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
    EXPECT_EQ(qmsys::asciiUpper("@az[`AZ{\xC3\xA4"), "@AZ[`AZ{\xC3\xA4");
}

// A name folds byte by byte as asciiUpper folds ASCII, wherever the byte stands in it (names
// are folded eight bytes at a time), and a name that leaves ASCII part way is folded through
// the table from there on.
TEST(AsciiFolding, NamesFoldEveryAsciiByteAtEveryPlace) {
    for (const std::string& tail : {std::string(), std::string("\xC3\xA4x")}) {
        for (std::size_t length = 1; length <= 17; ++length) {
            for (std::size_t at = 0; at < length; ++at) {
                for (int b = 1; b < 0x80; ++b) {
                    std::string name(length, 'q');
                    name[at] = static_cast<char>(b);
                    std::string expected = qmsys::asciiUpper(name);
                    name += tail;
                    expected += tail.empty() ? "" : "\xC3\x84X";
                    ASSERT_EQ(qmsys::upcaseName(name), expected) << length << " " << at << " " << b;
                }
            }
        }
    }
}

// Lengths and cuts count UTF-16 code units: one per character up to U+FFFF, two above; a cut
// never splits a character, and text that fits is returned whole.
struct Utf16Case {
    const char* label;
    std::string text;
    std::size_t units;
    std::size_t limit;
    std::string cut;  // the longest prefix within limit units
};

void PrintTo(const Utf16Case& c, std::ostream* os) {
    *os << c.label;
}

class Utf16UnitsTest : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16UnitsTest, CountsAndCutsWholeCharacters) {
    const Utf16Case& c = GetParam();
    EXPECT_EQ(qmsys::utf16Length(c.text), c.units);
    EXPECT_EQ(qmsys::cutToUtf16Units(c.text, c.limit), c.cut);
    EXPECT_EQ(qmsys::cutToUtf16Units(c.text, c.units), c.text);
    EXPECT_EQ(qmsys::utf8ToUtf16(c.text).size(), c.units);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf16UnitsTest,
    ::testing::Values(Utf16Case{"ascii", "abcdef", 6, 4, "abcd"},
                      Utf16Case{"two-byte characters", "\xC3\xA4\xC3\xB6x", 3, 2,
                                "\xC3\xA4\xC3\xB6"},
                      Utf16Case{"three-byte character", "a\xE2\x82\xAC", 2, 1, "a"},
                      // U+1F600 needs a surrogate pair: one unit left is not enough for it.
                      Utf16Case{"surrogate pair not split", "ab\xF0\x9F\x98\x80", 4, 3, "ab"},
                      Utf16Case{"surrogate pair fits",
                                "a\xF0\x9F\x98\x80"
                                "b",
                                4, 3, "a\xF0\x9F\x98\x80"},
                      Utf16Case{"nothing fits", "\xF0\x9F\x98\x80", 2, 1, ""},
                      Utf16Case{"empty", "", 0, 0, ""}));

// UTF-8 and UTF-16 convert into each other without loss; what has no form in the other
// encoding becomes U+FFFD, one for each broken character.
TEST(Utf16Conversion, RoundTripsAndReplacesWhatIsBroken) {
    const std::string text = "A\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";  // A ä € U+1F600
    const std::u16string units = qmsys::utf8ToUtf16(text);
    EXPECT_EQ(units, (std::u16string{u'A', 0x00E4, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(qmsys::utf16ToUtf8(units), text);

    const std::string replacement = "\xEF\xBF\xBD";
    // A lead byte without its continuation, a stray continuation byte, an overlong '/', and
    // an encoded surrogate.
    EXPECT_EQ(qmsys::utf8ToUtf16("a\xC3z"), (std::u16string{u'a', 0xFFFD, u'z'}));
    EXPECT_EQ(qmsys::utf8ToUtf16("\x80z"), (std::u16string{0xFFFD, u'z'}));
    EXPECT_EQ(qmsys::utf8ToUtf16("\xC0\xAFz"), (std::u16string{0xFFFD, u'z'}));
    EXPECT_EQ(qmsys::utf8ToUtf16("\xED\xA0\x80z"), (std::u16string{0xFFFD, u'z'}));
    // Unpaired surrogates, lead and trail, and a pair in the wrong order.
    EXPECT_EQ(qmsys::utf16ToUtf8(std::u16string{0xD83D, u'x'}), replacement + "x");
    EXPECT_EQ(qmsys::utf16ToUtf8(std::u16string{0xDE00, 0xD83D}), replacement + replacement);
}

// Quoting escapes what ends or breaks a quoted string; control characters take the form the
// reader of the text expects, everything else (UTF-8 included) stays as it is.
TEST(Quoting, EscapesQuotesBackslashesAndControlCharacters) {
    const std::string text = std::string("a\"b\\c\n\r\t") + '\x01' + '\x1f' + " \xC3\xA4";
    EXPECT_EQ(qmsys::quoted(text, qmsys::ControlEscape::Octal),
              "\"a\\\"b\\\\c\\n\\r\\t\\001\\037 \xC3\xA4\"");
    EXPECT_EQ(qmsys::quoted(text, qmsys::ControlEscape::Unicode),
              "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f \xC3\xA4\"");
    EXPECT_EQ(qmsys::quoted("", qmsys::ControlEscape::Unicode), "\"\"");
}

}  // namespace
