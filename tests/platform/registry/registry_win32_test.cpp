// The hives against the real registry, reached here through advapi32 directly: which names it
// takes for one, and where a relocated hive's keys really land.
#include "qmtest/win32.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <sddl.h>

#include <gtest/gtest.h>

#include "qmreg/registry.h"
#include "qmsys/text.h"
#include "qmtest/child_process.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"

namespace {

using qmreg::Hive;
using qmreg::HiveId;
using qmreg::Value;
using namespace std::string_view_literals;

using qmtest::wide;

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_)
            ::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The key below HKEY_CURRENT_USER that a hive name of hiveFile() stands for.
std::string belowCurrentUser(const std::string& hiveName) {
    const std::string prefix = "HKEY_CURRENT_USER\\";
    EXPECT_EQ(hiveName.substr(0, prefix.size()), prefix) << hiveName;
    return hiveName.substr(prefix.size());
}

LSTATUS createKey(HKEY parent, const std::string& path, Key& key) {
    return ::RegCreateKeyExW(parent, wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
}

bool keyExists(HKEY parent, const std::string& path) {
    Key key;
    return ::RegOpenKeyExW(parent, wide(path).c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

std::optional<DWORD> dwordValue(HKEY parent, const std::string& path, const std::string& name) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegGetValueW(parent, wide(path).c_str(), wide(name).c_str(), RRF_RT_REG_DWORD, nullptr,
                       &data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return data;
}

std::vector<std::string> subkeyNames(HKEY parent, const std::string& path) {
    std::vector<std::string> names;
    Key key;
    if (::RegOpenKeyExW(parent, wide(path).c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.push_back(qmsys::utf16ToUtf8(std::u16string(name, name + length)));
    }
    return names;
}

// Two spellings of a name. qmsys folds them to one name exactly when their upcaseName forms
// are equal (what the Linux store compares); the registry's answer is expected to be the same,
// except where wine says Wine's registry answers otherwise.
struct NamePair {
    const char* label;
    const char* written;
    const char* asked;
    const char* wine = nullptr;  // why Wine's registry differs from Windows here, if it does
};

void PrintTo(const NamePair& p, std::ostream* os) {
    *os << p.label;
}

// Wine's registry compares names lower-cased rather than upper-cased: letters whose upper case is
// shared but whose lower cases differ stay two names there (ς and σ, µ and μ, ı and i, ſ and s).
constexpr const char* kWineLowerCases = "Wine's registry lower-cases names to compare them";
// Nor does Wine's registry fold the titlecase digraphs (ǅ), which Windows upper-cases to Ǆ.
constexpr const char* kWineTitlecase = "Wine's registry leaves titlecase letters as they are";

const NamePair kNamePairs[] = {
    {"Ascii", "Quillmont", "qUILLMONT"},
    {"AsciiPunctuationIsNotLetters", "A[B", "a{b"},
    {"LatinUmlaut", "Ä", "ä"},
    {"LatinYDiaeresis", "ÿ", "Ÿ"},
    {"GreekOmega", "Ω", "ω"},
    {"GreekFinalSigmaAndSigma", "ς", "σ", kWineLowerCases},
    {"GreekFinalSigmaAndCapital", "ς", "Σ", kWineLowerCases},
    {"MicroSignAndMu", "µ", "Μ", kWineLowerCases},
    {"Cyrillic", "Журнал", "жУРНАЛ"},
    {"SharpSAndDoubleS", "ß", "SS"},
    {"SharpSAndCapitalSharpS", "ß", "ẞ"},
    {"TitlecaseAndCapitalDz", "ǅ", "Ǆ", kWineTitlecase},
    {"TitlecaseAndSmallDz", "ǅ", "ǆ", kWineTitlecase},
    {"SmallAndCapitalDz", "ǆ", "Ǆ"},
    {"DottedCapitalIAndI", "İ", "i"},
    {"DotlessIAndI", "ı", "I", kWineLowerCases},
    {"LongSAndS", "ſ", "S", kWineLowerCases},
    {"KelvinSignAndK", "\u212A", "k"},
    {"AngstromSignAndARing", "\u212B", "å"},
    {"GreekIotaSubscript", "ᾳ", "ᾼ"},
    {"FullwidthLatin", "ａ", "Ａ"},
    {"Georgian", "ა", "Ა"},
    {"Cherokee", "ꭰ", "Ꭰ"},
    {"AboveTheBasicPlane", "𐐨", "𐐀"},
    {"AccentsStayApart", "Cafe", "Café"},
};

class RegistryNameFoldingTest : public qmtest::RelocatedTest,
                                public ::testing::WithParamInterface<NamePair> {};

// The key and value are made by the registry's own functions under one spelling and looked up
// under the other; the answer is compared with qmsys's folding.
TEST_P(RegistryNameFoldingTest, RegistryTakesNamesForOneAsQmsysFoldsThem) {
    const NamePair& p = GetParam();
    const bool qmsysSame = qmsys::upcaseName(p.written) == qmsys::upcaseName(p.asked);
    ASSERT_TRUE(Hive::forThread(HiveId::CurrentUser).createKey("Names"));
    const std::string root = belowCurrentUser(qmreg::hiveFile(HiveId::CurrentUser)) + "\\Names";
    Key written;
    ASSERT_EQ(createKey(HKEY_CURRENT_USER, root + "\\" + p.written, written), ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(::RegSetValueExW(written.get(), wide(p.written).c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&one), sizeof one),
              ERROR_SUCCESS);

    const bool keySame = keyExists(HKEY_CURRENT_USER, root + "\\" + p.asked);
    const bool valueSame = dwordValue(HKEY_CURRENT_USER, root + "\\" + p.written, p.asked) == 1u;
    EXPECT_EQ(keySame, valueSame) << "keys and values fold alike";
    const bool expected = p.wine && qmtest::runningUnderWine() ? !qmsysSame : qmsysSame;
    EXPECT_EQ(keySame, expected) << "qmsys folds them to " << (qmsysSame ? "one name" : "two names")
                                 << (p.wine && qmtest::runningUnderWine()
                                         ? std::string("; Wine: ") + p.wine
                                         : "");
    // And the hive, which leaves the comparing to the registry, agrees with it.
    Hive& hive = Hive::forThread(HiveId::CurrentUser);
    EXPECT_EQ(hive.keyExists(std::string("Names\\") + p.asked), keySame);
    EXPECT_EQ(hive.getValue(std::string("Names\\") + p.written, p.asked).has_value(), valueSame);
}

INSTANTIATE_TEST_SUITE_P(Pairs, RegistryNameFoldingTest, ::testing::ValuesIn(kNamePairs),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// Raw registry data as little-endian UTF-16 of text (which may hold NULs).
std::vector<std::uint8_t> utf16le(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

// A value as the hive gives it, and its data as Windows programs store it.
struct StoredData {
    const char* label;
    Value value;
    std::vector<std::uint8_t> raw;
};

void PrintTo(const StoredData& d, std::ostream* os) {
    *os << d.label;
}

const StoredData kStoredData[] = {
    {"Sz", Value::string("S", "Grüße"), utf16le(u"Grüße\0"sv)},
    {"EmptySz", Value::string("S", ""), utf16le(u"\0"sv)},
    {"SzAboveTheBasicPlane", Value::string("S", "\xF0\x9F\x98\x80"), utf16le(u"\U0001F600\0"sv)},
    {"ExpandSz", Value::string("E", "%TEMP%\\ä", qmreg::ValueType::ExpandSz),
     utf16le(u"%TEMP%\\ä\0"sv)},
    {"MultiSz", Value::multiString("M", {"a", "Ω"}), utf16le(u"a\0Ω\0\0"sv)},
    {"EmptyMultiSz", Value::multiString("M", {}), utf16le(u"\0"sv)},
    {"Dword", Value::dword("D", 0x01020304), {4, 3, 2, 1}},
    {"Binary", Value{"B", qmreg::ValueType::Binary, {0, 0xff, 0}}, {0, 0xff, 0}},
};

class RegistryDataTest : public qmtest::RelocatedTest,
                         public ::testing::WithParamInterface<StoredData> {
protected:
    std::string root() const { return belowCurrentUser(qmreg::hiveFile(HiveId::CurrentUser)); }
};

// Other programs read what the hive writes, and the hive reads what they write: strings as
// UTF-16 with their terminators, other data as it is.
TEST_P(RegistryDataTest, DataIsStoredAsWindowsProgramsStoreIt) {
    const StoredData& d = GetParam();
    Hive& hive = Hive::forThread(HiveId::CurrentUser);
    ASSERT_TRUE(hive.createKey("Data"));
    ASSERT_TRUE(hive.setValue("Data", d.value));
    Key key;
    ASSERT_EQ(createKey(HKEY_CURRENT_USER, root() + "\\Data", key), ERROR_SUCCESS);
    std::vector<std::uint8_t> raw(256);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(raw.size());
    ASSERT_EQ(::RegQueryValueExW(key.get(), wide(d.value.name).c_str(), nullptr, &type, raw.data(),
                                 &size),
              ERROR_SUCCESS);
    raw.resize(size);
    EXPECT_EQ(type, static_cast<DWORD>(d.value.type));
    EXPECT_EQ(raw, d.raw);

    ASSERT_EQ(::RegSetValueExW(key.get(), L"Raw", 0, type, d.raw.data(),
                               static_cast<DWORD>(d.raw.size())),
              ERROR_SUCCESS);
    const auto read = hive.getValue("Data", "Raw");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->type, d.value.type);
    EXPECT_EQ(read->data, d.value.data);
}

INSTANTIATE_TEST_SUITE_P(Values, RegistryDataTest, ::testing::ValuesIn(kStoredData),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// The root key each relocation folder gives: one key per folder as Windows names folders (either
// separator, any letter case, a trailing separator or none), within a key name's length.
TEST(RegistryRelocationTest, EachFolderHasItsOwnRootKey) {
    const std::string base = "HKEY_CURRENT_USER\\Software\\Quillmont\\Relocated\\";
    const std::string longFolder = "C:\\" + std::string(300, 'x');
    const auto rootFor = [](std::optional<std::string> dir, HiveId hive) {
        qmtest::ScopedEnv env("QM_REGISTRY_DIR", std::move(dir));
        return qmreg::hiveFile(hive);
    };
    EXPECT_EQ(rootFor(std::nullopt, HiveId::CurrentUser), "HKEY_CURRENT_USER");
    EXPECT_EQ(rootFor(std::nullopt, HiveId::LocalMachine), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(rootFor("", HiveId::CurrentUser), "HKEY_CURRENT_USER");
    EXPECT_EQ(rootFor("C:\\tests\\Reg", HiveId::CurrentUser), base + "C:/tests/Reg\\CurrentUser");
    EXPECT_EQ(rootFor("C:/tests/Reg/", HiveId::LocalMachine), base + "C:/tests/Reg\\LocalMachine");
    EXPECT_EQ(rootFor("C:\\tests\\Reg\\\\", HiveId::CurrentUser),
              base + "C:/tests/Reg\\CurrentUser");

    const std::string longRoot = rootFor(longFolder, HiveId::CurrentUser);
    const std::string longName = longRoot.substr(
        base.size(), longRoot.size() - base.size() - std::string("\\CurrentUser").size());
    EXPECT_EQ(qmsys::utf16Length(longName), 255u) << longName;
    EXPECT_EQ(longName.substr(0, 20), "C:/" + std::string(17, 'x'));
    EXPECT_EQ(longName[255 - 17], '~');
    // Another spelling of the same folder gives the same key (which the registry finds whatever
    // the case of the name), another folder another.
    std::string otherCase = longFolder;
    otherCase[0] = 'c';
    otherCase.back() = 'X';
    EXPECT_EQ(qmsys::upcaseName(rootFor(otherCase, HiveId::CurrentUser)),
              qmsys::upcaseName(longRoot));
    EXPECT_NE(rootFor(longFolder + "y", HiveId::CurrentUser), longRoot);

    // The registry takes the key name as it is.
    qmtest::RelocatedUser user;
    qmtest::ScopedEnv env("QM_REGISTRY_DIR", longFolder);
    ASSERT_TRUE(Hive::forThread(HiveId::CurrentUser).createKey("Software\\Long"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, belowCurrentUser(longRoot) + "\\Software\\Long"));
    qmreg::deleteRelocatedHives(longFolder);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, belowCurrentUser(longRoot)));
}

class RegistryRelocationUserTest : public qmtest::RelocatedTest {};

// With HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE overridden by scratch keys, every write of the
// hives is seen to land in one of them, under the key its relocation names, and nowhere else.
TEST_F(RegistryRelocationUserTest, HivesWriteOnlyWhereTheirRelocationSays) {
    const std::string own = belowCurrentUser(qmreg::hiveFile(HiveId::CurrentUser));
    const std::string parent = own.substr(0, own.rfind('\\'));
    Key user;
    Key machine;
    ASSERT_EQ(createKey(HKEY_CURRENT_USER, parent + "\\ScratchUser", user), ERROR_SUCCESS);
    ASSERT_EQ(createKey(HKEY_CURRENT_USER, parent + "\\ScratchMachine", machine), ERROR_SUCCESS);
    const std::string probeDir = "C:\\relocation probe\\" + parent.substr(parent.rfind('\\') + 1);
    std::string relocatedUser;
    std::string relocatedMachine;
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, user.get()), ERROR_SUCCESS);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.get()), ERROR_SUCCESS);
    {
        qmtest::ScopedEnv unset("QM_REGISTRY_DIR", std::nullopt);
        Hive hkcu(qmreg::hiveFile(HiveId::CurrentUser));
        Hive hklm(qmreg::hiveFile(HiveId::LocalMachine));
        EXPECT_TRUE(hkcu.createKey("Software\\Brenvik\\Probe") &&
                    hkcu.setValue("Software\\Brenvik\\Probe", Value::dword("Own", 1)));
        EXPECT_TRUE(hklm.createKey("Software\\Brenvik\\Probe") &&
                    hklm.setValue("Software\\Brenvik\\Probe", Value::dword("Own", 2)));
    }
    {
        qmtest::ScopedEnv relocated("QM_REGISTRY_DIR", probeDir);
        relocatedUser = belowCurrentUser(qmreg::hiveFile(HiveId::CurrentUser));
        relocatedMachine = belowCurrentUser(qmreg::hiveFile(HiveId::LocalMachine));
        Hive hkcu(qmreg::hiveFile(HiveId::CurrentUser));
        Hive hklm(qmreg::hiveFile(HiveId::LocalMachine));
        EXPECT_TRUE(hkcu.createKey("Software\\Brenvik\\Probe") &&
                    hkcu.setValue("Software\\Brenvik\\Probe", Value::dword("Relocated", 3)));
        EXPECT_TRUE(hklm.createKey("Software\\Brenvik\\Probe") &&
                    hklm.setValue("Software\\Brenvik\\Probe", Value::dword("Relocated", 4)));
    }
    EXPECT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr), ERROR_SUCCESS);

    EXPECT_EQ(dwordValue(user.get(), "Software\\Brenvik\\Probe", "Own"), 1u);
    EXPECT_EQ(dwordValue(machine.get(), "Software\\Brenvik\\Probe", "Own"), 2u);
    EXPECT_EQ(dwordValue(user.get(), relocatedUser + "\\Software\\Brenvik\\Probe", "Relocated"),
              3u);
    EXPECT_EQ(dwordValue(user.get(), relocatedMachine + "\\Software\\Brenvik\\Probe", "Relocated"),
              4u);
    // Nothing else: the user's scratch key holds the two trees, the machine's only its own.
    EXPECT_EQ(subkeyNames(user.get(), "Software"),
              (std::vector<std::string>{"Brenvik", "Quillmont"}));
    EXPECT_EQ(subkeyNames(user.get(), "Software\\Brenvik"), std::vector<std::string>{"Probe"});
    EXPECT_EQ(subkeyNames(machine.get(), ""), std::vector<std::string>{"Software"});
    EXPECT_EQ(subkeyNames(machine.get(), "Software"), std::vector<std::string>{"Brenvik"});
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, relocatedUser));
}

// qmreg started by a test inherits its relocation through the environment: what it writes to
// either hive lands below the test's relocated root keys in the real registry, and the hives go
// with the relocation.
TEST_F(RegistryRelocationUserTest, ChildProcessesWriteTheRelocatedHives) {
    for (const char* hive : {"HKCU", "HKLM"}) {
        const auto result = qmtest::runProcess({qmtest::binDir() + "/qmreg", "add",
                                                std::string(hive) + "\\Software\\Brenvik\\Child",
                                                "/v", "Run", "/t", "REG_DWORD", "/d", "5", "/f"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
    const std::string userRoot = belowCurrentUser(qmreg::hiveFile(HiveId::CurrentUser));
    const std::string machineRoot = belowCurrentUser(qmreg::hiveFile(HiveId::LocalMachine));
    EXPECT_EQ(dwordValue(HKEY_CURRENT_USER, userRoot + "\\Software\\Brenvik\\Child", "Run"), 5u);
    EXPECT_EQ(dwordValue(HKEY_CURRENT_USER, machineRoot + "\\Software\\Brenvik\\Child", "Run"), 5u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Brenvik\\Child"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Brenvik\\Child"));

    qmreg::deleteRelocatedHives(user_.registryDir());
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, userRoot));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, machineRoot));
}

// Strings other programs stored without their terminator, or with more than one, read as the
// text alone.
TEST_F(RegistryRelocationUserTest, StringsReadWithoutTheirTerminators) {
    Hive& hive = Hive::forThread(HiveId::CurrentUser);
    ASSERT_TRUE(hive.createKey("Data"));
    Key key;
    ASSERT_EQ(createKey(HKEY_CURRENT_USER,
                        belowCurrentUser(qmreg::hiveFile(HiveId::CurrentUser)) + "\\Data", key),
              ERROR_SUCCESS);
    for (const auto& raw : {utf16le(u"text"sv), utf16le(u"text\0\0"sv)}) {
        ASSERT_EQ(::RegSetValueExW(key.get(), L"S", 0, REG_SZ, raw.data(),
                                   static_cast<DWORD>(raw.size())),
                  ERROR_SUCCESS);
        EXPECT_EQ(hive.getValue("Data", "S")->asString(), "text");
    }
    // An odd byte at the end is no UTF-16 unit and is left out.
    const std::vector<std::uint8_t> odd{'t', 0, 'x'};
    ASSERT_EQ(::RegSetValueExW(key.get(), L"S", 0, REG_SZ, odd.data(), 3), ERROR_SUCCESS);
    EXPECT_EQ(hive.getValue("Data", "S")->asString(), "t");
}

// A hive the user may only read (on Windows the machine's, for a user without administrator
// rights): its keys are read, every write answers false and changes nothing. Made here with a
// security descriptor that gives everyone read access only.
TEST_F(RegistryRelocationUserTest, AHiveTheUserMayOnlyReadAnswersFalseOnWrites) {
    const std::string own = belowCurrentUser(qmreg::hiveFile(HiveId::CurrentUser));
    const std::string path = own.substr(0, own.rfind('\\')) + "\\ReadOnly";
    {
        Key key;
        ASSERT_EQ(createKey(HKEY_CURRENT_USER, path + "\\Software\\Brenvik", key), ERROR_SUCCESS);
        const DWORD one = 1;
        ASSERT_EQ(::RegSetValueExW(key.get(), L"Kept", 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&one), sizeof one),
                  ERROR_SUCCESS);
    }
    const auto setAccess = [&](const wchar_t* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                           &descriptor, nullptr));
        for (const std::string& key : {path, path + "\\Software", path + "\\Software\\Brenvik"}) {
            Key opened;
            ASSERT_EQ(
                ::RegOpenKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, WRITE_DAC, opened.out()),
                ERROR_SUCCESS);
            EXPECT_EQ(::RegSetKeySecurity(opened.get(), DACL_SECURITY_INFORMATION, descriptor),
                      ERROR_SUCCESS);
        }
        ::LocalFree(descriptor);
    };
    setAccess(L"D:P(A;;KR;;;WD)");
    {
        Hive hive("HKEY_CURRENT_USER\\" + path);
        EXPECT_FALSE(hive.writable());
        EXPECT_EQ(hive.getValue("Software\\Brenvik", "Kept")->asDword(), 1u);
        EXPECT_EQ(hive.subkeys("Software"), std::vector<std::string>{"Brenvik"});
        Hive::Transaction writes(hive);
        EXPECT_FALSE(hive.createKey("Software\\Brenvik\\New"));
        EXPECT_FALSE(hive.setValue("Software\\Brenvik", Value::dword("New", 2)));
        EXPECT_FALSE(hive.deleteValue("Software\\Brenvik", "Kept"));
        EXPECT_FALSE(hive.deleteKey("Software\\Brenvik", true));
        writes.commit();
    }
    setAccess(L"D:P(A;;KA;;;WD)");
    EXPECT_EQ(subkeyNames(HKEY_CURRENT_USER, path + "\\Software\\Brenvik"),
              std::vector<std::string>{});
    EXPECT_EQ(dwordValue(HKEY_CURRENT_USER, path + "\\Software\\Brenvik", "Kept"), 1u);
    EXPECT_FALSE(dwordValue(HKEY_CURRENT_USER, path + "\\Software\\Brenvik", "New"));

    // A read-only hive whose key does not exist reads as empty.
    Hive missing("HKEY_CURRENT_USER\\" + path + "\\Missing", true);
    EXPECT_FALSE(missing.writable());
    EXPECT_TRUE(missing.keyExists(""));
    EXPECT_FALSE(missing.keyExists("Software"));
    EXPECT_TRUE(missing.subkeys("").empty());
    EXPECT_FALSE(missing.getValue("", "x"));
    EXPECT_FALSE(missing.createKey("Software"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, path + "\\Missing"));
}

// A name longer than the registry allows (255 UTF-16 units, counted in units: "Ω" is one, a
// character above U+FFFF two) names no key that could exist: it is not found and not made,
// and neither throws, at any level of the path.
TEST_F(RegistryRelocationUserTest, NamesTooLongForTheRegistryAreNeverFoundNorMade) {
    Hive& hive = Hive::forThread(HiveId::CurrentUser);
    const std::string longest(255, 'K');
    const std::string omegas = [] {
        std::string s;
        for (int i = 0; i < 128; ++i) {
            s += "\xF0\x9F\x98\x80";  // 128 characters, 256 units
        }
        return s;
    }();
    ASSERT_TRUE(hive.createKey("SOFTWARE\\Fits\\" + longest));
    EXPECT_TRUE(hive.keyExists("SOFTWARE\\Fits\\" + longest));
    for (const std::string& key :
         {"SOFTWARE\\" + longest + "K", "SOFTWARE\\" + longest + "K\\Below",
          "SOFTWARE\\Fits\\" + longest + "\\" + omegas}) {
        SCOPED_TRACE(key.size());
        EXPECT_FALSE(hive.keyExists(key));
        EXPECT_FALSE(hive.getValue(key, "Value").has_value());
        EXPECT_FALSE(hive.createKey(key));
        EXPECT_FALSE(hive.setValue(key, Value::string("Value", "x")));
        EXPECT_TRUE(hive.subkeys(key).empty());
    }
}

}  // namespace
