#include "qmsys/files.h"

#if defined(_WIN32)
#include "qmtest/win32.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "qmtest/files.h"
#include "qmtest/temp_dir.h"

namespace {

using qmtest::readFile;
using qmtest::writeFile;

#if defined(_WIN32)
// 2009-02-13 23:31:30.1234567 UTC: NTFS keeps times in 100 ns ticks, so the last two digits
// cannot be kept.
constexpr std::int64_t kStampNs = 1234567890123456700;

void setModificationTime(const std::string& path, std::int64_t ns) {
    const HANDLE file = ::CreateFileW(qmtest::fsPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    const auto ticks = static_cast<std::uint64_t>(ns / 100 + 116444736000000000LL);
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &time));
    ::CloseHandle(file);
}
#else
// 2009-02-13 23:31:30.123456789 UTC: odd enough that a copy through whole seconds or
// microseconds would lose part of it.
constexpr std::int64_t kStampNs = 1234567890123456789;

void setModificationTime(const std::string& path, std::int64_t ns) {
    const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

mode_t permissions(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}
#endif

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CopyFileTest : public ::testing::Test {
protected:
    qmtest::TempDir dir_;
    const std::string src_ = dir_ / "src/menu.mnu";
    const std::string dst_ = dir_ / "dst/menu.mnu";

    void SetUp() override {
        writeFile(src_, "installed menu");
        std::filesystem::create_directories(dir_ / "dst");
    }
};

// The copy keeps the last-write time to the file system's precision, and the permission bits
// (on Windows the read-only attribute, which CopyFileW copies).
TEST_F(CopyFileTest, CopyKeepsNanosecondTimeAndPermissionBits) {
    setModificationTime(src_, kStampNs);
#if defined(_WIN32)
    ASSERT_EQ(qmsys::setReadOnly(src_, true), qmsys::kErrorSuccess);
#else
    ::chmod(src_.c_str(), 0640);
#endif

    ASSERT_EQ(qmsys::copyFile(src_, dst_, true), qmsys::kErrorSuccess);

    qmsys::FileAttributes a;
    ASSERT_EQ(qmsys::getFileAttributes(dst_, a), qmsys::kErrorSuccess);
    EXPECT_EQ(a.lastWriteNs, kStampNs);
    EXPECT_EQ(a.size, std::string("installed menu").size());
#if defined(_WIN32)
    EXPECT_TRUE(a.readOnly);
#else
    EXPECT_EQ(permissions(dst_), 0640u);
#endif
    EXPECT_EQ(readFile(dst_), "installed menu");
    EXPECT_EQ(entries(dir_ / "dst"), std::vector<std::string>{"menu.mnu"});
}

#if !defined(_WIN32)  // Windows keeps an open file from being replaced

TEST_F(CopyFileTest, OverwriteReplacesTheFileInsteadOfRewritingIt) {
    writeFile(dst_, "old user copy, longer than the new content");
    // A reader that opened the old copy keeps reading the whole old content: the new copy
    // arrives under the final name in one step, never truncated and refilled in place.
    const int reader = ::open(dst_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);

    ASSERT_EQ(qmsys::copyFile(src_, dst_, false), qmsys::kErrorSuccess);

    char buffer[128] = {};
    const ssize_t n = ::pread(reader, buffer, sizeof buffer - 1, 0);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0),
              "old user copy, longer than the new content");
    EXPECT_EQ(readFile(dst_), "installed menu");
    EXPECT_EQ(entries(dir_ / "dst"), std::vector<std::string>{"menu.mnu"});
}

#endif

struct CopyFailure {
    const char* label;
    std::string src;  // relative to the test folder
    std::string dst;
    bool failIfExists;
    qmsys::WinError expected;
};

void PrintTo(const CopyFailure& c, std::ostream* os) {
    *os << c.label;
}

class CopyFileFailureTest : public ::testing::TestWithParam<CopyFailure> {};

TEST_P(CopyFileFailureTest, ReportsTheWindowsCode) {
    qmtest::TempDir dir;
    writeFile(dir / "file", "x");
    writeFile(dir / "readonly", "keep");
    ASSERT_EQ(qmsys::setReadOnly(dir / "readonly", true), qmsys::kErrorSuccess);
    std::filesystem::create_directories(dir / "folder");
    const CopyFailure& c = GetParam();

    EXPECT_EQ(qmsys::copyFile(dir / c.src, dir / c.dst, c.failIfExists), c.expected);
    EXPECT_EQ(readFile(dir / "readonly"), "keep");
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"file", "folder", "readonly"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyFileFailureTest,
    ::testing::Values(
        CopyFailure{"missing source", "absent", "copy", false, qmsys::kErrorFileNotFound},
        CopyFailure{"missing source folder", "nowhere/file", "copy", false,
                    qmsys::kErrorPathNotFound},
        CopyFailure{"missing destination folder", "file", "nowhere/copy", false,
                    qmsys::kErrorPathNotFound},
        CopyFailure{"source is a folder", "folder", "copy", false, qmsys::kErrorAccessDenied},
        CopyFailure{"destination is a folder", "file", "folder", false, qmsys::kErrorAccessDenied},
        CopyFailure{"read-only destination", "file", "readonly", false, qmsys::kErrorAccessDenied},
        // Fail-if-exists leaves the destination alone.
        CopyFailure{"existing destination", "file", "readonly", true, qmsys::kErrorFileExists}),
    [](const auto& testCase) { return "case" + std::to_string(testCase.index); });

#if !defined(_WIN32)  // FIFOs, devices and symbolic links
// Something other than a regular file where an installation file is expected: refused at
// once, without waiting on it or copying without end, and with no temporary file left.
TEST(CopyFileSpecialSource, IsRefusedWithoutWaitingAndLeavesNothing) {
    qmtest::TempDir dir;
    qmtest::makeFifo(dir / "src/fifo.mnu");
    std::filesystem::create_symlink("/dev/zero", dir / "src/zero.mnu");
    std::filesystem::create_directories(dir / "dst");
    for (const char* name : {"fifo.mnu", "zero.mnu"}) {
        SCOPED_TRACE(name);
        qmsys::WinError copied = qmsys::kErrorSuccess;
        std::string read;
        qmsys::WinError readError = qmsys::kErrorSuccess;
        EXPECT_TRUE(qmtest::returnsWithoutWaitingOnFifos(
            [&] {
                copied = qmsys::copyFile(dir / "src" + "/" + name, dir / "dst" + "/" + name, false);
                readError = qmsys::readRegularFile(dir / "src" + "/" + name, 1 << 20, read);
            },
            {dir / "src/fifo.mnu"}));
        EXPECT_EQ(copied, qmsys::kErrorAccessDenied);
        EXPECT_EQ(readError, qmsys::kErrorAccessDenied);
        EXPECT_EQ(entries(dir / "dst"), std::vector<std::string>{});
    }
}

// What stands at the name being replaced, or at the name a predictable temporary would have:
// the new file takes the name, nothing is written through what was there, and no temporary
// file is left.
TEST(ReplaceFileContents, WritesANewFileWhateverStoodThere) {
    qmtest::TempDir dir;
    writeFile(dir / "victim", "keep");
    std::filesystem::create_directories(dir / "folder");
    struct Case {
        const char* label;
        std::function<void(const std::string& target)> plant;
        qmsys::WinError expected;
    };
    const std::vector<Case> cases{
        {"missing", [](const std::string&) {}, qmsys::kErrorSuccess},
        {"older file", [](const std::string& t) { writeFile(t, "a much longer old text"); },
         qmsys::kErrorSuccess},
        {"link to another file",
         [&](const std::string& t) { std::filesystem::create_symlink(dir / "victim", t); },
         qmsys::kErrorSuccess},
        {"links at the old temporary names",
         [&](const std::string& t) {
             for (const std::string& name : {t + ".tmp." + std::to_string(::getpid()),
                                             t + ".tmp." + std::to_string(::getpid()) + ".0"}) {
                 std::filesystem::create_symlink(dir / "victim", name);
             }
         },
         qmsys::kErrorSuccess},
        {"folder", [](const std::string& t) { std::filesystem::create_directories(t + "/x"); },
         qmsys::kErrorAccessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        qmtest::TempDir here;
        const std::string target = here / "list";
        c.plant(target);
        const auto before = entries(here.path());
        EXPECT_EQ(qmsys::replaceFileContents(target, "new\n", 0640), c.expected);
        EXPECT_EQ(readFile(dir / "victim"), "keep");
        if (c.expected == qmsys::kErrorSuccess) {
            EXPECT_FALSE(std::filesystem::is_symlink(target));
            EXPECT_EQ(readFile(target), "new\n");
            EXPECT_EQ(permissions(target), 0640u);
            auto after = before;
            if (std::find(after.begin(), after.end(), "list") == after.end()) {
                after.push_back("list");
                std::sort(after.begin(), after.end());
            }
            EXPECT_EQ(entries(here.path()), after);
        } else {
            EXPECT_EQ(entries(here.path()), before);
        }
    }
    EXPECT_EQ(qmsys::replaceFileContents(dir / "nowhere/list", "x", 0600),
              qmsys::kErrorPathNotFound);
}

#endif

TEST(ReadRegularFile, ReadsAtMostTheLimit) {
    qmtest::TempDir dir;
    writeFile(dir / "file", "12345");
    std::string out = "old";
    EXPECT_EQ(qmsys::readRegularFile(dir / "file", 4, out), qmsys::kErrorFileTooLarge);
    EXPECT_EQ(out, "");
    EXPECT_EQ(qmsys::readRegularFile(dir / "file", 5, out), qmsys::kErrorSuccess);
    EXPECT_EQ(out, "12345");
}

// A file's bytes stay as taken when the object moves, and when the file is replaced whole
// meanwhile, as a snapshot is; a count past the end gives the whole file.
TEST(FileBytes, HoldWhatWasTakenThroughAMoveAndAReplacement) {
    const std::string large(5000, 'x');
    const struct {
        std::string text;
        std::size_t count;
        std::string expected;
    } cases[] = {{"", 10, ""}, {"short", 3, "sho"}, {"short", 100, "short"}, {large, 5000, large}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.size());
        qmtest::TempDir dir;
        writeFile(dir / "file", c.text);
        qmsys::WinError error = qmsys::kErrorSuccess;
        qmsys::FileHandle opened = qmsys::openRegularFile(dir / "file", error);
        ASSERT_TRUE(opened);
        qmsys::FileBytes bytes;
        ASSERT_EQ(qmsys::FileBytes::take(opened, c.count, bytes), qmsys::kErrorSuccess);
        opened.reset();
        ASSERT_EQ(qmsys::replaceFileContents(dir / "file", "replaced", 0600), qmsys::kErrorSuccess);
        const qmsys::FileBytes moved = std::move(bytes);
        EXPECT_EQ(moved.view(), c.expected);
        EXPECT_TRUE(bytes.view().empty());  // NOLINT(bugprone-use-after-move): moved from
    }
}

TEST(CreateDirectory, ReportsExistingAndMissingParent) {
    qmtest::TempDir dir;
    EXPECT_EQ(qmsys::createDirectory(dir / "Menus"), qmsys::kErrorSuccess);
    EXPECT_EQ(qmsys::createDirectory(dir / "Menus"), qmsys::kErrorAlreadyExists);
    writeFile(dir / "plain", "");
    EXPECT_EQ(qmsys::createDirectory(dir / "plain"), qmsys::kErrorAlreadyExists);
    EXPECT_EQ(qmsys::createDirectory(dir / "a/b"), qmsys::kErrorPathNotFound);
    EXPECT_FALSE(qmsys::fileExists(dir / "a"));
}

// A path made absolute, and tidied, as text: the folder a relative path names, "." and ".."
// resolved without asking the file system, one separator.
TEST(AbsolutePath, IsTidiedAsText) {
    std::string current;
    ASSERT_EQ(qmsys::absolutePath(".", current), qmsys::kErrorSuccess);
    ASSERT_TRUE(qmsys::isAbsolutePath(current)) << current;
    if (current.back() == '/') {
        current.pop_back();  // "." names the folder, and POSIX's answer says so
    }
    const std::string root = current.substr(0, current.find('/') + 1);  // "/" or "C:/"
    const struct {
        std::string path, absolute;
    } cases[] = {
        {"a/./b/../c", current + "/a/c"},
        {root + "x//y/./z/..", root + "x/y/"},
        {root + "x/../../y", root + "y"},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(qmsys::absolutePath(c.path, out), qmsys::kErrorSuccess) << c.path;
        EXPECT_EQ(out, c.absolute) << c.path;
    }
    EXPECT_EQ(qmsys::tidyPath("a/./b/../c"), "a/c");
}

#if !defined(_WIN32)
// The write-protected files a reader left beside a store get the store's modes back once it
// may be written, and nothing else at those names is touched or waited on.
TEST(MatchOwnerWrite, ChangesOnlyTheUsersOwnWriteProtectedFile) {
    qmtest::TempDir dir;
    const std::string model = dir / "store";
    writeFile(model, "");
    ::chmod(model.c_str(), 0640);
    const std::string target = dir / "target";
    writeFile(target, "");
    ::chmod(target.c_str(), 0444);
    const struct {
        const char* name;
        std::function<void(const std::string&)> plant;
        qmsys::WinError expected;
        unsigned modeAfter;  // of the name itself, or of the link's target
    } cases[] = {
        {"write-protected",
         [](const std::string& p) {
             writeFile(p, "");
             ::chmod(p.c_str(), 0444);
         },
         qmsys::kErrorSuccess, 0640},
        {"writable",
         [](const std::string& p) {
             writeFile(p, "");
             ::chmod(p.c_str(), 0600);
         },
         qmsys::kErrorAccessDenied, 0600},
        {"link", [&](const std::string& p) { ASSERT_EQ(::symlink(target.c_str(), p.c_str()), 0); },
         qmsys::kErrorAccessDenied, 0444},
        {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0444), 0); },
         qmsys::kErrorAccessDenied, 0444},
        {"missing", [](const std::string&) {}, qmsys::kErrorFileNotFound, 0},
    };
    for (const auto& c : cases) {
        const std::string path = dir / c.name;
        c.plant(path);
        EXPECT_EQ(qmsys::matchOwnerWrite(path, model), c.expected) << c.name;
        struct stat st {};
        if (c.modeAfter != 0) {
            ASSERT_EQ(::stat(path.c_str(), &st), 0) << c.name;
            EXPECT_EQ(st.st_mode & 0777, c.modeAfter) << c.name;
        }
    }
    EXPECT_TRUE(qmsys::mayWrite(model));
    EXPECT_FALSE(qmsys::mayWrite(dir / "missing"));
    // As written: another letter case is another name here, whatever fileExists finds.
    EXPECT_TRUE(qmsys::existsAsWritten(model));
    EXPECT_TRUE(qmsys::fileExists(dir / "STORE"));
    EXPECT_FALSE(qmsys::existsAsWritten(dir / "STORE"));
}
#endif

}  // namespace
