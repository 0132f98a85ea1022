#include "platform/dos_error.hpp"

#include <cerrno>
#include <string>

#include "platform/paths.hpp"

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

int DosErrorForPath(int err, std::string_view path) {
    if (err != ENOENT) return DosErrorFromErrno(err);
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return kFileNotFound;  // the current directory exists
    if (slash == 0) return kFileNotFound;                       // the root exists
    return IsDirectory(std::string(path.substr(0, slash))) ? kFileNotFound : kPathNotFound;
}

}  // namespace platform
