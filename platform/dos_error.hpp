#pragma once
// DOS-style result codes. The engine reports every operating-system failure
// with these numbers, so callers and stored error texts see the codes they
// always have, whatever the host system says.

namespace platform {

enum DosError : int {
    kOk = 0,
    kFileNotFound = 2,
    kPathNotFound = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kInvalidHandle = 6,
    kNotEnoughMemory = 8,
    kNotSameDevice = 17,
    kWriteProtected = 19,
    kSharingViolation = 32,
    kLockViolation = 33,
    kDiskRead = 100,
    kDiskWrite = 101,  // disk full or short write
    kNotLocked = 158,  // unlocking a range this handle does not hold
};

// Maps an errno value to its DOS code.
int DosErrorFromErrno(int err);
// DosErrorForPath, which asks the file system, is in platform/paths.hpp.

}  // namespace platform
