// The test ARX's way of taking the host down while it initialises: killed by the system, so
// that nothing of the host's own runs afterwards (no destructor, no exit handler).
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <csignal>
#endif

void dieNow() {
#if defined(_WIN32)
    ::TerminateProcess(::GetCurrentProcess(), 137);
#else
    std::raise(SIGKILL);
#endif
}
