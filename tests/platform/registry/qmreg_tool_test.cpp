// The qmreg program, run as a child process the way users and scripts run it.
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "qmreg/registry.h"
#include "qmtest/child_process.h"
#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/text.h"

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

    // Scripts read what qmreg wrote just before it ended, every time, whether they wait for it
    // to end or read as it runs.
    ASSERT_EQ(
        qmreg({"add", "HKCU\\Software\\Out", "/v", "Text", "/d", std::string(2000, 't')}).exitCode,
        0);
    const std::vector<std::string> query{qmtest::binDir() + "/qmreg", "query",
                                         "HKCU\\Software\\Out"};
    const std::string expected = "\nHKEY_CURRENT_USER\\Software\\Out\n    Text    REG_SZ    " +
                                 std::string(2000, 't') + "\n";
    for (int run = 0; run < 8; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(qmtest::runProcess(query).out, expected);
        qmtest::BackgroundProcess background(query);
        EXPECT_EQ(background.wait(), 0);
        EXPECT_EQ(background.output(), expected);
    }
}

struct ExitCase {
    const char* label;
    std::string args;  // split at blanks
    int exitCode;
    const char* message;  // expected in stderr
};

void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << c.label;
}

class QmregExitTest : public QmregTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(QmregExitTest, ReportsFailuresWithTheirExitCode) {
    const auto present = qmreg({"add", "HKCU\\Software\\Present", "/v", "Here", "/d", "x"});
    ASSERT_EQ(present.exitCode, 0) << present.err;
    const auto& c = GetParam();
    auto result = qmreg(qmtest::words(c.args));
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
}

const char* const kNotFound = "unable to find the specified registry key or value";

INSTANTIATE_TEST_SUITE_P(
    Cases, QmregExitTest,
    ::testing::Values(
        ExitCase{"MissingKey", "query HKCU\\Software\\Absent", 1, kNotFound},
        ExitCase{"MissingValue", "query HKCU\\Software\\Present /v There", 1, kNotFound},
        ExitCase{"DeleteHiveRoot", "delete HKCU /f", 1, "root key"},
        ExitCase{"ImportMissingFile", "import /nonexistent/file.reg", 1, "Cannot open"},
        ExitCase{"NoArguments", "", 2, "Invalid syntax"},
        ExitCase{"UnknownOperation", "copy HKCU\\A HKCU\\B", 2, "Invalid operation"},
        ExitCase{"UnknownHive", "query HKCR\\Software", 2, "Invalid key name"},
        ExitCase{"UnknownType", "add HKCU\\A /v x /t REG_WORD", 2, "Invalid type"},
        ExitCase{"ReadOnlyType", "add HKCU\\A /v x /t REG_LINK", 2, "Invalid type"},
        ExitCase{"QwordTooLarge", "add HKCU\\A /v x /t REG_QWORD /d 18446744073709551616", 2,
                 "Invalid data"},
        ExitCase{"MultiSzEmptyString", "add HKCU\\A /v x /t REG_MULTI_SZ /d a\\0\\0b", 2,
                 "Invalid data"},
        ExitCase{"NoneOddDigits", "add HKCU\\A /v x /t REG_NONE /d abc", 2, "Invalid data"},
        ExitCase{"DwordTooLarge", "add HKCU\\A /v x /t REG_DWORD /d 4294967296", 2, "Invalid data"},
        ExitCase{"SwitchWithoutArgument", "add HKCU\\A /v", 2, "needs an argument"}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

// What destroys asks first, without /f (/y for an export): an answer beginning with y goes on,
// anything else (no, another word, an empty line, the end of the input) cancels it and
// changes nothing.
TEST_F(QmregTest, DestroyingAsksFirstAndAnythingButYesCancels) {
    const std::string key = "HKCU\\Software\\Asked";
    const std::string file = user_.root() + "/asked.reg";
    const auto value = [&](const char* name) {
        const auto found = store().getValue("Software\\Asked", name);
        return found ? found->asString() : std::string("(none)");
    };
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string question;
        std::function<bool()> done;
    } operations[] = {
        {"delete a value",
         {"delete", key, "/v", "Kept"},
         "Delete the registry value Kept (Yes/No)? ",
         [&] { return value("Kept") == "(none)" && value("Other") == "other"; }},
        {"delete every value (/va)",
         {"delete", key, "/va"},
         "Delete all values under the registry key HKEY_CURRENT_USER\\Software\\Asked (Yes/No)? ",
         [&] {
             return store().keyExists("Software\\Asked") &&
                    store().values("Software\\Asked").empty();
         }},
        {"delete the key",
         {"delete", key},
         "Permanently delete the registry key HKEY_CURRENT_USER\\Software\\Asked (Yes/No)? ",
         [&] { return !store().keyExists("Software\\Asked"); }},
        {"overwrite a value",
         {"add", key, "/v", "Kept", "/d", "new"},
         "Value Kept exists, overwrite(Yes/No)? ",
         [&] { return value("Kept") == "new"; }},
        {"export over a file",
         {"export", key, file},
         "File " + file + " already exists. Overwrite (Yes/No)? ",
         [&] { return qmtest::readFile(file) != "old"; }},
    };
    const struct {
        const char* input;
        bool goesOn;
    } answers[] = {{"y\n", true},   {"Yes\n", true}, {"n\n", false}, {"no\n", false},
                   {"ok\n", false}, {"\n", false},   {"", false}};
    for (const auto& operation : operations) {
        for (const auto& answer : answers) {
            SCOPED_TRACE(std::string(operation.what) + ", answered \"" + answer.input + "\"");
            Hive hive = store();
            ASSERT_TRUE(hive.createKey("Software\\Asked"));
            ASSERT_TRUE(hive.setValue("Software\\Asked", Value::string("Kept", "kept")));
            ASSERT_TRUE(hive.setValue("Software\\Asked", Value::string("Other", "other")));
            qmtest::writeFile(file, "old");
            std::vector<std::string> argv = operation.args;
            argv.insert(argv.begin(), qmtest::binDir() + "/qmreg");
            qmtest::ProcessOptions options;
            options.input = answer.input;
            const auto result = qmtest::runProcess(argv, options);
            EXPECT_EQ(result.out.rfind(operation.question, 0), 0u) << result.out;
            EXPECT_EQ(result.exitCode, answer.goesOn ? 0 : 1) << result.out << result.err;
            EXPECT_NE(result.out.find(answer.goesOn ? "The operation completed successfully."
                                                    : "The operation was cancelled."),
                      std::string::npos)
                << result.out;
            EXPECT_EQ(operation.done(), answer.goesOn);
            if (!answer.goesOn) {
                EXPECT_EQ(value("Kept"), "kept");
                EXPECT_EQ(value("Other"), "other");
                EXPECT_EQ(qmtest::readFile(file), "old");
            }
        }
    }
}

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
        // A DWORD of another length than four bytes, as a program may store one: written as
        // hex(4) bytes, since "dword:" would change its length.
        Value{"Short", ValueType::Dword, {1, 2, 3}},
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

// What a registry file cannot carry is refused by name, and no file is written: an import
// would refuse the whole file, or read back something else.
TEST_F(QmregTest, ExportRefusesWhatAnImportCouldNotReadBackAsItWas) {
    struct Case {
        const char* label;
        const char* subkey;  // created below Software\\Odd
        Value value;
        const char* named;  // expected in the message
    };
    const std::vector<Case> cases = {
        {"ValueNameWithALineBreak", "", Value::string("two\nlines", "x"),
         "the value \"two\nlines\" of HKEY_CURRENT_USER\\Software\\Odd"},
        // A carriage return alone: a child's "\r\n" reaches the test as "\n" on Windows.
        {"KeyNameWithACarriageReturn", "two\rlines", Value::string("Plain", "x"),
         "the key \"HKEY_CURRENT_USER\\Software\\Odd\\two\rlines\""},
#if !defined(_WIN32)  // the registry there keeps UTF-16: what is no UTF-8 cannot be stored
        {"ValueNameNotUtf8", "",
         Value::string("Gr\xF6\xDF"
                       "e",
                       "x"),
         "its name is not UTF-8"},
        {"StringNotUtf8", "",
         Value::string("Latin1",
                       "Gr\xF6\xDF"
                       "e"),
         "the value \"Latin1\" of HKEY_CURRENT_USER\\Software\\Odd cannot be exported: its "
         "string data is not UTF-8"},
        {"ExpandableStringNotUtf8", "", Value::string("Path", "%TEMP%\\\xFF", ValueType::ExpandSz),
         "its string data is not UTF-8"},
        {"MultiStringNotUtf8", "", Value{"List", ValueType::MultiSz, {'a', 0, 0xC3, 0, 0}},
         "its string data is not UTF-8"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string key = std::string("Software\\Odd") + (*c.subkey ? "\\" : "") + c.subkey;
        {
            Hive s = store();
            s.deleteKey("Software\\Odd", true);
            ASSERT_TRUE(s.createKey(key));
            ASSERT_TRUE(s.setValue(key, c.value));
        }
        const std::string file = user_.root() + "/" + c.label + ".reg";
        const auto result = qmreg({"export", "HKCU\\Software\\Odd", file});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

#if !defined(_WIN32)  // no FIFOs there
// A name that opens something else than a file (a FIFO here; a device alike) is never replaced
// by a file, also with /y.
TEST_F(QmregTest, ExportNeverReplacesWhatIsNoFile) {
    ASSERT_EQ(qmreg({"add", "HKCU\\Software\\Present", "/v", "Here", "/d", "x"}).exitCode, 0);
    const std::string fifo = user_.root() + "/out.reg";
    qmtest::makeFifo(fifo);
    const auto result = qmreg({"export", "HKCU\\Software\\Present", fifo, "/y"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Cannot write \"" + fifo + "\": it is not a file"), std::string::npos)
        << result.err;
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}
#endif

// A file as the registry editor exports it: UTF-16LE with BOM, CRLF, every value type, names
// with quotes, backslashes and non-ASCII characters, hex data wrapped over several lines.
TEST_F(QmregTest, RegeditExportImportsAndExportsByteForByte) {
    const std::string original = qmtest::readFile(dataFile("regedit_export.reg"));
    auto imported = qmreg({"import", dataFile("regedit_export.reg")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;

    // What the import stored, so that a reader and writer wrong in the same way cannot pass.
    Hive s = store();
    const std::string key = "Software\\Brenvik\\Export Test";
    EXPECT_EQ(s.getValue(key, "")->asString(), "Default with \"quotes\" and C:\\Path\\");
    EXPECT_EQ(s.getValue(key, "Quote\"d\\name")->asString(), "back\\slash \"and\" quote");
    EXPECT_EQ(s.getValue(key, "Gr\u00f6\u00dfe")->asString(),
              "\u00dcn\u00efc\u00f6d\u00e9 \u2013 \u201equoted\u201c \u2713");
    auto expand = s.getValue(key, "expand");
    EXPECT_EQ(expand->type, ValueType::ExpandSz);
    EXPECT_EQ(expand->asString(),
              "%APPDATA%\\Brenvik\\Quillmont\\22.15\\Men\u00fcs und Werkzeugk\u00e4sten");
    auto multi = s.getValue(key, "Multi");
    EXPECT_EQ(multi->type, ValueType::MultiSz);
    EXPECT_EQ(multi->asStrings(), (std::vector<std::string>{"eins", "zwei", "drei mit \u00c4"}));
    EXPECT_TRUE(s.getValue(key, "Empty multi")->asStrings().empty());
    EXPECT_EQ(s.getValue(key, "Qword")->asQword(), 0x0123456789abcdefULL);
    EXPECT_EQ(s.getValue(key, "Dword max")->asDword(), 0xffffffffu);
    EXPECT_EQ(s.getValue(key, "Binary")->data.size(), 60u);
    auto none = s.getValue(key, "None");
    EXPECT_EQ(none->type, ValueType::None);
    EXPECT_EQ(none->data, (std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef}));
    EXPECT_EQ(static_cast<int>(s.getValue(key, "Resource list")->type), 8);
    EXPECT_TRUE(s.keyExists(key + "\\Sub key"));
    EXPECT_EQ(s.getValue(key + "\\\u03a9mega \u041a\u043b\u044e\u0447", "Zahl")->asDword(), 7u);

    const std::string file = user_.root() + "/again.reg";
    ASSERT_EQ(qmreg({"export", "HKCU\\Software\\Brenvik\\Export Test", file}).exitCode, 0);
    const std::string exported = qmtest::readFile(file);
    EXPECT_EQ(exported.size(), original.size());
    EXPECT_TRUE(exported == original) << "the export differs from the regedit file";
}

// The older format: ANSI (Windows-1252) text, string data in hex(2) and hex(7) as ANSI bytes,
// and the deletions both formats know.
TEST_F(QmregTest, Regedit4AnsiImportWithDeletions) {
    {
        Hive s = store();
        ASSERT_TRUE(s.createKey("Software\\Old\\Gone\\Deeper"));
        ASSERT_TRUE(s.createKey("Software\\Old\\Kept"));
        ASSERT_TRUE(s.setValue("Software\\Old\\Kept", Value::string("Stale", "x")));
        ASSERT_TRUE(s.setValue("Software\\Old\\Kept", Value::string("", "default")));
        ASSERT_TRUE(s.setValue("Software\\Old\\Kept", Value::string("Stays", "y")));
    }
    const std::string reg = user_.root() + "/old.reg";
    qmtest::writeFile(reg,
                      "REGEDIT4\r\n\r\n"
                      "[-HKEY_CURRENT_USER\\Software\\Old\\Gone]\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Old\\Kept]\r\n"
                      "\"Stale\"=-\r\n"
                      "@=-\r\n"
                      "\"Gr\xF6\xDF"
                      "e \x80\"=\"M\xE4rz \x93zitiert\x94\"\r\n"
                      "\"Pfad\"=hex(2):25,54,45,4d,50,25,5c,e4,00\r\n"
                      "\"Liste\"=hex(7):61,00,e9,00,00\r\n"
                      "; \"Commented\"=hex:01,02,\\\r\n"
                      "\"AfterComment\"=\"kept\"\r\n");
    auto imported = qmreg({"import", reg});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    Hive s = store();
    EXPECT_FALSE(s.keyExists("Software\\Old\\Gone"));
    EXPECT_FALSE(s.getValue("Software\\Old\\Kept", "Stale"));
    EXPECT_FALSE(s.getValue("Software\\Old\\Kept", ""));
    EXPECT_EQ(s.getValue("Software\\Old\\Kept", "Stays")->asString(), "y");
    EXPECT_EQ(s.getValue("Software\\Old\\Kept", "Gr\u00f6\u00dfe \u20ac")->asString(),
              "M\u00e4rz \u201czitiert\u201d");
    auto path = s.getValue("Software\\Old\\Kept", "Pfad");
    EXPECT_EQ(path->type, ValueType::ExpandSz);
    EXPECT_EQ(path->asString(), "%TEMP%\\\u00e4");
    EXPECT_EQ(s.getValue("Software\\Old\\Kept", "Liste")->asStrings(),
              (std::vector<std::string>{"a", "\u00e9"}));
    // A comment that looks like hex data with a continuation takes no line with it.
    EXPECT_FALSE(s.getValue("Software\\Old\\Kept", "Commented"));
    const auto after = s.getValue("Software\\Old\\Kept", "AfterComment");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->asString(), "kept");
}

struct TypedAdd {
    const char* type;
    const char* data;
    const char* shown;
};

class QmregTypeTest : public QmregTest, public ::testing::WithParamInterface<TypedAdd> {};

TEST_P(QmregTypeTest, AddStoresAndQueryShowsEveryWritableType) {
    const auto& c = GetParam();
    auto add = qmreg({"add", "HKCU\\Software\\Types", "/v", "V", "/t", c.type, "/d", c.data});
    ASSERT_EQ(add.exitCode, 0) << add.err;
    auto query = qmreg({"query", "HKCU\\Software\\Types", "/v", "v"});
    EXPECT_EQ(query.out, std::string("\nHKEY_CURRENT_USER\\Software\\Types\n    V    ") + c.type +
                             "    " + c.shown + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Types, QmregTypeTest,
    ::testing::Values(TypedAdd{"REG_SZ", "text", "text"},
                      TypedAdd{"REG_EXPAND_SZ", "%TEMP%\\x", "%TEMP%\\x"},
                      TypedAdd{"REG_MULTI_SZ", "one\\0two\\0three", "one\\0two\\0three"},
                      TypedAdd{"REG_DWORD", "0x7fffffff", "0x7fffffff"},
                      TypedAdd{"REG_QWORD", "18446744073709551615", "0xffffffffffffffff"},
                      TypedAdd{"REG_BINARY", "00ff", "00FF"}, TypedAdd{"REG_NONE", "abCD", "ABCD"}),
    [](const auto& testCase) { return std::string(testCase.param.type); });

// A file with one flaw, after a good value: the import names the line and the flaw, and
// stores nothing, not even the good value before it.
struct MalformedFile {
    const char* label;
    const char* body;  // after the header line
    const char* reason;
    int line = 5;
};

void PrintTo(const MalformedFile& c, std::ostream* os) {
    *os << c.label;
}

class QmregMalformedTest : public QmregTest, public ::testing::WithParamInterface<MalformedFile> {};

TEST_P(QmregMalformedTest, ImportNamesTheLineAndChangesNothing) {
    const MalformedFile& c = GetParam();
    const std::string reg = user_.root() + "/bad.reg";
    qmtest::writeFile(reg, std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Imported]\r\n"
                                       "\"Good\"=\"value\"\r\n") +
                               c.body);
    auto result = qmreg({"import", reg});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("line " + std::to_string(c.line) + ":"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    EXPECT_FALSE(store().keyExists("Software\\Imported"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, QmregMalformedTest,
    ::testing::Values(
        MalformedFile{"DwordOfLetters", "\"Bad\"=dword:xyz\r\n", "bad dword \"xyz\""},
        MalformedFile{"DwordOfNineDigits", "\"Bad\"=dword:100000000\r\n", "bad dword"},
        MalformedFile{"HexByteOfOneDigit", "\"Bad\"=hex:01,2,03\r\n", "bad hex byte \"2\""},
        MalformedFile{"HexByteNotHex", "\"Bad\"=hex:01,g2\r\n", "bad hex byte \"g2\""},
        MalformedFile{"ValueUnderADeletedKey",
                      "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n\"Bad\"=\"x\"\r\n",
                      "value outside a key section", 6},
        MalformedFile{"UnknownRoot", "[HKEY_NOWHERE\\Software]\r\n", "unknown root key"}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

// Without the header line nothing is a registry file, however well its lines are formed.
TEST_F(QmregTest, FileWithoutTheHeaderLineIsRefused) {
    const std::string reg = user_.root() + "/headless.reg";
    qmtest::writeFile(reg, "[HKEY_CURRENT_USER\\Software\\Imported]\r\n\"Good\"=\"value\"\r\n");
    auto result = qmreg({"import", reg});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("not a registry file"), std::string::npos) << result.err;
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
    [](const auto& testCase) { return std::string(testCase.param.label); });

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

// The hive does not exist yet: the processes also race to create it.
TEST_F(QmregTest, ParallelProcessesCreatingAndWritingTheHiveLoseNothing) {
    constexpr int kProcesses = 12;
    std::vector<std::unique_ptr<qmtest::BackgroundProcess>> children;
    for (int i = 0; i < kProcesses; ++i) {
        children.push_back(std::make_unique<qmtest::BackgroundProcess>(std::vector<std::string>{
            qmtest::binDir() + "/qmreg", "add", "HKCU\\Software\\Race", "/v",
            "v" + std::to_string(i), "/t", "REG_DWORD", "/d", std::to_string(i), "/f"}));
    }
    for (auto& child : children)
        EXPECT_EQ(child->wait(), 0);

    std::set<std::string> names;
    for (const auto& v : store().values("Software\\Race"))
        names.insert(v.name);
    EXPECT_EQ(names.size(), std::size_t{kProcesses});
}

}  // namespace
