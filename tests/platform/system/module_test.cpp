// Libraries opened and closed again, as the host does with ARX applications, and the
// program's own file.
#include "qmsys/module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "qmtest/files.h"
#include "qmtest/relocated_user.h"
#include "qmtest/temp_dir.h"

namespace {

using qmsys::ClosableLibrary;

const std::string& testLibrary() {
    static const std::string path =
        qmtest::binDir() + "/qm_test_library" + std::string(qmsys::kModuleSuffix);
    return path;
}

ClosableLibrary openTestLibrary() {
    std::string why;
    ClosableLibrary library = ClosableLibrary::open(testLibrary(), why);
    EXPECT_TRUE(library.isOpen()) << why;
    return library;
}

// Has the library write farewell when its static destructors run (when it is unloaded).
void sayFarewellTo(const ClosableLibrary& library, const std::string& farewell) {
    using SetFarewell = void (*)(const char*);
    const auto set = reinterpret_cast<SetFarewell>(library.symbol("qmTestSetFarewell"));
    ASSERT_NE(set, nullptr);
    set(farewell.c_str());
}

bool exists(const std::string& path) {
    return std::filesystem::exists(qmtest::fsPath(path));
}

// Opens are counted: the library is unloaded, its static destructors run, with the last close.
TEST(ClosableLibrary, StaysLoadedUntilItsLastOpenIsClosed) {
    qmtest::TempDir dir;
    const std::string farewell = dir / "farewell";
    ClosableLibrary first = openTestLibrary();
    ClosableLibrary second = openTestLibrary();
    ASSERT_TRUE(first.isOpen() && second.isOpen());
    EXPECT_EQ(first.handle(), second.handle()) << "one library, opened twice";
    sayFarewellTo(first, farewell);

    first.close();
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(first.symbol("qmTestAnswer"), nullptr);
    EXPECT_FALSE(exists(farewell)) << "still open through second";
    using Answer = int (*)();
    const auto answer = reinterpret_cast<Answer>(second.symbol("qmTestAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);

    second.close();
    EXPECT_EQ(qmtest::readFile(farewell), "unloaded\n");
}

// A moved library has one owner, which closes it once.
TEST(ClosableLibrary, AMovedLibraryIsClosedByItsNewOwner) {
    qmtest::TempDir dir;
    const std::string farewell = dir / "farewell";
    {
        ClosableLibrary moved;
        {
            ClosableLibrary original = openTestLibrary();
            sayFarewellTo(original, farewell);
            moved = std::move(original);
            EXPECT_FALSE(original.isOpen());
        }
        EXPECT_TRUE(moved.isOpen());
        EXPECT_FALSE(exists(farewell));
    }
    EXPECT_TRUE(exists(farewell));
}

TEST(ClosableLibrary, WhatCannotBeOpenedSaysWhy) {
    qmtest::TempDir dir;
    const std::string text = dir / "not_a_library.arx";
    qmtest::writeFile(text, "not a library\n");
    for (const std::string& path : {dir / "missing.arx", text}) {
        SCOPED_TRACE(path);
        std::string why;
        const ClosableLibrary library = ClosableLibrary::open(path, why);
        EXPECT_FALSE(library.isOpen());
        EXPECT_EQ(library.handle(), nullptr);
        EXPECT_NE(why.find(qmtest::fsPath(path).filename().string()), std::string::npos) << why;
    }
    const ClosableLibrary library = openTestLibrary();
    EXPECT_EQ(library.symbol("qmTestMissing"), nullptr);
}

TEST(ProgramFile, IsThisTestProgramByItsAbsolutePath) {
    const std::filesystem::path program = qmtest::fsPath(qmsys::programFile());
    EXPECT_TRUE(program.is_absolute()) << program;
    EXPECT_EQ(program.stem(), "system_files_test");
    EXPECT_TRUE(std::filesystem::exists(program));
}

}  // namespace
