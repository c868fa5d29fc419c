#include "qmsys/winerror.h"

#include <cerrno>

namespace qmsys {

WinError winErrorFromErrno(int err) {
    switch (err) {
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EMFILE:
        case ENFILE:
            return kErrorTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:  // Windows refuses file operations on a folder with "access denied"
            return kErrorAccessDenied;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EXDEV:
            return kErrorNotSameDevice;
        case EROFS:
            return kErrorWriteProtect;
        case EBUSY:
        case ETXTBSY:
            return kErrorSharingViolation;
        case EWOULDBLOCK:
            return kErrorLockViolation;
        case EEXIST:
            return kErrorFileExists;
        case EINVAL:
            return kErrorInvalidParameter;
        case ENOSPC:
#if defined(EDQUOT)  // not in the Windows C run-time
        case EDQUOT:
#endif
        case EFBIG:
            return kErrorDiskFull;
        case EILSEQ:
            return kErrorInvalidName;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ENOEXEC:
            return kErrorBadExeFormat;
        case ENAMETOOLONG:
        case E2BIG:  // CreateProcessW reports an over-long command line this way
            return kErrorFilenameExcedRange;
        case EIO:
            return kErrorIoDevice;
        case ETIMEDOUT:
            return kErrorTimeout;
        case ELOOP:
            return kErrorCantResolveFilename;
        default:
            return kErrorGenFailure;
    }
}

}  // namespace qmsys
