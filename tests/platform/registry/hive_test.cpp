// The store as the loader and the environment library use it: in-process, on a private
// registry folder. (Every type of value surviving a round trip through other connections is
// checked with qmreg's export and import.)
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "qmreg/registry.h"
#include "qmtest/case_pairs.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"
#include "qmtest/temp_dir.h"
#if defined(_WIN32)
#include "qmtest/win32.h"
#endif

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

// Two spellings of a name and whether Windows takes them for one name: it upper-cases each
// UTF-16 code unit with the simple Unicode mapping.
struct NamePair {
    const char* label;
    const char* written;
    const char* asked;
    bool same;
    // Wine's registry, which is not Windows', takes these two names otherwise (see
    // registry_win32_test).
    bool wineDiffers = false;
};

void PrintTo(const NamePair& p, std::ostream* os) {
    *os << p.label;
}

// Source text is UTF-8, as registry names are in the store.
const NamePair kNamePairs[] = {
    {"AsciiLetters", "Quillmont", "qUILLMONT", true},
    {"LatinUmlaut", "TestÄb", "testäb", true},
    {"LatinAcute", "Café", "CAFÉ", true},
    {"Greek", "Ωmega", "ωMEGA", true},
    {"Cyrillic", "Журнал", "жУРНАЛ", true},
    {"DotlessIUpperCasesToI", "ıd", "ID", true, true},
    {"LongSUpperCasesToS", "ſet", "SET", true, true},
    {"TitlecaseDigraph", "ǅx", "ǆX", true, true},
    {"GreekWithIotaBySimpleMapping", "ᾳ", "ᾼ", true},
    {"FullwidthLatin", "ａ", "Ａ", true},
    {"SharpSIsNotDoubleS", "Straße", "STRASSE", false},
    {"SharpSIsNotSingleS", "Straße", "Strase", false},
    {"DottedCapitalIIsNotI", "İd", "id", false},
    {"KelvinSignIsNotK", "\u212A", "k", false},
    {"AccentsStayApart", "Cafe", "Café", false},
    {"OutsideThePlaneComparesAsIs", "𐐨", "𐐀", false},
};

class NameFoldingTest : public HiveTest, public ::testing::WithParamInterface<NamePair> {};

TEST_P(NameFoldingTest, KeysAndValuesMatchExactlyWhenWindowsWouldMatchThem) {
    const auto& p = GetParam();
#if defined(_WIN32)
    if (p.wineDiffers && qmtest::runningUnderWine())
        GTEST_SKIP() << "Wine's registry compares these names otherwise than Windows";
#endif
    const std::string written = std::string("Software\\") + p.written;
    const std::string asked = std::string("SOFTWARE\\") + p.asked;
    ASSERT_TRUE(hkcu().createKey(written));
    ASSERT_TRUE(hkcu().setValue(written, Value::dword(p.written, 1)));

    EXPECT_EQ(hkcu().keyExists(asked), p.same);
    EXPECT_EQ(hkcu().getValue(written, p.asked).has_value(), p.same);
    // Creating the other spelling opens the same key, which keeps its first spelling.
    ASSERT_TRUE(hkcu().createKey(asked));
    ASSERT_TRUE(hkcu().setValue(asked, Value::dword(p.asked, 2)));
    EXPECT_EQ(hkcu().subkeys("Software").size(), p.same ? 1u : 2u);
    EXPECT_EQ(hkcu().canonicalKey(asked), p.same ? written : "Software\\" + std::string(p.asked));
    EXPECT_EQ(valueNames(written).front(), p.written);
    EXPECT_EQ(hkcu().getValue(written, p.written)->asDword(), p.same ? 2u : 1u);

    EXPECT_TRUE(hkcu().deleteValue(asked, p.asked));
    EXPECT_EQ(hkcu().getValue(written, p.written).has_value(), !p.same);
    EXPECT_TRUE(hkcu().deleteKey(asked, true));
    EXPECT_EQ(hkcu().keyExists(written), !p.same);
}

INSTANTIATE_TEST_SUITE_P(Pairs, NameFoldingTest, ::testing::ValuesIn(kNamePairs),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

TEST_F(HiveTest, KeysNestAtMost512LevelsAndDeepTreesDelete) {
#if defined(_WIN32)
    // Windows' own limit counts from its real root, which a relocated hive lies below.
    if (!qmtest::runningUnderWine())
        GTEST_SKIP() << "the deepest keys of a relocated hive are beyond the registry's limit";
#endif
    std::string path = "Deep";
    for (std::size_t level = 2; level <= qmreg::kMaxKeyDepth; ++level)
        path += "\\L" + std::to_string(level);
    ASSERT_TRUE(hkcu().createKey(path));
    ASSERT_TRUE(hkcu().setValue(path, Value::dword("bottom", 1)));
    EXPECT_FALSE(hkcu().createKey(path + "\\TooDeep"));
    EXPECT_FALSE(hkcu().keyExists(path + "\\TooDeep"));
    ASSERT_TRUE(hkcu().createKey("Deeper"));

    EXPECT_TRUE(hkcu().deleteKey("deep", true));
    EXPECT_FALSE(hkcu().keyExists("Deep\\L2"));
    EXPECT_FALSE(hkcu().getValue(path, "bottom"));
    EXPECT_TRUE(hkcu().keyExists("Deeper")) << "a key that only begins like the tree stays";
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

// Whether a transaction scope can take its writes back. The real registry (Windows) has no
// transaction over many keys: there a scope only groups, and each write is seen at once and
// stays.
#if defined(_WIN32)
constexpr bool kScopesTakeWritesBack = false;
#else
constexpr bool kScopesTakeWritesBack = true;
#endif

TEST_F(HiveTest, NestedTransactionsCommitWithTheOutermostAndRollBackOnlyTheirOwnWrites) {
    constexpr bool undo = kScopesTakeWritesBack;
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
        EXPECT_EQ(observer.getValue("T", "inner").has_value(), !undo)
            << "an inner commit joins the outer one, where the store has transactions";
        outer.commit();
    }
    EXPECT_TRUE(observer.getValue("T", "outer"));
    EXPECT_TRUE(observer.getValue("T", "inner"));
    EXPECT_EQ(observer.getValue("T", "dropped").has_value(), !undo);
    EXPECT_EQ(observer.keyExists("T\\Dropped"), !undo);
    {
        Hive::Transaction abandoned(hkcu());
        ASSERT_TRUE(hkcu().setValue("T", Value::dword("abandoned", 4)));
    }
    EXPECT_EQ(hkcu().getValue("T", "abandoned").has_value(), !undo);
    // Scopes still nest and end on every system: writes after them go through.
    ASSERT_TRUE(hkcu().setValue("T", Value::dword("after", 5)));
    EXPECT_EQ(observer.getValue("T", "after")->asDword(), 5u);
}

// A key path with doubled, leading or trailing separators names the key of the tidy path, for
// writes and reads alike: written under one spelling, a value is read under every other, and no
// second key appears.
TEST_F(HiveTest, UntidySeparatorsNameTheTidyKey) {
    const char* const spellings[] = {"Software\\Twice", "Software\\\\Twice", "\\Software\\Twice",
                                     "Software\\Twice\\", "\\\\Software\\\\\\Twice\\\\"};
    for (const char* written : spellings) {
        for (const char* read : spellings) {
            SCOPED_TRACE(std::string(written) + " then " + read);
            ASSERT_TRUE(hkcu().createKey(written));
            ASSERT_TRUE(hkcu().setValue(written, Value::string("Value", written)));
            EXPECT_TRUE(hkcu().keyExists(read));
            for (const auto& value :
                 {hkcu().getValue(read, "Value"), hkcu().getValue(Hive::KeyPath(read), "Value")}) {
                EXPECT_EQ(value ? value->asString() : "(none)", written);
            }
            EXPECT_EQ(hkcu().subkeys(""), std::vector<std::string>{"Software"});
            EXPECT_EQ(hkcu().subkeys("Software"), std::vector<std::string>{"Twice"});
            EXPECT_EQ(valueNames(read), std::vector<std::string>{"Value"});
            ASSERT_TRUE(hkcu().deleteKey(read, true));
            EXPECT_FALSE(hkcu().keyExists("Software\\Twice"));
        }
    }
}

#if !defined(_WIN32)  // there the registry compares names itself
// Every run of the upper-case table, not a sample: a key and a value named with a run's
// capitals (Ł, Ś, Č, Ř and the like alternate with their small letters) are found under its
// small letters, and writing under those makes no second key.
TEST_F(HiveTest, EveryRunOfTheFoldingTableNamesOneKeyInEitherCase) {
    Hive::Transaction writes(hkcu());
    std::set<std::string> keys;  // a capital of two small letters (Σ of σ and ς) is one key
    for (const auto& [label, small, capital] : qmtest::upcaseTableRuns()) {
        SCOPED_TRACE(label + ": " + capital);
        ASSERT_TRUE(hkcu().createKey("Fold\\" + capital));
        ASSERT_TRUE(hkcu().setValue("Fold\\" + capital, Value::string(capital, "x")));
        EXPECT_TRUE(hkcu().keyExists("Fold\\" + small));
        EXPECT_TRUE(hkcu().getValue("Fold\\" + small, small).has_value());
        ASSERT_TRUE(hkcu().createKey("Fold\\" + small));
        ASSERT_TRUE(hkcu().setValue("Fold\\" + small, Value::string(small, "y")));
        EXPECT_EQ(hkcu().values("Fold\\" + capital).size(), 1u);
        keys.insert(capital);
        EXPECT_EQ(hkcu().subkeys("Fold").size(), keys.size());
    }
    writes.commit();
}
#endif

// A prefetched subtree answers every read exactly as the store would, inside and outside the
// subtree, and is dropped once the transaction ends or writes, so no read sees a stale copy.
TEST_F(HiveTest, PrefetchedReadsAnswerAsTheStoreDoes) {
    ASSERT_TRUE(hkcu().createKey("Mods\\QM_A\\Sub"));
    ASSERT_TRUE(hkcu().createKey("Mods\\qm_b"));
    ASSERT_TRUE(hkcu().createKey("Mods\\\u00c4rger"));
    ASSERT_TRUE(hkcu().createKey("ModsX\\QM_A"));
    ASSERT_TRUE(hkcu().setValue("Mods\\QM_A", Value::string("AutoStart", "True")));
    ASSERT_TRUE(hkcu().setValue("Mods\\QM_A", Value::dword("Major", 3)));
    ASSERT_TRUE(hkcu().setValue("Mods\\QM_A\\Sub", Value::string("", "default")));
    ASSERT_TRUE(hkcu().setValue("Mods\\\u00c4rger", Value::string("\u03a9", "omega")));
    ASSERT_TRUE(hkcu().setValue("Mods", Value::string("Own", "root")));
    ASSERT_TRUE(hkcu().setValue("ModsX\\QM_A", Value::string("AutoStart", "False")));
    const std::vector<std::pair<std::string, std::string>> probes{
        {"Mods", "own"},
        {"mods\\qm_a", "AUTOSTART"},
        {"Mods\\QM_A", "major"},
        {"Mods\\QM_A", "minor"},
        {"Mods\\QM_A\\sub", ""},
        {"MODS\\QM_B", "AutoStart"},
        {"Mods\\qm_c", "x"},
        {"Mods\\\u00e4RGER", "\u03c9"},
        {"ModsX\\qm_a", "AutoStart"},
        {"Mods\\QM_A\\", "major"},
        {"Other", "x"},
    };
    struct Answer {
        bool exists;
        bool hasValues;
        std::optional<Value> value;
        bool operator==(const Answer& o) const {
            return exists == o.exists && hasValues == o.hasValues &&
                   value.has_value() == o.value.has_value() &&
                   (!value || (value->name == o.value->name && value->type == o.value->type &&
                               value->data == o.value->data));
        }
    };
    const auto answers = [&] {
        std::vector<Answer> out;
        for (const auto& [key, name] : probes)
            out.push_back({hkcu().keyExists(key), hkcu().hasValues(Hive::KeyPath(key)),
                           hkcu().getValue(key, name)});
        return out;
    };
    const std::vector<Answer> plain = answers();
    ASSERT_TRUE(plain[1].value && plain[7].value && !plain[6].exists && plain[8].value);
    ASSERT_TRUE(plain[1].hasValues && plain[3].hasValues && !plain[5].hasValues &&
                !plain[6].hasValues && !plain[10].hasValues);
    Hive other(qmreg::hiveFile(HiveId::CurrentUser));
    {
        Hive::Transaction reads(hkcu(), Hive::Transaction::Kind::Reads);
        hkcu().prefetch("mods");
        EXPECT_TRUE(answers() == plain);
        reads.commit();
    }
    ASSERT_TRUE(other.setValue("Mods\\QM_A", Value::dword("Major", 4)));
    EXPECT_EQ(hkcu().getValue("Mods\\QM_A", "Major")->asDword(), 4u) << "dropped at the end";
    {
        Hive::Transaction writes(hkcu());
        hkcu().prefetch("Mods");
        ASSERT_TRUE(hkcu().setValue("Mods\\QM_A", Value::dword("Major", 5)));
        ASSERT_TRUE(hkcu().createKey("Mods\\QM_New"));
        EXPECT_EQ(hkcu().getValue("Mods\\QM_A", "Major")->asDword(), 5u) << "dropped by a write";
        EXPECT_TRUE(hkcu().keyExists("Mods\\QM_New"));
        writes.commit();
    }
    {
        // A key looked up in vain and then created answers as created.
        Hive::Transaction writes(hkcu());
        hkcu().prefetch("Mods");
        EXPECT_FALSE(hkcu().keyExists("Mods\\QM_Later"));
        ASSERT_TRUE(hkcu().createKey("Mods\\QM_Later\\Deep"));
        EXPECT_TRUE(hkcu().keyExists("Mods\\QM_Later"));
        EXPECT_TRUE(hkcu().keyExists("Mods\\QM_Later\\Deep"));
        writes.commit();
    }
    hkcu().prefetch("Mods");  // outside a transaction: nothing is kept
    ASSERT_TRUE(other.setValue("Mods\\QM_A", Value::dword("Major", 6)));
    EXPECT_EQ(hkcu().getValue("Mods\\QM_A", "Major")->asDword(), 6u);
}

// A subtree read ahead in one transaction never answers in the next one: after other
// connections' writes, this connection's own writes and rolled-back key creations, reads
// inside the next transaction match plain reads.
TEST_F(HiveTest, APrefetchEndsWithItsTransaction) {
    ASSERT_TRUE(hkcu().createKey("Mods\\QM_A"));
    ASSERT_TRUE(hkcu().createKey("Mods\\QM_B\\Sub"));
    ASSERT_TRUE(hkcu().setValue("Mods\\QM_A", Value::string("AutoStart", "True")));
    Hive other(qmreg::hiveFile(HiveId::CurrentUser));
    const std::vector<std::pair<std::string, std::function<void()>>> changes{
        {"nothing", [] {}},
        {"another connection sets a value",
         [&] { ASSERT_TRUE(other.setValue("Mods\\QM_A", Value::string("AutoStart", "No"))); }},
        {"another connection creates a key", [&] { ASSERT_TRUE(other.createKey("Mods\\QM_C")); }},
        {"another connection deletes a key",
         [&] { ASSERT_TRUE(other.deleteKey("Mods\\QM_B", true)); }},
        {"this connection creates keys",
         [&] {
             Hive::Transaction writes(hkcu());
             ASSERT_TRUE(hkcu().createKey("Mods\\QM_D\\Deep"));
             ASSERT_TRUE(hkcu().createKey("Mods\\QM_E"));
             writes.commit();
         }},
        {"this connection's key creation is rolled back",
         [&] {
             Hive::Transaction writes(hkcu());
             ASSERT_TRUE(hkcu().createKey("Mods\\QM_F"));
         }},
        {"this connection sets a value",
         [&] { ASSERT_TRUE(hkcu().setValue("Mods\\QM_E", Value::dword("Major", 2))); }},
        {"this connection deletes a value",
         [&] { ASSERT_TRUE(hkcu().deleteValue("Mods\\QM_A", "AutoStart")); }},
    };
    const std::vector<std::string> keys{"Mods",       "Mods\\QM_A", "Mods\\QM_B\\Sub",
                                        "Mods\\QM_C", "Mods\\QM_D", "Mods\\QM_D\\Deep",
                                        "Mods\\QM_E", "Mods\\QM_F"};
    const auto answers = [&] {
        std::vector<std::string> out;
        for (const std::string& key : keys) {
            const auto autoStart = hkcu().getValue(key, "AutoStart");
            const auto major = hkcu().getValue(key, "Major");
            out.push_back(std::string(hkcu().keyExists(key) ? "key" : "none") + " " +
                          (autoStart ? autoStart->asString() : "-") + " " +
                          (major ? std::to_string(major->asDword()) : "-"));
        }
        return out;
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        {
            Hive::Transaction reads(hkcu(), Hive::Transaction::Kind::Reads);
            hkcu().prefetch("Mods");
            reads.commit();
        }
        change();
        const std::vector<std::string> plain = answers();
        Hive::Transaction reads(hkcu(), Hive::Transaction::Kind::Reads);
        hkcu().prefetch("MODS");
        EXPECT_EQ(answers(), plain);
        reads.commit();
    }
}

// Reads of one key in turn, as a start-up makes them, follow every change other connections
// make to it meanwhile: values set and deleted, the key deleted and created again.
TEST_F(HiveTest, RepeatedReadsOfAKeyFollowOtherConnectionsChanges) {
    const std::string key = "Mods\\QM_A";
    const Hive::KeyPath path(key);
    Hive other(qmreg::hiveFile(HiveId::CurrentUser));
    const auto read = [&] {
        const auto value = hkcu().getValue(path, "AutoStart");
        return std::string(hkcu().keyExists(path) ? "key " : "none ") +
               (value ? value->asString() : "-");
    };
    const std::vector<std::pair<std::function<void()>, std::string>> steps{
        {[&] { ASSERT_TRUE(other.createKey(key)); }, "key -"},
        {[&] { ASSERT_TRUE(other.setValue(key, Value::string("AutoStart", "True"))); }, "key True"},
        {[&] {
             ASSERT_TRUE(other.setValue(key, Value::string("AutoStart", std::string(3000, 'x'))));
         },
         "key " + std::string(3000, 'x')},
        {[&] { ASSERT_TRUE(other.deleteValue(key, "AutoStart")); }, "key -"},
        {[&] { ASSERT_TRUE(other.setValue(key, Value::string("AutoStart", "Old"))); }, "key Old"},
        {[&] { ASSERT_TRUE(other.deleteKey("Mods", true)); }, "none -"},
        {[&] {
             ASSERT_TRUE(other.createKey(key));
             ASSERT_TRUE(other.setValue(key, Value::string("AutoStart", "New")));
         },
         "key New"},
    };
    EXPECT_EQ(read(), "none -");
    for (const auto& [change, expected] : steps) {
        change();
        EXPECT_EQ(hkcu().getValue(path, "AutoStart").has_value(), expected.back() != '-');
        EXPECT_EQ(read(), expected);
    }
    // The key deleted and created again between two reads of a value, with no other read between.
    ASSERT_TRUE(other.deleteKey(key, true));
    ASSERT_TRUE(other.createKey(key));
    ASSERT_TRUE(other.setValue(key, Value::string("AutoStart", "Newer")));
    EXPECT_EQ(hkcu().getValue(path, "AutoStart")->asString(), "Newer");
}

// A relocation made while the thread's connection is inside a transaction applies once the
// transaction ends: the transaction's writes and reads stay on one hive.
TEST_F(HiveTest, ATransactionKeepsItsConnectionAcrossARelocation) {
    const std::shared_ptr<Hive> first = Hive::sharedForThread(HiveId::CurrentUser);
    const qmtest::TempDir other;
    {
        Hive::Transaction writes(*first);
        const qmtest::ScopedEnv relocated("QM_REGISTRY_DIR", other.path());
        EXPECT_EQ(Hive::sharedForThread(HiveId::CurrentUser), first);
        writes.commit();
        EXPECT_NE(Hive::sharedForThread(HiveId::CurrentUser), first);
        EXPECT_EQ(hkcu().file(), qmreg::hiveFile(HiveId::CurrentUser));
    }
    EXPECT_EQ(hkcu().file(), first->file()) << "back with the relocation of before";
    qmreg::deleteRelocatedHives(other.path());
}

// Keys created after their parent was deleted, in the same transaction or by another
// connection, are created with a new parent.
TEST_F(HiveTest, KeysCreatedAfterTheirParentWentAreCreatedWithIt) {
    {
        Hive::Transaction writes(hkcu());
        ASSERT_TRUE(hkcu().createKey("P\\A"));
        ASSERT_TRUE(hkcu().deleteKey("P", true));
        ASSERT_TRUE(hkcu().createKey("P\\B"));
        writes.commit();
    }
    EXPECT_EQ(hkcu().subkeys("P"), std::vector<std::string>{"B"});
    Hive other(qmreg::hiveFile(HiveId::CurrentUser));
    ASSERT_TRUE(hkcu().createKey("Q\\A"));
    ASSERT_TRUE(other.deleteKey("Q", true));
    ASSERT_TRUE(hkcu().createKey("Q\\B"));
    EXPECT_EQ(hkcu().subkeys("Q"), std::vector<std::string>{"B"});
}

// Misuse the registry's interface states as a precondition stops at an assert in the builds
// that keep them (dev and ci): a connection used from a thread other than the one that opened
// it, a write inside a Reads transaction, and a value read as a type it is not.
// The connection's counters, which hold a whole operation to its budget: what each pattern
// of calls costs in transactions, reads that reach the store (per key) and reads answered from
// a prefetched copy, the same on both systems.
struct StatsCase {
    const char* name;
    std::function<void(Hive&)> calls;
    std::uint32_t transactions;
    std::uint32_t modulesKeyReads;  // of "SOFTWARE\\Brenvik\\Modules"
    std::uint32_t cachedReads;
    std::uint32_t writes;
};

const StatsCase kStatsCases[] = {
    {"EachReadOutsideATransactionIsOne",
     [](Hive& h) {
         h.keyExists("SOFTWARE\\Brenvik\\Modules");
         h.getValue("SOFTWARE\\brenvik\\MODULES", "A");
     },
     2, 2, 0, 0},
    {"ReadsInsideOneTransactionShareIt",
     [](Hive& h) {
         Hive::Transaction reads(h, Hive::Transaction::Kind::Reads);
         h.keyExists("SOFTWARE\\Brenvik\\Modules");
         h.getValue("SOFTWARE\\Brenvik\\Modules", "A");
         reads.commit();
     },
     1, 2, 0, 0},
    {"APrefetchReadsEachKeyOnceAndAnswersTheRest",
     [](Hive& h) {
         Hive::Transaction reads(h, Hive::Transaction::Kind::Reads);
         h.prefetch("SOFTWARE\\Brenvik");
         h.keyExists("SOFTWARE\\Brenvik\\Modules");
         h.getValue("SOFTWARE\\Brenvik\\Modules", "A");
         h.getValue("SOFTWARE\\Brenvik\\Modules\\Missing", "A");
         reads.commit();
     },
     1, 1, 3, 0},
    {"APrefetchReadsNoNeighbourOfItsKey",
     [](Hive& h) {
         // "MODULES" sorts between "MODUL" and "MODUL\", the range the prefetch reads.
         Hive::Transaction reads(h, Hive::Transaction::Kind::Reads);
         h.prefetch("SOFTWARE\\Brenvik\\Modul");
         h.getValue("SOFTWARE\\Brenvik\\Modules", "A");
         reads.commit();
     },
     1, 1, 0, 0},
    {"WritesOutsideATransactionEachBeginOne",
     [](Hive& h) {
         h.setValue("SOFTWARE\\Brenvik\\Modules", Value::string("B", "x"));
         h.createKey("SOFTWARE\\Brenvik\\Other");
     },
     2, 0, 0, 2},
    {"NestedTransactionsCountOnce",
     [](Hive& h) {
         Hive::Transaction outer(h);
         {
             Hive::Transaction inner(h);
             h.setValue("SOFTWARE\\Brenvik\\Modules", Value::string("B", "x"));
             inner.commit();
         }
         outer.commit();
     },
     1, 0, 0, 1},
};

class HiveStatsTest : public HiveTest, public ::testing::WithParamInterface<StatsCase> {};

TEST_P(HiveStatsTest, CountsWhatReachesTheStore) {
    ASSERT_TRUE(hkcu().createKey("SOFTWARE\\Brenvik\\Modules"));
    ASSERT_TRUE(hkcu().setValue("SOFTWARE\\Brenvik\\Modules", Value::string("A", "a")));
    hkcu().resetStats();
    GetParam().calls(hkcu());
    const Hive::Stats& stats = hkcu().stats();
    EXPECT_EQ(stats.transactions, GetParam().transactions);
    EXPECT_EQ(hkcu().keyReads("software\\BRENVIK\\modules\\"), GetParam().modulesKeyReads);
    EXPECT_EQ(stats.cachedReads, GetParam().cachedReads);
    EXPECT_EQ(stats.writes, GetParam().writes);
}

INSTANTIATE_TEST_SUITE_P(Calls, HiveStatsTest, ::testing::ValuesIn(kStatsCases),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

struct MisuseCase {
    const char* label;
    std::function<void(Hive&)> misuse;
    const char* message;
};

void PrintTo(const MisuseCase& c, std::ostream* os) {
    *os << c.label;
}

class HiveMisuseTest : public HiveTest, public ::testing::WithParamInterface<MisuseCase> {};

TEST_P(HiveMisuseTest, StopsAtItsAssert) {
#ifdef NDEBUG
    GTEST_SKIP() << "asserts are off in this build";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Hive& hive = hkcu();
    ASSERT_TRUE(hive.createKey("K"));
    ASSERT_TRUE(hive.setValue("K", Value::string("S", "text")));
    EXPECT_DEATH(GetParam().misuse(hive), GetParam().message);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HiveMisuseTest,
    ::testing::Values(
        MisuseCase{"ReadOnAnotherThread",
                   [](Hive& h) { std::thread([&h] { h.getValue("K", "S"); }).join(); },
                   "a connection belongs to one thread"},
        MisuseCase{"TransactionOnAnotherThread",
                   [](Hive& h) { std::thread([&h] { Hive::Transaction misplaced(h); }).join(); },
                   "a connection belongs to one thread"},
        MisuseCase{"WriteInsideReads",
                   [](Hive& h) {
                       Hive::Transaction reads(h, Hive::Transaction::Kind::Reads);
                       h.setValue("K", Value::dword("D", 1));
                   },
                   "nothing is written inside a Reads transaction"},
        MisuseCase{"StringReadAsDword", [](Hive& h) { (void)h.getValue("K", "S")->asDword(); },
                   "asDword of a value that is no DWORD"},
        MisuseCase{"DwordReadAsString", [](Hive&) { (void)Value::dword("D", 1).asString(); },
                   "asString of a value that holds no string"},
        MisuseCase{"DwordReadAsQword", [](Hive&) { (void)Value::dword("D", 1).asQword(); },
                   "asQword of a value that is no QWORD"}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

}  // namespace
