#include "qmtest/scoped_env.h"

#include <cstdlib>

namespace qmtest {

namespace {

// What getenv sees: on Windows the C run-time's copy of the environment, which _putenv_s
// changes (and SetEnvironmentVariableW does not).
void setVariable(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void unsetVariable(const std::string& name) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), "");  // an empty value removes the variable
#else
    unsetenv(name.c_str());
#endif
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        previous_ = old;
    }
    if (value) {
        setVariable(name_, *value);
    } else {
        unsetVariable(name_);
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        setVariable(name_, *previous_);
    } else {
        unsetVariable(name_);
    }
}

}  // namespace qmtest
