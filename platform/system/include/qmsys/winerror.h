#pragma once
// Windows error codes that the platform services report. Messages shown to users quote these
// numbers, so callers compare against them rather than against errno.
#include <cstdint>

namespace qmsys {

using WinError = std::uint32_t;

inline constexpr WinError kErrorSuccess = 0;
inline constexpr WinError kErrorFileNotFound = 2;
inline constexpr WinError kErrorPathNotFound = 3;
inline constexpr WinError kErrorTooManyOpenFiles = 4;
inline constexpr WinError kErrorAccessDenied = 5;
inline constexpr WinError kErrorNotEnoughMemory = 8;
inline constexpr WinError kErrorNotSameDevice = 17;
inline constexpr WinError kErrorWriteProtect = 19;
inline constexpr WinError kErrorGenFailure = 31;
inline constexpr WinError kErrorSharingViolation = 32;
inline constexpr WinError kErrorLockViolation = 33;
inline constexpr WinError kErrorHandleDiskFull = 39;
inline constexpr WinError kErrorFileExists = 80;
inline constexpr WinError kErrorInvalidParameter = 87;
inline constexpr WinError kErrorDiskFull = 112;
inline constexpr WinError kErrorInvalidName = 123;
inline constexpr WinError kErrorDirNotEmpty = 145;
inline constexpr WinError kErrorAlreadyExists = 183;
inline constexpr WinError kErrorBadExeFormat = 193;
inline constexpr WinError kErrorFilenameExcedRange = 206;
inline constexpr WinError kErrorFileTooLarge = 223;
inline constexpr WinError kErrorIoDevice = 1117;
inline constexpr WinError kErrorTimeout = 1460;
inline constexpr WinError kErrorCantResolveFilename = 1921;

// Maps an errno value to the closest Windows error code; unknown values map to
// kErrorAccessDenied's neighbour ERROR_GEN_FAILURE (31) so that a failure never reads as 0.
// EEXIST maps to kErrorFileExists (80); operations on folders report kErrorAlreadyExists
// (183) themselves. errno 0 also gives 31: callers only ask after something failed.
WinError winErrorFromErrno(int err);

}  // namespace qmsys
