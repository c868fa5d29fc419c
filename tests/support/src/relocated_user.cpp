#include "qmtest/relocated_user.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "qmreg/registry.h"

namespace qmtest {

RelocatedUser::RelocatedUser(std::optional<std::string> appPath) {
    const std::pair<const char*, std::string> vars[] = {
        {"HOME", home()},
        {"XDG_CONFIG_HOME", dir_ / "home/.config"},
        {"XDG_DATA_HOME", dir_ / "home/.local/share"},
        {"XDG_STATE_HOME", stateDir()},
        {"XDG_RUNTIME_DIR", runtimeDir()},
        {"APPDATA", appData()},
        {"QM_REGISTRY_DIR", registryDir()},
    };
    for (const auto& [name, value] : vars) {
        std::filesystem::create_directories(value);
        env_.push_back(std::make_unique<ScopedEnv>(name, value));
    }
#if !defined(_WIN32)
    ::chmod(runtimeDir().c_str(), 0700);
#endif
    env_.push_back(std::make_unique<ScopedEnv>("QM_APP_PATH", appPath));
    env_.push_back(std::make_unique<ScopedEnv>("QM_LOG", std::nullopt));
    env_.push_back(std::make_unique<ScopedEnv>("QM_SAFE_MODE", std::nullopt));
}

RelocatedUser::~RelocatedUser() {
    try {
        qmreg::deleteRelocatedHives(registryDir());
    } catch (const qmreg::StoreError& e) {
        ADD_FAILURE() << e.what();
    }
}

std::vector<std::string> RelocatedUser::environment() const {
    std::vector<std::string> env;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                             "XDG_RUNTIME_DIR", "APPDATA", "QM_REGISTRY_DIR", "QM_APP_PATH"}) {
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
