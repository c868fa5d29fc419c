#pragma once
// The opt-in diagnostic log. The module loader reports nothing to the user for most failures
// (a rejected definition, a menu that would not load); integrators find them here. Enabled by
// QM_LOG=FILE; lines are appended as "<time> <category>: <text>". Never shown to the user.
//
// Thread-safe: the Options dialog's worker writes while the main thread may too. A log that
// cannot be opened stays disabled; logging never fails the caller.
#include <qmsys/files.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace qm {

class DiagnosticLog {
public:
    // A disabled log: every write is dropped.
    DiagnosticLog() = default;
    // Appends to file (created when missing).
    explicit DiagnosticLog(const std::string& file);
    ~DiagnosticLog() = default;
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // The log that QM_LOG names, or a disabled one.
    static std::unique_ptr<DiagnosticLog> fromEnvironment();

    bool enabled() const { return file_ != nullptr; }
    void write(std::string_view category, std::string_view text);

private:
    std::mutex mutex_;
    qmsys::StdioFile file_;
};

}  // namespace qm
