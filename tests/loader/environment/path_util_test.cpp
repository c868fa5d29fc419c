#include "environment/path_util.h"

#include <gtest/gtest.h>

namespace {

struct TidyCase {
    const char* in;
    const char* out;
};

// Test names must not depend on addresses, which differ from run to run.
void PrintTo(const TidyCase& c, std::ostream* os) {
    *os << '"' << c.in << '"';
}

class TidyTest : public ::testing::TestWithParam<TidyCase> {};

TEST_P(TidyTest, ReducesPairsAfterTheFirstTwoCharacters) {
    EXPECT_EQ(qm::path::tidy(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TidyTest,
    ::testing::Values(TidyCase{"/opt/app//Zadod/Modules", "/opt/app/Zadod/Modules"},
                      TidyCase{"//server/share//Zadod",
                               "//server/share/Zadod"},  // leading pair kept
                      TidyCase{"a///b", "a//b"},         // pairs taken left to right, no overlap
                      TidyCase{"a////b", "a///b"},       // the first two characters hold one
                      TidyCase{"x", "x"}, TidyCase{"", ""}, TidyCase{"///", "///"}));

TEST(FileTitleTest, CutsFolderAndLastExtension) {
    EXPECT_EQ(qm::path::fileTitle("/home/u/Menus/KRQM_Roads_enu.cuix"), "KRQM_Roads_enu");
    EXPECT_EQ(qm::path::fileTitle("archive.tar.gz"), "archive.tar");
    EXPECT_EQ(qm::path::fileTitle("plain"), "plain");
    EXPECT_EQ(qm::path::fileTitle("/dir.d/plain"), "plain");
}

TEST(AppendTest, JoinsWithOneSeparatorAndHonoursAbsoluteTails) {
    EXPECT_EQ(qm::path::append("/opt/app", "Zadod\\Modules"), "/opt/app/Zadod/Modules");
    EXPECT_EQ(qm::path::append("/opt/app/", "Base/Menus"), "/opt/app/Base/Menus");
    EXPECT_EQ(qm::path::append("/opt/app", "/abs/menus"), "/abs/menus");
    EXPECT_EQ(qm::path::append("/opt/app", ""), "/opt/app");
    EXPECT_EQ(qm::path::append("/opt/app", "\\abs\\menus"), "/abs/menus");
}

// A drive's path is absolute where there are drives; elsewhere it is a name like any other.
TEST(AppendTest, DrivePathsReplaceTheBaseOnlyOnWindows) {
    struct Case {
        const char* more;
        const char* windows;
        const char* posix;
    };
    for (const Case& c : {
             Case{"D:\\abs\\menus", "D:/abs/menus", "C:/app/D:/abs/menus"},
             Case{"d:/abs", "d:/abs", "C:/app/d:/abs"},
             Case{"D:relative", "C:/app/D:relative", "C:/app/D:relative"},
             Case{"1:/x", "C:/app/1:/x", "C:/app/1:/x"},
             Case{"D:", "C:/app/D:", "C:/app/D:"},
         }) {
#if defined(_WIN32)
        EXPECT_EQ(qm::path::append("C:/app", c.more), c.windows) << c.more;
#else
        EXPECT_EQ(qm::path::append("C:/app", c.more), c.posix) << c.more;
#endif
    }
}

}  // namespace
