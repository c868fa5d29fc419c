#include "qmtest/relocated_user.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "qmreg/registry.h"

#if defined(_WIN32)
#define QMTEST_ENVIRON _environ
#else
extern "C" char** environ;
#define QMTEST_ENVIRON environ
#endif

namespace qmtest {

namespace {

// The names of the product's own variables that whoever started the tests has set.
std::vector<std::string> inheritedProductVariables() {
    std::vector<std::string> names;
    for (char** entry = QMTEST_ENVIRON; entry != nullptr && *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (std::strncmp(*entry, "QM_", 3) == 0 && equals != nullptr) {
            names.emplace_back(*entry, static_cast<std::size_t>(equals - *entry));
        }
    }
    return names;
}

}  // namespace

RelocatedUser::RelocatedUser(std::optional<std::string> appPath) {
    const std::pair<const char*, std::string> vars[] = {
        {"HOME", home()},
        {"XDG_CONFIG_HOME", dir_ / "home/.config"},
        {"XDG_DATA_HOME", dir_ / "home/.local/share"},
        {"XDG_STATE_HOME", stateDir()},
        {"XDG_RUNTIME_DIR", runtimeDir()},
        {"APPDATA", appData()},
        {"QM_REGISTRY_DIR", registryDir()},
        // Temporary files of the test and of what it runs stay in its own folder, whatever
        // the caller's TMPDIR is named or allows.
        {"TMPDIR", tempDir()},
    };
    // Every other variable of the product starts unset: a test that needs one sets it. The
    // caller's (QM_NO_SNAPSHOT, QM_REGISTRY_BUSY_MS, QM_LOG...) would change what is tested.
    for (const std::string& name : inheritedProductVariables()) {
        if (name != "QM_REGISTRY_DIR" && name != "QM_APP_PATH") {
            env_.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
        }
    }
    for (const auto& [name, value] : vars) {
        std::filesystem::create_directories(value);
        env_.push_back(std::make_unique<ScopedEnv>(name, value));
    }
#if !defined(_WIN32)
    ::chmod(runtimeDir().c_str(), 0700);
#endif
    env_.push_back(std::make_unique<ScopedEnv>("QM_APP_PATH", appPath));
}

RelocatedUser::~RelocatedUser() {
    try {
        qmreg::deleteRelocatedHives(registryDir());
    } catch (const qmreg::StoreError& e) {
        ADD_FAILURE() << e.what();
    }
    // Restored last set first.
    while (!env_.empty()) {
        env_.pop_back();
    }
}

std::vector<std::string> RelocatedUser::environment() const {
    std::vector<std::string> env;
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR",
          "APPDATA", "QM_REGISTRY_DIR", "QM_APP_PATH", "TMPDIR"}) {
        if (const char* v = std::getenv(name)) {
            env.push_back(std::string(name) + "=" + v);
        }
    }
    return env;
}

std::string binDir() {
    return QM_TEST_BIN_DIR;
}
std::string sourceDir() {
    return QM_TEST_SOURCE_DIR;
}
std::string sampleDir() {
    return QM_TEST_SAMPLE_DIR;
}
std::string program(const std::string& name) {
#if defined(_WIN32)
    return binDir() + "/" + name + ".exe";
#else
    return binDir() + "/" + name;
#endif
}
std::string touchProgram() {
    return program("qmtest_touch");
}

}  // namespace qmtest
