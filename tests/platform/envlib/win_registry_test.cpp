// QmEnWinRegistry: one open key per object, typed reads that leave the caller's default alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qm/version.h"
#include "qmenv/environment.h"
#include "qmreg/registry.h"
#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"
#include "qmtest/temp_dir.h"

namespace {

using qmreg::Hive;
using qmreg::HiveId;
using qmreg::Value;
using qmreg::ValueType;

const std::string kKey = "SOFTWARE\\Brenvik\\Quillmont\\" QM_PRODUCT_VERSION "\\Base";

class WinRegistryTest : public qmtest::RelocatedTest {
protected:
    Hive& hkcu() { return Hive::forThread(HiveId::CurrentUser); }
};

TEST_F(WinRegistryTest, OpenKeyCreatesOnlyWhenAskedAndASecondOpenReplacesTheFirst) {
    QmEnWinRegistry reg;
    EXPECT_FALSE(reg.OpenKey(kQmEnHKeyCurrentUser, kKey, false));
    EXPECT_FALSE(hkcu().keyExists(kKey));
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, kKey, true));
    EXPECT_TRUE(hkcu().keyExists(kKey));
    ASSERT_TRUE(hkcu().createKey("B"));
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, "b", false));
    EXPECT_TRUE(reg.WriteLong("n", 5));
    EXPECT_FALSE(hkcu().getValue(kKey, "n"));
    EXPECT_TRUE(hkcu().getValue("B", "n"));

    // A failed second open leaves no key open.
    ASSERT_TRUE(hkcu().setValue("B", Value::string("Name", "first")));
    EXPECT_FALSE(reg.OpenKey(kQmEnHKeyCurrentUser, "B\\Missing", false));
    std::string out = "preset";
    EXPECT_FALSE(reg.ReadString("Name", out));
    EXPECT_EQ(out, "preset");
    EXPECT_FALSE(reg.WriteString("Name", "second"));
    EXPECT_EQ(hkcu().getValue("B", "Name")->asString(), "first");
}

// An open key stays with the store it was opened in, as a key handle does: a relocation, and
// the thread's connection being replaced because of it, change nothing for it until the object
// opens a key again. Writes follow the same rule.
TEST_F(WinRegistryTest, AnOpenKeyStaysWithTheStoreItWasOpenedIn) {
    ASSERT_TRUE(hkcu().createKey("K"));
    ASSERT_TRUE(hkcu().setValue("K", Value::string("Where", "first store")));
    QmEnWinRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, "K", false));

    qmtest::TempDir second;
    qmtest::ScopedEnv relocated("QM_REGISTRY_DIR", second.path());
    // Another open replaces the thread's connection with one to the second store.
    ASSERT_TRUE(hkcu().createKey("K"));
    ASSERT_TRUE(hkcu().setValue("K", Value::string("Where", "second store")));
    std::string out;
    for (int round = 0; round < 2; ++round) {
        out.clear();
        ASSERT_TRUE(reg.ReadString("Where", out));
        EXPECT_EQ(out, "first store");
    }
    EXPECT_TRUE(reg.WriteLong("n", 7));
    EXPECT_FALSE(hkcu().getValue("K", "n"));

    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, "K", false));
    ASSERT_TRUE(reg.ReadString("Where", out));
    EXPECT_EQ(out, "second store");
}

struct ReadCase {
    const char* label;
    Value stored;
    bool stringReads;
    bool longReads;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.label;
}

class TypedReadTest : public WinRegistryTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(TypedReadTest, ReadsSucceedOnlyForTheirTypeAndLeaveOutAloneOtherwise) {
    const auto& c = GetParam();
    ASSERT_TRUE(hkcu().createKey(kKey));
    ASSERT_TRUE(hkcu().setValue(kKey, c.stored));
    QmEnWinRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, kKey, false));

    std::string text = "preset";
    std::int32_t number = 12345;
    EXPECT_EQ(reg.ReadString("VALUE", text), c.stringReads);
    EXPECT_EQ(reg.ReadLong("value", number), c.longReads);
    EXPECT_EQ(text, c.stringReads ? c.stored.asString() : "preset");
    EXPECT_EQ(number, c.longReads ? static_cast<std::int32_t>(c.stored.asDword()) : 12345);
    EXPECT_FALSE(reg.ReadString("Absent", text));
    EXPECT_FALSE(reg.ReadLong("Absent", number));
}

INSTANTIATE_TEST_SUITE_P(
    Types, TypedReadTest,
    ::testing::Values(ReadCase{"String", Value::string("Value", "True"), true, false},
                      ReadCase{"ExpandString",
                               Value::string("Value", "%TEMP%", ValueType::ExpandSz), true, false},
                      ReadCase{"Dword", Value::dword("Value", 1), false, true},
                      ReadCase{"Binary", Value{"Value", ValueType::Binary, {1, 0, 0, 0}}, false,
                               false}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

TEST_F(WinRegistryTest, LongsAreSigned32BitDwords) {
    QmEnWinRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, kKey, true));
    ASSERT_TRUE(hkcu().setValue(kKey, Value::dword("AllOnes", 4294967295u)));
    std::int32_t out = 0;
    ASSERT_TRUE(reg.ReadLong("AllOnes", out));
    EXPECT_EQ(out, -1);

    EXPECT_TRUE(reg.WriteLong("Negative", -2));
    auto stored = hkcu().getValue(kKey, "Negative");
    EXPECT_EQ(stored->type, ValueType::Dword);
    EXPECT_EQ(stored->asDword(), 4294967294u);
}

TEST_F(WinRegistryTest, WritesReplaceValuesOfAnyTypeWithTheirOwnType) {
    ASSERT_TRUE(hkcu().createKey(kKey));
    ASSERT_TRUE(hkcu().setValue(kKey, Value{"Activated", ValueType::Binary, {1}}));
    ASSERT_TRUE(hkcu().setValue(kKey, Value::string("Count", "x")));
    QmEnWinRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kQmEnHKeyCurrentUser, kKey, false));
    EXPECT_TRUE(reg.WriteString("activated", "True"));
    EXPECT_TRUE(reg.WriteLong("COUNT", 3));

    auto activated = hkcu().getValue(kKey, "Activated");
    EXPECT_EQ(activated->name, "Activated");
    EXPECT_EQ(activated->type, ValueType::Sz);
    EXPECT_EQ(activated->asString(), "True");
    EXPECT_EQ(hkcu().getValue(kKey, "Count")->type, ValueType::Dword);
}

#if !defined(_WIN32)
// (Not on Windows: the damage is to the SQLite store's file, which the real registry has not.)
// A damaged store fails every operation; the problem goes to the report sink once, however
// often it recurs, and never to standard error (the library runs inside the host).
TEST_F(WinRegistryTest, DamagedStoreGivesFalseResultsAndIsReportedOnceToTheSink) {
    const std::string file = user_.registryDir() + "/hkcu.db";
    qmtest::writeFile(file, "definitely not a database, just some text that is long enough");
    std::vector<std::string> reported;
    QmEnSetReportSink([&reported](const std::string& message) { reported.push_back(message); });
    testing::internal::CaptureStderr();
    QmEnWinRegistry reg;
    EXPECT_FALSE(reg.OpenKey(kQmEnHKeyCurrentUser, kKey, true));
    EXPECT_NE(reg.LastError().find(file), std::string::npos) << reg.LastError();
    EXPECT_FALSE(QmEnWinRegistry().OpenKey(kQmEnHKeyCurrentUser, kKey, false));
    EXPECT_EQ(QmEnGetCurrentConfig(), "Default");
    const std::string standardError = testing::internal::GetCapturedStderr();
    QmEnSetReportSink({});
    EXPECT_EQ(standardError, "");
    EXPECT_EQ(reported, std::vector<std::string>{reg.LastError()});
}
#endif

}  // namespace
