// The store as the loader and the environment library use it: in-process, on a private
// registry folder. (Every type of value surviving a round trip through other connections is
// checked with qmreg's export and import.)
#include <vector>

#include <gtest/gtest.h>

#include "qmreg/registry.h"
#include "qmtest/relocated_user.h"

namespace {

using qmreg::Hive;
using qmreg::HiveId;
using qmreg::Value;

class HiveTest : public qmtest::RelocatedTest {
protected:
    Hive& hkcu() { return Hive::forThread(HiveId::CurrentUser); }
    std::vector<std::string> valueNames(const std::string& key) {
        std::vector<std::string> names;
        for (const auto& v : hkcu().values(key))
            names.push_back(v.name);
        return names;
    }
};

TEST_F(HiveTest, NamesCompareWithoutCaseAndKeepTheCaseFirstWritten) {
    ASSERT_TRUE(hkcu().createKey("SOFTWARE\\Brenvik"));
    ASSERT_TRUE(hkcu().createKey("software\\BRENVIK\\Quillmont modules\\QM_BASE"));
    EXPECT_EQ(hkcu().canonicalKey("Software\\brenvik\\QUILLMONT MODULES\\qm_base"),
              "SOFTWARE\\Brenvik\\Quillmont modules\\QM_BASE");
    EXPECT_EQ(hkcu().subkeys("SOFTWARE"), std::vector<std::string>{"Brenvik"});

    const std::string key = "SOFTWARE\\Brenvik";
    ASSERT_TRUE(hkcu().setValue(key, Value::string("Activated", "False")));
    ASSERT_TRUE(hkcu().setValue("software\\brenvik", Value::string("ACTIVATED", "True")));
    EXPECT_EQ(valueNames(key), std::vector<std::string>{"Activated"});
    EXPECT_EQ(hkcu().getValue(key, "activated")->asString(), "True");
}

TEST_F(HiveTest, SubkeysAndValuesComeInCaseInsensitiveOrder) {
    for (const char* name : {"b", "A", "c", "_x"}) {
        ASSERT_TRUE(hkcu().createKey(std::string("K\\") + name));
        ASSERT_TRUE(hkcu().setValue("K", Value::dword(name, 1)));
    }
    // Letters fold to lower case, as _wcsicmp does, so '_' (0x5F) sorts before them.
    std::vector<std::string> expected{"_x", "A", "b", "c"};
    EXPECT_EQ(hkcu().subkeys("K"), expected);
    EXPECT_EQ(valueNames("K"), expected);
}

TEST_F(HiveTest, OperationsOnMissingKeysFail) {
    EXPECT_FALSE(hkcu().setValue("Missing", Value::dword("x", 1)));
    EXPECT_FALSE(hkcu().deleteValue("Missing", "x"));
    EXPECT_FALSE(hkcu().deleteKey("Missing", true));
    EXPECT_FALSE(hkcu().getValue("Missing", "x"));
    EXPECT_FALSE(hkcu().canonicalKey("Missing"));
    EXPECT_TRUE(hkcu().subkeys("Missing").empty());
    ASSERT_TRUE(hkcu().createKey("Present"));
    EXPECT_FALSE(hkcu().deleteValue("Present", "x"));
    EXPECT_FALSE(hkcu().deleteKey("", true)) << "the root key stays";
}

TEST_F(HiveTest, DeletingAKeyWithSubkeysNeedsRecursion) {
    ASSERT_TRUE(hkcu().createKey("Top\\Mid\\Leaf"));
    ASSERT_TRUE(hkcu().setValue("Top\\Mid\\Leaf", Value::dword("v", 7)));
    EXPECT_FALSE(hkcu().deleteKey("Top", false));
    EXPECT_TRUE(hkcu().keyExists("Top\\Mid\\Leaf"));

    EXPECT_TRUE(hkcu().deleteKey("top", true));
    EXPECT_FALSE(hkcu().keyExists("Top"));
    // A key created again under the same name starts empty.
    ASSERT_TRUE(hkcu().createKey("Top\\Mid\\Leaf"));
    EXPECT_TRUE(hkcu().values("Top\\Mid\\Leaf").empty());
    EXPECT_TRUE(hkcu().deleteKey("Top\\Mid\\Leaf", false));
}

TEST_F(HiveTest, NestedTransactionsCommitWithTheOutermostAndRollBackOnlyTheirOwnWrites) {
    ASSERT_TRUE(hkcu().createKey("T"));
    Hive observer(qmreg::hiveFile(HiveId::CurrentUser));
    {
        Hive::Transaction outer(hkcu());
        ASSERT_TRUE(hkcu().setValue("T", Value::dword("outer", 1)));
        {
            Hive::Transaction inner(hkcu());
            ASSERT_TRUE(hkcu().setValue("T", Value::dword("inner", 2)));
            inner.commit();
        }
        {
            Hive::Transaction dropped(hkcu());
            ASSERT_TRUE(hkcu().createKey("T\\Dropped"));
            ASSERT_TRUE(hkcu().setValue("T", Value::dword("dropped", 3)));
        }
        EXPECT_FALSE(observer.getValue("T", "inner")) << "inner commit joins the outer one";
        outer.commit();
    }
    EXPECT_TRUE(observer.getValue("T", "outer"));
    EXPECT_TRUE(observer.getValue("T", "inner"));
    EXPECT_FALSE(observer.getValue("T", "dropped"));
    EXPECT_FALSE(observer.keyExists("T\\Dropped"));
    {
        Hive::Transaction abandoned(hkcu());
        ASSERT_TRUE(hkcu().setValue("T", Value::dword("abandoned", 4)));
    }
    EXPECT_FALSE(hkcu().getValue("T", "abandoned"));
}

}  // namespace
