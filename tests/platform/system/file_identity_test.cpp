// File identities, the racy-stamp rule, the handles that own what the system opens, and reads
// at an offset.
#include "qmsys/file_identity.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "qmsys/files.h"
#include "qmsys/handle.h"
#include "qmtest/files.h"
#include "qmtest/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kMark = 1'700'000'000 * kSecond;

qmsys::FileIdentity stamped(std::int64_t modified, std::int64_t changed) {
    qmsys::FileIdentity id;
    id.modifiedNs = modified;
    id.changedNs = changed;
    return id;
}

// The files this process has open: on Linux its descriptors; Windows has no such list, and
// the count is not checked there.
std::size_t openDescriptors() {
#if defined(_WIN32)
    return 0;
#else
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
#endif
}

#if defined(_WIN32)
constexpr std::size_t kCounted = 0;
#else
constexpr std::size_t kCounted = 1;
#endif

// A stamp vouches for the file only when the longest clock tick it may come from had ended by
// the mark; the tick shows in the stamp's trailing zeros.
TEST(FileIdentityStamps, AStampIsTrustedOnlyWhenItsTickEndedBeforeTheMark) {
    struct Case {
        const char* what;
        std::int64_t modified;
        std::int64_t changed;
        std::int64_t mark;
        bool trusted;
    };
    constexpr std::int64_t kMs = 1'000'000;
    constexpr std::int64_t kLongAgo = kMark - 60 * kSecond;
    const Case cases[] = {
        {"nanosecond stamps before the mark", kMark - 1, kMark - 1, kMark, true},
        {"a modification at the mark", kMark, kMark - 1, kMark, false},
        {"a status change at the mark", kMark - 1, kMark, kMark, false},
        {"a stamp after the mark", kMark + 5, kMark - 1, kMark, false},
        {"whole seconds, two before", kMark - 2 * kSecond, kLongAgo, kMark, true},
        {"whole seconds, one before: a two-second tick may still run", kMark - kSecond, kLongAgo,
         kMark, false},
        {"a 10 ms stamp whose tick ended", kMark - 10 * kMs, kLongAgo, kMark, true},
        {"a 10 ms stamp whose tick still ran", kMark - 10 * kMs, kLongAgo, kMark - 5 * kMs, false},
        {"a 100 ms stamp whose tick ended", kMark - 100 * kMs, kLongAgo, kMark, true},
        {"a 100 ms stamp whose tick still ran", kMark - 100 * kMs, kLongAgo, kMark - 50 * kMs,
         false},
        {"stamps before the epoch", -3 * kSecond - 1, -3 * kSecond - 1, kMark, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(stamped(c.modified, c.changed).stampedBefore(qmsys::FileClockMark{c.mark}),
                  c.trusted)
            << c.what;
    }
    // The rule never overflows at the clock's ends.
    EXPECT_FALSE(stamped(0, 0).stampedBefore(
        qmsys::FileClockMark{std::numeric_limits<std::int64_t>::min()}));
}

// A file is the same whether looked up by path or by name in its open folder; the folder's own
// identity is that of its path; replacing a file, even with its times put back, shows.
TEST(FileIdentityLookup, ByPathByNameInItsFolderAndAfterAReplace) {
    qmtest::TempDir dir;
    qmtest::writeFile(dir / "a.xml", "<a/>");
    const qmsys::FolderHandle folder = qmsys::FolderHandle::open(dir.path());
    ASSERT_TRUE(folder.isOpen());
    qmsys::FileIdentity byPath;
    qmsys::FileIdentity byName;
    ASSERT_TRUE(qmsys::identifyFile(dir / "a.xml", byPath));
    ASSERT_TRUE(qmsys::identifyFile("a.xml", byName, &folder));
    EXPECT_EQ(byPath, byName);
    EXPECT_EQ(byPath.size, 4u);
    qmsys::FileIdentity folderByPath;
    qmsys::FileIdentity folderItself;
    ASSERT_TRUE(qmsys::identifyFile(dir.path(), folderByPath));
    ASSERT_TRUE(qmsys::identifyFolder(folder, folderItself));
    EXPECT_EQ(folderByPath, folderItself);

    ASSERT_EQ(qmsys::replaceFileContents(dir / "a.xml", "<b/>", 0600), qmsys::kErrorSuccess);
    qmsys::FileIdentity replaced;
    ASSERT_TRUE(qmsys::identifyFile("a.xml", replaced, &folder));
    EXPECT_NE(replaced.inode, byPath.inode);
#if !defined(_WIN32)
    struct stat st {};
    ASSERT_EQ(::stat((dir / "a.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
#endif

    qmsys::FileIdentity missing;
    EXPECT_FALSE(qmsys::identifyFile("b.xml", missing, &folder));
    EXPECT_FALSE(qmsys::identifyFolder(qmsys::FolderHandle(), missing));
    EXPECT_FALSE(qmsys::FolderHandle::open(dir / "a.xml").isOpen()) << "a file is no folder";
}

// Whatever is opened is closed exactly once, by its last owner; reads at an offset append what
// the file holds there and stop at its end.
TEST(FileHandles, OwnersCloseOnceAndReadsAtAnOffsetStopAtTheEnd) {
    qmtest::TempDir dir;
    qmtest::writeFile(dir / "f", "0123456789");
    const std::size_t before = openDescriptors();
    {
        qmsys::WinError error = qmsys::kErrorSuccess;
        std::uint64_t size = 0;
        qmsys::FileHandle first = qmsys::openRegularFile(dir / "f", error, &size);
        ASSERT_TRUE(first);
        EXPECT_EQ(size, 10u);
        qmsys::FileHandle second = std::move(first);
        EXPECT_FALSE(first.valid());  // NOLINT(bugprone-use-after-move): moved-from is empty
        std::string out = "x";
        EXPECT_EQ(qmsys::readAt(second, 7, 100, out), qmsys::kErrorSuccess);
        EXPECT_EQ(out, "x789");
        EXPECT_EQ(qmsys::readAt(second, 2, 3, out), qmsys::kErrorSuccess);
        EXPECT_EQ(out, "x789234");
        EXPECT_EQ(qmsys::readAt(second, 50, 3, out), qmsys::kErrorSuccess);
        EXPECT_EQ(out, "x789234");
        qmsys::FolderHandle folder = qmsys::FolderHandle::open(dir.path());
        folder = qmsys::FolderHandle::open(dir.path());  // the first one is closed here
        EXPECT_EQ(openDescriptors(), before + 2 * kCounted);
        EXPECT_TRUE(second.close());
        EXPECT_TRUE(second.close()) << "nothing left to close";
        EXPECT_EQ(openDescriptors(), before + kCounted);
    }
    EXPECT_EQ(openDescriptors(), before);
    qmsys::WinError error = qmsys::kErrorSuccess;
    EXPECT_FALSE(qmsys::openRegularFile(dir.path(), error));
    EXPECT_EQ(error, qmsys::kErrorAccessDenied) << "a folder is no regular file";
}

}  // namespace
