#pragma once
// Root ignores file permissions: a test of what an ordinary user meets acts as one for a while
// (POSIX). The change covers every thread of the process, so the test runs in a process of its
// own (qmtest::inOwnProcess), which no other test shares.
#include <sys/types.h>

#include <string>

namespace qmtest {

// The user an ordinary-user test becomes when the tests run as root.
constexpr uid_t kNobody = 65534;

// For as long as it lives, the process acts as kNobody (user, group, no supplementary groups)
// when it runs as root, so that file permissions apply; root again afterwards, so that the test
// can tidy up. Does nothing when the process is no root.
class AsOrdinaryUser {
public:
    AsOrdinaryUser();
    ~AsOrdinaryUser();
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;
    // Whether file permissions now apply (false when the change failed).
    bool ordinary() const { return ordinary_; }

private:
    bool wasRoot_ = false;
    bool ordinary_ = false;
};

// The first folder on the way to path that an ordinary user may not pass through, or "" when
// it reaches path: a test whose ordinary user must get there skips when the caller's temporary
// folder is private (0700). "" too when not root.
std::string closedToOrdinaryUser(const std::string& path);

}  // namespace qmtest

// Skips the current test when an ordinary user could not reach path.
#define QMTEST_SKIP_UNLESS_ORDINARY_USER_REACHES(path)                                    \
    if (const std::string closed = ::qmtest::closedToOrdinaryUser(path); !closed.empty()) \
    GTEST_SKIP() << "an ordinary user may not pass through " << closed
