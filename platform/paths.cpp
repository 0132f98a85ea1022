#include "platform/paths.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/codepage.hpp"
#include "platform/dos_error.hpp"

namespace platform {

namespace {

bool NameExists(const std::string& ansi) {
    struct stat st {};
    return lstat(AnsiToUtf8(ansi).c_str(), &st) == 0;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AnsiUpper(a[i]) != AnsiUpper(b[i])) return false;
    return true;
}

// Case-insensitive order, exact bytes breaking ties, so listings are stable.
bool LessNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ua = static_cast<unsigned char>(AnsiUpper(a[i]));
        const auto ub = static_cast<unsigned char>(AnsiUpper(b[i]));
        if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The ANSI name of a directory entry, or nothing when the name has
// characters the page cannot hold (it could not be named from here).
std::optional<std::string> EntryName(const char* host_name) {
    std::string ansi = Utf8ToAnsi(host_name);
    if (AnsiToUtf8(ansi) != host_name) return std::nullopt;
    return ansi;
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The entry of `dir` whose name equals `name` without regard to case; the
// lowest in byte order when several do.
std::optional<std::string> FindNoCase(const std::string& dir, std::string_view name) {
    DirHandle d(opendir(AnsiToUtf8(dir.empty() ? std::string(".") : dir).c_str()));
    if (!d) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* e = readdir(d.get())) {
        if (IsDotOrDotDot(e->d_name)) continue;
        std::optional<std::string> ansi = EntryName(e->d_name);
        if (!ansi || !EqualNoCase(*ansi, name)) continue;
        if (!best || *ansi < *best) best = std::move(ansi);
    }
    return best;
}

size_t LastSlash(const std::string& path) { return path.find_last_of('/'); }

// "dir/" for "dir/name", "/" for "/name", "" for "name".
std::string DirectoryPart(const std::string& path) {
    const size_t slash = LastSlash(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const size_t slash = LastSlash(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The directory part of a path, resolved, still ending in '/'.
std::string ResolveDirectoryPart(const std::string& path) {
    std::string dir = DirectoryPart(path);
    if (dir.size() <= 1) return dir;
    dir.pop_back();
    return ResolveExisting(dir) + '/';
}

std::string ExtensionInBaseCase(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return name;
    bool has_lower = false, has_upper = false;
    for (size_t i = 0; i < dot; ++i) {
        const char c = name[i];
        if (AnsiUpper(c) != c)
            has_lower = true;
        else if (AnsiLower(c) != c)
            has_upper = true;
    }
    if (has_lower == has_upper) return name;  // mixed, or no letters at all
    const std::string_view ext(name.data() + dot + 1, name.size() - dot - 1);
    return name.substr(0, dot + 1) + (has_lower ? AnsiLower(ext) : AnsiUpper(ext));
}

std::string CurrentDirectory() {
    std::string buf(256, '\0');
    for (;;) {
        if (getcwd(buf.data(), buf.size())) {
            buf.resize(std::char_traits<char>::length(buf.c_str()));
            return Utf8ToAnsi(buf);
        }
        if (errno != ERANGE) return "/";
        buf.resize(buf.size() * 2);
    }
}

// '*' any run, '?' one character, letters without case.
bool GlobMatch(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0;
    size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || AnsiUpper(pattern[p]) == AnsiUpper(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

std::string ResolveExisting(const std::string& path) {
    if (path.empty() || NameExists(path)) return path;

    std::string out;
    size_t pos = 0;
    if (path[0] == '/') {
        out = "/";
        pos = 1;
    }
    for (;;) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string_view part(path.data() + pos, end - pos);
        if (part.empty() || part == "." || part == "..") {
            out += part;
        } else {
            const size_t base = out.size();
            out += part;
            if (!NameExists(out)) {
                out.resize(base);
                std::optional<std::string> match = FindNoCase(out, part);
                if (!match) return path;
                out += *match;
            }
        }
        if (end == path.size()) break;
        out += '/';
        pos = end + 1;
    }
    return out;
}

std::string ResolveForCreate(const std::string& path) {
    const std::string existing = ResolveExisting(path);
    if (NameExists(existing)) return existing;
    return ResolveDirectoryPart(path) + ExtensionInBaseCase(NamePart(path));
}

std::string AbsolutePath(const std::string& path) {
    const std::string full = !path.empty() && path[0] == '/' ? path : CurrentDirectory() + '/' + path;
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos <= full.size()) {
        const size_t end = std::min(full.find('/', pos), full.size());
        const std::string_view part(full.data() + pos, end - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    if (parts.empty()) return "/";
    std::string out;
    for (std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out;
}

int IdentifyFile(const std::string& path, FileId& id) {
    id = FileId{};
    const std::string resolved = ResolveExisting(path);
    struct stat st {};
    if (stat(AnsiToUtf8(resolved).c_str(), &st) != 0) return DosErrorForPath(errno, resolved);
    id = FileId{st.st_dev, st.st_ino};
    return kOk;
}

std::string FinalPath(const std::string& path) {
    char* resolved = ::realpath(AnsiToUtf8(path).c_str(), nullptr);
    if (!resolved) return path;
    std::string result = Utf8ToAnsi(resolved);
    std::free(resolved);
    return result;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(AnsiToUtf8(ResolveExisting(path)).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return lstat(AnsiToUtf8(ResolveExisting(path)).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    const std::string source = ResolveExisting(from);
    const std::string host_source = AnsiToUtf8(source);
    struct stat st {};
    if (lstat(host_source.c_str(), &st) != 0) return DosErrorForPath(errno, source);

    std::string target = ResolveForCreate(to);
    if (target == source) {
        // Only the case differs: the new spelling is the one asked for.
        target = ResolveDirectoryPart(to) + NamePart(to);
        if (target == source) return kOk;
    }
    const std::string host_target = AnsiToUtf8(target);

    // A file someone has open cannot be renamed, as on the original platform;
    // holding it exclusively also keeps newcomers out while it moves.
    File guard;
    if (S_ISREG(st.st_mode) && guard.Open(source, Access::Read, Share::Exclusive) == kSharingViolation)
        return kSharingViolation;

    if (const int fault = TakeFileFault(FileOp::Rename)) return fault;
    if (renameat2(AT_FDCWD, host_source.c_str(), AT_FDCWD, host_target.c_str(), RENAME_NOREPLACE) == 0) return kOk;
    int err = errno;
    if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
        // No atomic no-replace rename on this file system: a hard link
        // cannot replace anything either.
        if (link(host_source.c_str(), host_target.c_str()) == 0) {
            if (unlink(host_source.c_str()) == 0) return kOk;
            err = errno;
            unlink(host_target.c_str());
        } else {
            err = errno;
            if (err == EPERM && S_ISDIR(st.st_mode)) {
                struct stat existing {};
                if (lstat(host_target.c_str(), &existing) == 0) return kAccessDenied;
                if (rename(host_source.c_str(), host_target.c_str()) == 0) return kOk;
                err = errno;
            }
        }
    }
    return DosErrorForPath(err, target);
}

int RemoveFile(const std::string& path) {
    const std::string resolved = ResolveExisting(path);
    const std::string host = AnsiToUtf8(resolved);
    struct stat st {};
    if (lstat(host.c_str(), &st) != 0) return DosErrorForPath(errno, resolved);
    // A read-only file and an open file cannot be erased, as on the original
    // platform.
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return kAccessDenied;
    File guard;
    if (S_ISREG(st.st_mode) && guard.Open(resolved, Access::Read, Share::Exclusive) == kSharingViolation)
        return kSharingViolation;
    if (const int fault = TakeFileFault(FileOp::Remove)) return fault;
    if (unlink(host.c_str()) != 0) return DosErrorForPath(errno, resolved);
    return kOk;
}

std::string TempDirectory() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? Utf8ToAnsi(env) : std::string("/tmp");
    if (dir.back() != '/') dir += '/';
    return dir;
}

int CreateTempFile(const std::string& prefix, std::string& path) {
    path.clear();
    const std::string dir = TempDirectory();
    std::string host = AnsiToUtf8(dir + prefix) + "XXXXXX.TMP";
    if (const int fault = TakeFileFault(FileOp::Create)) return fault;
    const int fd = mkostemps(host.data(), 4, O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return DosErrorForPath(errno, dir + prefix);
    ::close(fd);
    path = Utf8ToAnsi(host);
    return kOk;
}

int FreeDiskBytes(const std::string& path, uint64_t& bytes) {
    bytes = 0;
    const std::string resolved = ResolveExisting(path.empty() ? std::string(".") : path);
    struct statvfs vfs {};
    if (statvfs(AnsiToUtf8(resolved).c_str(), &vfs) != 0) return DosErrorForPath(errno, resolved);
    bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    return kOk;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    if (GlobMatch(pattern, name)) return true;
    const std::string_view p(pattern);
    // A trailing ".*" also matches a name without an extension ("*.*" any
    // name), and a trailing "." asks for exactly such a name.
    if (p.size() >= 2 && p.ends_with(".*")) return GlobMatch(p.substr(0, p.size() - 2), name);
    if (p.size() >= 2 && p.back() == '.' && p != ".." && name.find('.') == std::string::npos)
        return GlobMatch(p.substr(0, p.size() - 1), name);
    return false;
}

int FindFiles(const std::string& pattern, std::vector<DirEntry>& found) {
    found.clear();
    std::string dir = DirectoryPart(pattern);
    const std::string mask = NamePart(pattern);
    if (dir.size() > 1) dir = ResolveDirectoryPart(pattern);
    DirHandle d(opendir(dir.empty() ? "." : AnsiToUtf8(dir).c_str()));
    if (!d) {
        const int err = errno;
        return err == ENOENT || err == ENOTDIR ? kPathNotFound : DosErrorFromErrno(err);
    }
    if (mask.empty()) return kFileNotFound;

    const int dir_fd = dirfd(d.get());
    while (const dirent* e = readdir(d.get())) {
        if (IsDotOrDotDot(e->d_name)) continue;
        std::optional<std::string> name = EntryName(e->d_name);
        if (!name || !WildcardMatch(mask, *name)) continue;
        struct stat st {};
        if (fstatat(dir_fd, e->d_name, &st, 0) != 0 && fstatat(dir_fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // vanished since it was listed
        DirEntry entry;
        entry.name = std::move(*name);
        entry.directory = S_ISDIR(st.st_mode);
        entry.read_only = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        entry.hidden = entry.name[0] == '.';
        entry.size = entry.directory ? 0 : static_cast<uint64_t>(st.st_size);
        entry.modified = st.st_mtime;
        found.push_back(std::move(entry));
    }
    if (found.empty()) return kFileNotFound;
    std::sort(found.begin(), found.end(),
              [](const DirEntry& a, const DirEntry& b) { return LessNoCase(a.name, b.name); });
    return kOk;
}

}  // namespace platform
