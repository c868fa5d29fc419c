#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// POSIX only:
// Creates a FIFO at path (creating missing folders).
void makeFifo(const std::string& path);

// Runs work on a thread of its own and waits at most bound for it. If it has not returned by
// then (it hangs in an open or read of one of the FIFOs), each FIFO is opened for writing and
// closed, which gives a waiting reader its end of file, and work is waited for again.
// Returns whether work had returned within bound; never hangs on a FIFO.
bool returnsWithoutWaitingOnFifos(const std::function<void()>& work,
                                  const std::vector<std::string>& fifos,
                                  std::chrono::milliseconds bound = std::chrono::seconds(10));

}  // namespace qmtest
