// qmsys against the Windows functions it reproduces elsewhere: here they are the real ones, so
// any disagreement is a fault in qmsys's reading of Windows (or in the system's, which the
// failure then names).
#include "qmtest/win32.h"
// After windows.h, which it needs:
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "qmsys/files.h"
#include "qmsys/module.h"
#include "qmsys/process.h"
#include "qmsys/text.h"
#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/scoped_env.h"
#include "qmtest/temp_dir.h"
#include "qmtest/wait.h"

namespace {

using qmtest::wide;

std::string narrow(const std::wstring& text) {
    return qmsys::utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

std::vector<std::string> systemSplit(const std::string& line) {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(wide(line).c_str(), &count);
    std::vector<std::string> args;
    for (int i = 0; argv && i < count; ++i) {
        args.push_back(narrow(argv[i]));
    }
    ::LocalFree(argv);
    return args;
}

// Every rule of the grammar: blanks, quotes, backslash runs before quotes and elsewhere, the
// program name's own rules, doubled quotes in and out of quotes.
TEST(Win32Reference, SplitCommandLineAgreesWithCommandLineToArgvW) {
    const char* lines[] = {
        "prog a b",
        "prog \t a  \tb  ",
        "p \"abc\" d e",
        "p a\\\\\\b d\"e f\"g h",
        "p a\\\\\\\"b c d",
        "p a\\\\\\\\\"b c\" d e",
        "p \"C:\\dir\\\\\" next",
        "p \"\" x",
        "p \"a\"\"b\"",
        "p \"a\"\"\"b\"",
        "p a\"\"b",
        "p \"\"\"\" x",
        "p \"\"\"\"\"\" x",
        "p \"a b",
        "p a\\",
        "p \\\"",
        "p \"a\\\\\"",
        "\"C:\\Program Files\\Tool\\x.exe\" -v",
        "C:\\dir\\\"x a",
        "\"/opt/my app\"tail x",
        "\"unterminated program",
        "p \xC3\xA4\xCE\xA9 \"\xF0\x9F\x98\x80 x\"",
        "p a\"b c\"d",
        "p \"a\\\"b\"",
        "p \\\\\\\\",
        "p \"\\\\\\\\\" tail",
        "p x\"\"\"y",
    };
    for (const char* line : lines) {
        EXPECT_EQ(qmsys::splitCommandLine(line), systemSplit(line)) << line;
    }
}

// What joinCommandLine writes, the system splits back into the same arguments.
TEST(Win32Reference, JoinedCommandLinesSplitBackIntoTheirArguments) {
    const std::vector<std::vector<std::string>> cases = {
        {"prog", "a", "b"},
        {"C:\\Program Files\\Tool\\x.exe", "two words", ""},
        {"prog", "a\"b", "tail\\", "mid\\dle", "\\\\\"", "\\\\ x\\\\"},
        {"prog", "\t", "\"\"", "\xC3\xA4 \xF0\x9F\x98\x80"},
        {""},
    };
    for (const auto& argv : cases) {
        const std::string line = qmsys::joinCommandLine(argv);
        EXPECT_EQ(systemSplit(line), argv) << line;
        EXPECT_EQ(qmsys::splitCommandLine(line), argv) << line;
    }
}

// Texts whose pairs cover ASCII case, the characters between 'Z' and 'a', letters beyond
// ASCII (which _wcsicmp does not fold), private use and characters above U+FFFF.
const std::vector<std::string>& orderTexts() {
    static const std::vector<std::string> texts = {
        "",
        "a",
        "A",
        "b",
        "Z",
        "_",
        "[",
        "`",
        "{",
        "ab",
        "aB",
        "KRQM_Base",
        "krqm_base",
        "krqm",
        "\xC3\xA4",
        "\xC3\x84",  // ä, Ä
        "\xCF\x89",
        "\xCE\xA9",          // ω, Ω
        "\xEE\x80\x80",      // U+E000
        "\xEF\xBF\xBD",      // U+FFFD
        "\xF0\x9F\x98\x80",  // U+1F600
    };
    return texts;
}

TEST(Win32Reference, CaseComparisonAgreesWithWcsicmpAndOrderWithWcscmp) {
    int pairs = 0;
    for (const std::string& a : orderTexts()) {
        for (const std::string& b : orderTexts()) {
            const std::wstring wa = wide(a);
            const std::wstring wb = wide(b);
            EXPECT_EQ(sign(qmsys::icompare(a, b)), sign(::_wcsicmp(wa.c_str(), wb.c_str())))
                << a << " | " << b;
            EXPECT_EQ(sign(qmsys::compareUtf16(a, b)), sign(std::wcscmp(wa.c_str(), wb.c_str())))
                << a << " | " << b;
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 441);
}

// The names the system's own search finds for a pattern, in no particular order.
std::set<std::string> systemMatches(const std::string& folder, const std::string& pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileExW(wide(folder + "\\" + pattern).c_str(), FindExInfoBasic,
                                           &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = narrow(data.cFileName);
        if (name != "." && name != "..") {
            names.insert(name);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

TEST(Win32Reference, FileNameMatchingAgreesWithFindFirstFileExW) {
    qmtest::TempDir dir;
    for (const char* name :
         {"KRQM_Base_ENU.mnu", "krqm_base.mnl", "KRQM_Base.lsp", "readme", "readme.txt",
          "notes.txt.bak", "a_b.mnu", "C.MNU", "\xC3\x96sterreich.xml", "\xCF\x89mega.xml",
          "Stra\xC3\x9F"
          "e.xml",
          "\xEF\xBD\x81x.dat"}) {
        qmtest::writeFile(dir / name, "");
    }
    ASSERT_EQ(systemMatches(dir.path(), "*").size(), 12u);
    for (const char* pattern : {"*", "*.*", "*.mnu", "*.MNU", "krqm_*", "KRQM_BASE_enu.MNU",
                                "*base*", "*.txt", "readme.*", "\xC3\xB6*", "\xCE\xA9*",
                                "STRASSE.xml", "*.bak", "*x.dat", "\xEF\xBC\xA1*", "missing*"}) {
        const std::vector<std::string> ours = qmsys::findFiles(dir.path(), pattern);
        EXPECT_EQ(std::set<std::string>(ours.begin(), ours.end()),
                  systemMatches(dir.path(), pattern))
            << pattern;
    }
}

std::u16string systemUtf16(const std::string& utf8) {
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return std::u16string(out.begin(), out.end());
}

// Well-formed text converts exactly as the system converts it. Broken text becomes U+FFFD where
// it is broken and nothing else, in both; qmsys makes one U+FFFD of a lead byte and the
// continuation bytes it announces, where the system may make one of each byte (see
// utf8ToUtf16).
TEST(Win32Reference, Utf8ConversionAgreesWithMultiByteToWideChar) {
    for (const char* text : {"A", "\xC3\xA4\xE2\x82\xAC", "\xF0\x9F\x98\x80 x", "\xEF\xBF\xBD",
                             "\xED\x9F\xBF", "\xEE\x80\x80"}) {
        EXPECT_EQ(qmsys::utf8ToUtf16(text), systemUtf16(text)) << text;
    }
    for (const char* text :
         {"a\xC3z", "\x80z", "\xC0\xAFz", "\xED\xA0\x80z", "\xF0\x9F\x98z", "\xFFz"}) {
        const std::u16string ours = qmsys::utf8ToUtf16(text);
        const std::u16string system = systemUtf16(text);
        const auto replacementsOnly = [](std::u16string s) {
            std::erase(s, u'\xFFFD');
            return s;
        };
        EXPECT_EQ(replacementsOnly(ours), replacementsOnly(system)) << text;
        EXPECT_GE(system.size(), ours.size()) << text;
        EXPECT_NE(ours.find(u'\xFFFD'), std::u16string::npos) << text;
    }
}

// The arguments qm_argv_writer recorded in file, each ended by a NUL.
std::vector<std::string> recordedArguments(const std::string& file) {
    std::vector<std::string> recorded;
    const std::optional<std::string> written = qmtest::readFileOnceThere(file);
    if (!written) {
        throw std::runtime_error("cannot read " + file);
    }
    const std::string& raw = *written;
    for (std::size_t begin = 0, nul; (nul = raw.find('\0', begin)) != std::string::npos;
         begin = nul + 1) {
        recorded.push_back(raw.substr(begin, nul - begin));
    }
    return recorded;
}

// CreateProcessW reads the program from the line and the program gets its arguments as
// CommandLineToArgvW splits the line; the environment it inherits is the one getenv sees.
TEST(Win32Reference, StartedProgramGetsItsArgumentsAsTheSystemSplitsThem) {
    qmtest::TempDir dir;
    const std::string out = dir / "argv";
    const qmtest::ScopedEnv outEnv("QM_ARGV_OUT", out);
    const std::string writer = qmtest::binDir() + "/qm_argv_writer";
    // The program is quoted, as a build folder may have a space in its name.
    const std::string line = '"' + writer + "\" \"two words\" a\\\"b \"tail\\\\\" \"\" plain";
    int pid = 0;
    ASSERT_EQ(qmsys::startProcess(line, &pid), qmsys::kErrorSuccess);
    EXPECT_GT(pid, 0);
    ASSERT_TRUE(qmtest::waitForFile(out));
    const std::vector<std::string> recorded = recordedArguments(out);
    EXPECT_EQ(recorded, systemSplit(line));
    EXPECT_EQ(recorded, qmsys::splitCommandLine(line));

    // The detached launcher quotes its arguments so that the program gets them unchanged.
    std::filesystem::remove(qmtest::fsPath(out));
    const std::vector<std::string> arguments = {"two words", "a\"b", "", "tail\\", "\\\\ x"};
    ASSERT_EQ(qmsys::startDetached(writer, arguments, &pid), qmsys::kErrorSuccess);
    ASSERT_TRUE(qmtest::waitForFile(out));
    std::vector<std::string> expected = {writer};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(recordedArguments(out), expected);

    EXPECT_EQ(qmsys::startProcess(dir / "absent.exe -x"), qmsys::kErrorFileNotFound);
    EXPECT_EQ(qmsys::startProcess(dir / "nowhere/absent.exe"), qmsys::kErrorPathNotFound);
    EXPECT_EQ(qmsys::startProcess("   "), qmsys::kErrorFileNotFound);
}

// How CreateProcessW reads the program when the line does not quote it, searches PATH for a
// bare name, and refuses what is no program.
TEST(Win32Reference, ProgramsAreFoundAndRefusedAsCreateProcessWDoes) {
    qmtest::TempDir dir;
    const std::string out = dir / "argv";
    const qmtest::ScopedEnv outEnv("QM_ARGV_OUT", out);
    const std::string writer = qmtest::binDir() + "/qm_argv_writer.exe";

    // "<dir>/My" does not exist, so the name runs on to the next blank.
    const std::string folder = dir / "My Tools";
    std::filesystem::create_directories(qmtest::fsPath(folder));
    std::filesystem::copy_file(qmtest::fsPath(writer), qmtest::fsPath(folder + "/writer.exe"));
    ASSERT_EQ(qmsys::startProcess(folder + "/writer.exe x  y"), qmsys::kErrorSuccess);
    ASSERT_TRUE(qmtest::waitForFile(out));
    EXPECT_EQ(recordedArguments(out), (std::vector<std::string>{folder + "/writer.exe", "x", "y"}));

    // A bare name is looked up on PATH, ".exe" added.
    std::filesystem::remove(qmtest::fsPath(out));
    {
        const qmtest::ScopedEnv path("PATH", dir / "absent;" + folder);
        ASSERT_EQ(qmsys::startProcess("writer hello"), qmsys::kErrorSuccess);
    }
    ASSERT_TRUE(qmtest::waitForFile(out));
    EXPECT_EQ(recordedArguments(out), (std::vector<std::string>{"writer", "hello"}));

    // A file that is no program.
    qmtest::writeFile(dir / "script.exe", "echo no program\n");
    EXPECT_EQ(qmsys::startProcess(dir / "script.exe"), qmsys::kErrorBadExeFormat);
    EXPECT_EQ(qmsys::startProcess("qm-no-such-program"), qmsys::kErrorFileNotFound);
}

std::string fileName(const std::string& path) {
    return path.substr(path.find_last_of("/\\") + 1);
}

// The module an address lies in, the program's own file, and libraries loaded by path with
// their exports, as the system's loader has them.
TEST(Win32Reference, ModulesAreTheOnesTheSystemLoaded) {
    EXPECT_EQ(fileName(qmsys::moduleFileOf(reinterpret_cast<const void*>(&fileName))),
              "system_text_test.exe");
    // A function of the system library, by its address there (taking its address here would
    // give this program's import stub).
    std::string why;
    const qmsys::Library system = qmsys::Library::open(
        qmtest::binDir() + "/libqm_system" + std::string(qmsys::kModuleSuffix), why);
    ASSERT_TRUE(system.isOpen()) << why;
    const void* isAscii =
        system.symbol("_ZN5qmsys7isAsciiESt17basic_string_viewIcSt11char_traitsIcEE", why);
    ASSERT_NE(isAscii, nullptr) << why;
    EXPECT_EQ(fileName(qmsys::moduleFileOf(isAscii)), "libqm_system.dll");

    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(folder, MAX_PATH), 0u);
    const qmsys::Library kernel = qmsys::Library::open(narrow(folder) + "/kernel32.dll", why);
    ASSERT_TRUE(kernel.isOpen()) << why;
    EXPECT_EQ(kernel.symbol("GetTickCount", why),
              reinterpret_cast<void*>(
                  ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTickCount")));
    why.clear();
    EXPECT_EQ(kernel.symbol("NoSuchFunctionAnywhere", why), nullptr);
    EXPECT_NE(why, "");
    why.clear();
    EXPECT_FALSE(qmsys::Library::open(narrow(folder) + "/no-such-library.dll", why).isOpen());
    EXPECT_NE(why, "");
}

}  // namespace
