#pragma once
// Misuse of an interface whose precondition the product checks with assert(): each misuse must
// end the process at the assert that names it. Only builds that keep asserts (dev and ci) run
// these; callers skip under NDEBUG, which the product's code and the tests share.
#include <functional>
#include <initializer_list>

namespace qmtest {

struct Misuse {
    const char* label;
    std::function<void()> misuse;
    const char* message;  // a regular expression the assert's output must match
};

// Runs each misuse in a child process (so threads may be started in it) and expects it to die
// with message.
void expectEachStopsAtItsAssert(std::initializer_list<Misuse> cases);

}  // namespace qmtest
