#include "environment/diagnostic_log.h"

#include <qmsys/local_time.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "environment/switches.h"

namespace qm {

// Binary: lines end in '\n' on every system (a Windows text stream would write "\r\n"), so
// the log reads the same wherever it was written. A log nobody reads (a FIFO) never holds the
// host up: it stays disabled, or loses lines.
DiagnosticLog::DiagnosticLog(const std::string& file) : file_(qmsys::openLogFile(file)) {}

std::unique_ptr<DiagnosticLog> DiagnosticLog::fromEnvironment() {
    const std::string file = switches::logFile();
    if (!file.empty()) {
        return std::make_unique<DiagnosticLog>(file);
    }
    return std::make_unique<DiagnosticLog>();
}

void DiagnosticLog::write(std::string_view category, std::string_view text) {
    if (!file_) {
        return;
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    const std::tm tm = qmsys::localTime(t);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    std::lock_guard lock(mutex_);
    std::fprintf(file_.get(), "%s.%03d %.*s: %.*s\n", stamp, static_cast<int>(ms),
                 static_cast<int>(category.size()), category.data(), static_cast<int>(text.size()),
                 text.data());
    // A full pipe refused part of it: lost, and the stream left ready for the next line.
    if (std::fflush(file_.get()) != 0) {
        std::clearerr(file_.get());
    }
}

}  // namespace qm
