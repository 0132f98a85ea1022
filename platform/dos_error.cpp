#include "platform/dos_error.hpp"

#include <cerrno>

namespace platform {

int DosErrorFromErrno(int err) {
    switch (err) {
    case 0: return kOk;
    case ENOENT: return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return kPathNotFound;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EEXIST:
    case EBUSY:
    case ETXTBSY: return kAccessDenied;
    case EBADF: return kInvalidHandle;
    case ENOMEM: return kNotEnoughMemory;
    case EXDEV: return kNotSameDevice;
    case EROFS: return kWriteProtected;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EDEADLK: return kLockViolation;
    case EIO: return kDiskRead;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kDiskWrite;
    default: return kAccessDenied;
    }
}

}  // namespace platform
