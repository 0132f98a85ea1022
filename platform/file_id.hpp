#pragma once
// The identity of a file on disk, whatever name reaches it: two paths, or a
// path and an open file, name the same file when their ids are equal.
#include <sys/types.h>

namespace platform {

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

}  // namespace platform
