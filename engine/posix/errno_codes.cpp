#include "engine/posix/errno_codes.h"

#include <cerrno>

#include "engine/win_codes.h"

namespace streamscan {

std::uint32_t windowsErrorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return kErrorAccessDenied;
        case ENOENT:
        case ENODATA:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case ENAMETOOLONG:
            return kErrorFilenameTooLong;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case EROFS:
            return kErrorWriteProtect;
        case EBUSY:
        case ETXTBSY:
            return kErrorSharingViolation;
        case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
        case EOPNOTSUPP:
#endif
            return kErrorNotSupported;
        default:
            return kErrorFromErrno | static_cast<std::uint32_t>(error);
    }
}

std::uint32_t lastError() {
    return windowsErrorFromErrno(errno);
}

}  // namespace streamscan
