#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qmtest {

// path (UTF-8) for std::filesystem and the streams, on every system.
std::filesystem::path fsPath(const std::string& path);
// The other way: a std::filesystem path as UTF-8, as the product's own functions take paths.
std::string utf8(const std::filesystem::path& path);

// A file's last-write time in nanoseconds since the epoch, read and set with all the precision
// the system keeps (std::filesystem of the Windows C++ run-time sets whole seconds only).
// lastWriteNs gives -1 for a path it cannot read; setLastWriteNs throws when it cannot set.
std::int64_t lastWriteNs(const std::string& path);
void setLastWriteNs(const std::string& path, std::int64_t ns);
// Now on the system clock, in the same unit.
std::int64_t nowNs();

// Writes content to path, creating missing folders.
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
// The content of a file that another process is making: waits for path to appear and to be
// readable (under Wine a file renamed into place stays closed to readers while the renaming
// program still holds its source); nullopt when it is not within timeout.
std::optional<std::string> readFileOnceThere(
    const std::string& path, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// POSIX only:
// Creates a FIFO at path (creating missing folders).
void makeFifo(const std::string& path);

// Runs work on a thread of its own and watches it until it returns. Whenever the thread is
// seen blocked in an open or a read of one of the FIFOs, that is noted, and each FIFO is
// opened for writing and closed, which gives the waiting reader its end of file. Returns
// whether work returned without ever being seen waiting on one; never hangs on a FIFO.
bool returnsWithoutWaitingOnFifos(const std::function<void()>& work,
                                  const std::vector<std::string>& fifos);

}  // namespace qmtest
