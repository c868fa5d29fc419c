#pragma once
// File time stamps and the read-only attribute, as the menu-copy tests arrange and inspect
// them.
#include <chrono>
#include <cstdint>
#include <string>

namespace qmtest {

// Moves a file's modification time by delta.
void shiftMtime(const std::string& path, std::chrono::seconds delta);
// Modification time in nanoseconds since the epoch.
std::int64_t mtimeNs(const std::string& path);
// True when the owner-write bit is set.
bool isWritable(const std::string& path);
void makeReadOnly(const std::string& path);

}  // namespace qmtest
