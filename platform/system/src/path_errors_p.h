#pragma once
// Error reporting helpers shared by the file services.
#include <string>

#include "qmsys/winerror.h"

namespace qmsys {

// Folder part of path ("." for a bare name, "/" for an entry of the root).
std::string parentFolder(const std::string& path);

// The Windows code for an operation on path that failed with err. Windows tells a missing
// file (2) from a missing folder on the way to it (3); POSIX says ENOENT for both, so the
// parent folder decides.
WinError pathError(const std::string& path, int err);

// After an operation on the whole path failed with err: the path of the entry it names in
// another letter case (resolveLetterCase), or empty when err is no missing entry, when there
// is none, or when it is path itself.
std::string resolveMissingPath(const std::string& path, int err);

}  // namespace qmsys
