// The qmreg program, run as a child process the way users and scripts run it.
#include <gtest/gtest.h>

#include "qmreg/registry.h"
#include "qmtest/child_process.h"
#include "qmtest/files.h"
#include "qmtest/relocated_user.h"

namespace {

using qmreg::Hive;
using qmreg::HiveId;
using qmreg::Value;
using qmreg::ValueType;

class QmregTest : public qmtest::RelocatedTest {
protected:
    static qmtest::ProcessResult qmreg(std::vector<std::string> args) {
        args.insert(args.begin(), qmtest::binDir() + "/qmreg");
        return qmtest::runProcess(args);
    }
    // A fresh connection sees what the child processes committed.
    Hive store() { return Hive(qmreg::hiveFile(HiveId::CurrentUser)); }
    std::string dataFile(const std::string& name) {
        return qmtest::sourceDir() + "/tests/platform/registry/data/" + name;
    }
};

TEST_F(QmregTest, QueryPrintsLikeRegExe) {
    for (auto args : std::vector<std::vector<std::string>>{
             {"add", "HKCU\\Software\\Brenvik", "/ve", "/d", "product"},
             {"add", "hkcu\\SOFTWARE\\brenvik", "/v", "Count", "/t", "REG_DWORD", "/d", "26"},
             {"add", "HKCU\\Software\\Brenvik", "/v", "Blob", "/t", "REG_BINARY", "/d", "00ff1A"},
             {"add", "HKCU\\Software\\Brenvik\\Quillmont"},
             {"add", "HKCU\\Software\\Brenvik\\Options", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d",
              "%APPDATA%\\Brenvik"},
         }) {
        ASSERT_EQ(qmreg(args).exitCode, 0) << args[1];
    }
    auto flat = qmreg({"query", "HKEY_CURRENT_USER\\software\\BRENVIK"});
    EXPECT_EQ(flat.exitCode, 0);
    EXPECT_EQ(flat.out,
              "\n"
              "HKEY_CURRENT_USER\\Software\\Brenvik\n"
              "    (Default)    REG_SZ    product\n"
              "    Blob    REG_BINARY    00FF1A\n"
              "    Count    REG_DWORD    0x1a\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Brenvik\\Options\n"
              "HKEY_CURRENT_USER\\Software\\Brenvik\\Quillmont\n");

    auto recursive = qmreg({"query", "HKCU\\Software\\Brenvik", "/s"});
    EXPECT_EQ(recursive.exitCode, 0);
    EXPECT_EQ(recursive.out,
              "\n"
              "HKEY_CURRENT_USER\\Software\\Brenvik\n"
              "    (Default)    REG_SZ    product\n"
              "    Blob    REG_BINARY    00FF1A\n"
              "    Count    REG_DWORD    0x1a\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Brenvik\\Options\n"
              "    Path    REG_EXPAND_SZ    %APPDATA%\\Brenvik\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Brenvik\\Quillmont\n");

    auto one = qmreg({"query", "HKCU\\Software\\Brenvik", "/v", "COUNT"});
    EXPECT_EQ(one.out, "\nHKEY_CURRENT_USER\\Software\\Brenvik\n    Count    REG_DWORD    0x1a\n");
}

struct ExitCase {
    const char* label;
    std::vector<std::string> args;
    int exitCode;
    const char* message;  // expected in stderr
};

void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << c.label;
}

class QmregExitTest : public QmregTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(QmregExitTest, ReportsFailuresWithTheirExitCode) {
    ASSERT_EQ(qmreg({"add", "HKCU\\Software\\Present", "/v", "Here", "/d", "x"}).exitCode, 0);
    const auto& c = GetParam();
    auto result = qmreg(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
}

const char* const kNotFound = "unable to find the specified registry key or value";

INSTANTIATE_TEST_SUITE_P(
    Cases, QmregExitTest,
    ::testing::Values(
        ExitCase{"MissingKey", {"query", "HKCU\\Software\\Absent"}, 1, kNotFound},
        ExitCase{"MissingValue", {"query", "HKCU\\Software\\Present", "/v", "There"}, 1, kNotFound},
        ExitCase{"DeleteHiveRoot", {"delete", "HKCU", "/f"}, 1, "root key"},
        ExitCase{"ImportMissingFile", {"import", "/nonexistent/file.reg"}, 1, "Cannot open"},
        ExitCase{"NoArguments", {}, 2, "Invalid syntax"},
        ExitCase{"UnknownOperation", {"copy", "HKCU\\A", "HKCU\\B"}, 2, "Invalid operation"},
        ExitCase{"UnknownHive", {"query", "HKCR\\Software"}, 2, "Invalid key name"},
        ExitCase{
            "UnknownType", {"add", "HKCU\\A", "/v", "x", "/t", "REG_QWORD"}, 2, "Invalid type"},
        ExitCase{"DwordTooLarge",
                 {"add", "HKCU\\A", "/v", "x", "/t", "REG_DWORD", "/d", "4294967296"},
                 2,
                 "Invalid data"},
        ExitCase{"SwitchWithoutArgument", {"add", "HKCU\\A", "/v"}, 2, "needs an argument"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(QmregTest, ExportThenImportRestoresEveryValue) {
    const std::vector<Value> values{
        Value::string("", "default"),
        Value::string("Quoted", "say \"hi\" to C:\\Temp\\"),
        Value::string("Lines", "line one\r\nline two"),
        Value::string("Unicode",
                      "Gr\xC3\xBC\xC3\x9F"
                      "e \xF0\x9F\x98\x80"),
        Value::string("Expand", "%TEMP%\\quillmont", ValueType::ExpandSz),
        Value::dword("Max", 4294967295u),
        Value{"Blob", ValueType::Binary, std::vector<std::uint8_t>(100, 0xab)},
        Value{"Empty", ValueType::Binary, {}},
    };
    {
        Hive s = store();
        ASSERT_TRUE(s.createKey("Software\\Round\\Trip\\Deep"));
        ASSERT_TRUE(s.createKey("Software\\Round\\Empty"));
        for (const auto& v : values)
            ASSERT_TRUE(s.setValue("Software\\Round\\Trip", v));
    }
    const std::string file = user_.root() + "/round.reg";
    ASSERT_EQ(qmreg({"export", "HKCU\\Software\\Round", file}).exitCode, 0);
    const std::string exported = qmtest::readFile(file);
    ASSERT_EQ(qmreg({"delete", "HKCU\\Software\\Round", "/f"}).exitCode, 0);

    auto imported = qmreg({"import", file});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    Hive s = store();
    EXPECT_TRUE(s.keyExists("Software\\Round\\Empty"));
    EXPECT_TRUE(s.keyExists("Software\\Round\\Trip\\Deep"));
    for (const auto& expected : values) {
        auto got = s.getValue("Software\\Round\\Trip", expected.name);
        ASSERT_TRUE(got) << expected.name;
        EXPECT_EQ(got->type, expected.type) << expected.name;
        EXPECT_EQ(got->data, expected.data) << expected.name;
    }
    ASSERT_EQ(qmreg({"export", "HKCU\\Software\\Round", file, "/y"}).exitCode, 0);
    EXPECT_EQ(qmtest::readFile(file), exported);
}

TEST_F(QmregTest, MalformedImportNamesTheLineAndChangesNothing) {
    auto result = qmreg({"import", dataFile("malformed.reg")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("line 5"), std::string::npos) << result.err;
    EXPECT_FALSE(store().keyExists("Software\\Imported"));
}

// Names written in one case and used in another, as an administrator's .reg file meets what a
// module definition wrote. Source text is UTF-8, as qmreg's arguments are.
struct Spelling {
    const char* label;
    const char* key;
    const char* value;
    const char* otherKey;
    const char* otherValue;
    bool same;
};

void PrintTo(const Spelling& s, std::ostream* os) {
    *os << s.label;
}

class QmregNameFoldingTest : public QmregTest, public ::testing::WithParamInterface<Spelling> {};

TEST_P(QmregNameFoldingTest, QueryDeleteAndImportFindTheNameInAnotherCase) {
    const auto& s = GetParam();
    const std::string key = std::string("HKCU\\Software\\") + s.key;
    const std::string other = std::string("HKCU\\SOFTWARE\\") + s.otherKey;
    ASSERT_EQ(qmreg({"add", key, "/v", s.value, "/d", "written"}).exitCode, 0);

    auto query = qmreg({"query", other, "/v", s.otherValue});
    EXPECT_EQ(query.exitCode, s.same ? 0 : 1) << query.err;
    if (s.same) {
        EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\" + std::string(s.key) + "\n    " +
                                 s.value + "    REG_SZ    written\n");
    }

    const std::string reg = user_.root() + "/other.reg";
    qmtest::writeFile(reg,
                      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\software\\" +
                          std::string(s.otherKey) + "]\n\"" + s.otherValue + "\"=\"imported\"\n");
    ASSERT_EQ(qmreg({"import", reg}).exitCode, 0);
    EXPECT_EQ(store().subkeys("Software").size(), s.same ? 1u : 2u);
    EXPECT_EQ(store().getValue(std::string("Software\\") + s.key, s.value)->asString(),
              s.same ? "imported" : "written");

    EXPECT_EQ(qmreg({"delete", other, "/v", s.otherValue, "/f"}).exitCode, 0);
    EXPECT_EQ(store().getValue(std::string("Software\\") + s.key, s.value).has_value(), !s.same);
    EXPECT_EQ(qmreg({"delete", other, "/f"}).exitCode, 0);
    EXPECT_EQ(store().keyExists(std::string("Software\\") + s.key), !s.same);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, QmregNameFoldingTest,
    ::testing::Values(Spelling{"Umlauts", "TestÄb", "Välue", "testäb", "vÄlue", true},
                      Spelling{"GreekAndCyrillic", "Ωmega", "Журнал", "ωMEGA", "жУРНАЛ", true},
                      Spelling{"SharpS", "Straße", "Maß", "STRASSE", "MASS", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(QmregTest, KeysDeeperThan512LevelsAreRefusedAndImportChangesNothing) {
    std::string path = "Software\\Deep";
    for (std::size_t level = 3; level <= qmreg::kMaxKeyDepth + 1; ++level)
        path += "\\L" + std::to_string(level);
    auto add = qmreg({"add", "HKCU\\" + path});
    EXPECT_EQ(add.exitCode, 1);
    EXPECT_NE(add.err.find("512 levels"), std::string::npos) << add.err;

    const std::string reg = user_.root() + "/deep.reg";
    qmtest::writeFile(
        reg,
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Shallow]\n"
        "\"a\"=\"b\"\n\n[HKEY_CURRENT_USER\\" +
            path + "]\n");
    auto import = qmreg({"import", reg});
    EXPECT_EQ(import.exitCode, 1);
    EXPECT_NE(import.err.find("512 levels"), std::string::npos) << import.err;
    EXPECT_FALSE(store().keyExists("Software\\Shallow"));
    EXPECT_FALSE(store().keyExists("Software\\Deep"));
}

}  // namespace
