#pragma once
// A private user for one test: HOME, the XDG folders, APPDATA, QM_REGISTRY_DIR and TMPDIR all
// point into one temporary folder, so nothing touches the real user's files, registry or
// locks. Every other QM_ variable of the caller is unset for the test's time.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qmtest/scoped_env.h"
#include "qmtest/temp_dir.h"

namespace qmtest {

class RelocatedUser {
public:
    // appPath: value for QM_APP_PATH; nullopt leaves it unset (the built-in sample).
    explicit RelocatedUser(std::optional<std::string> appPath = std::nullopt);
    // Also deletes the private registry, which on Windows lies in the real one.
    ~RelocatedUser();
    RelocatedUser(const RelocatedUser&) = delete;
    RelocatedUser& operator=(const RelocatedUser&) = delete;
    const std::string& root() const { return dir_.path(); }
    std::string home() const { return dir_ / "home"; }
    std::string appData() const { return dir_ / "appdata"; }
    std::string registryDir() const { return dir_ / "registry"; }
    std::string runtimeDir() const { return dir_ / "runtime"; }
    std::string stateDir() const { return dir_ / "state"; }
    std::string tempDir() const { return dir_ / "tmp"; }
    // "NAME=value" entries for a child process that must see the same relocation.
    std::vector<std::string> environment() const;

private:
    TempDir dir_;
    std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// Fixture base: every test gets its own relocated user.
class RelocatedTest : public ::testing::Test {
protected:
    RelocatedUser user_;
};

// The build's program folder and the source tree, as absolute paths fixed when the tests
// were configured: independent of the working directory.
std::string binDir();
std::string sourceDir();
// The build's copy of the sample installation, with its ARX applications in Bin.
std::string sampleDir();
// A program of the build by its name: binDir()/name, with ".exe" on Windows.
std::string program(const std::string& name);
// qmtest_touch: a program that creates each file its arguments name (or updates its time), and
// exits 1 when one cannot be made; the same on every platform, unlike a system's own.
std::string touchProgram();

}  // namespace qmtest
