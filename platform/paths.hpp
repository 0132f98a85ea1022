#pragma once
// File-system services in the engine's terms. Every name is in the ANSI page
// (converted to and from the host's UTF-8 here), and names are matched without
// regard to case because the engine upper-cases table names.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_id.hpp"

namespace platform {

// The path of an existing file or directory as it is spelled on disk: the
// exact spelling when it exists, otherwise each component matched without
// case. A path that matches nothing comes back unchanged.
std::string ResolveExisting(const std::string& path);

// The spelling to create a file under: an existing file (any case) keeps its
// spelling; otherwise the directory is resolved and the extension takes the
// case style of the base name ("accounts.DBF" becomes "accounts.dbf").
std::string ResolveForCreate(const std::string& path);

// Absolute, lexically normalised path ("." and ".." removed); relative paths
// are taken from the current directory.
std::string AbsolutePath(const std::string& path);

// The file a path finally names, symbolic links followed; the path itself when
// it names nothing.
std::string FinalPath(const std::string& path);

// Identity of an existing file (device, inode); 0 or a DOS code.
int IdentifyFile(const std::string& path, FileId& id);

bool IsDirectory(const std::string& path);
// Whether the path itself is a symbolic link (dangling or not).
bool IsSymbolicLink(const std::string& path);
// Whether the path is a symbolic link, or names a file that has other names
// too (a hard link): either way not a file that is only the caller's own.
bool IsLinked(const std::string& path);

// DosErrorFromErrno (platform/dos_error.hpp), but ENOENT becomes 3 (path not
// found) when the directory part of `path` does not exist.
int DosErrorForPath(int err, std::string_view path);

// The path with its directory resolved and its last component as written.
std::string ResolveDirectory(const std::string& path);

// RenameNoReplace and RemoveFile, which honour share modes, are in platform/file.hpp.

// The temporary folder ($TMPDIR, else /tmp), ending in '/'.
std::string TempDirectory();

// Free bytes for an unprivileged user on the file system holding `path`.
int FreeDiskBytes(const std::string& path, uint64_t& bytes);

struct DirEntry {
    std::string name;  // without directory
    bool directory = false;
    bool read_only = false;
    bool hidden = false;  // name starts with '.'
    uint64_t size = 0;
    time_t modified = 0;
};

// Case-insensitive DOS wildcard match: '*' any run, '?' one character;
// "*.*" also matches names without a dot.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Lists the entries of the pattern's directory whose names match its last
// component ("." and ".." excluded), sorted by name. 0, or 2 when nothing
// matches, or 3 when the directory does not exist.
int FindFiles(const std::string& pattern, std::vector<DirEntry>& found);

}  // namespace platform
