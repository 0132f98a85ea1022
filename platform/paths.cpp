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

std::string ResolveDirectory(const std::string& path) { return ResolveDirectoryPart(path) + NamePart(path); }

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return lstat(AnsiToUtf8(ResolveExisting(path)).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsLinked(const std::string& path) {
    struct stat st {};
    if (lstat(AnsiToUtf8(ResolveExisting(path)).c_str(), &st) != 0) return false;
    return S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink > 1);
}

std::string TempDirectory() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? Utf8ToAnsi(env) : std::string("/tmp");
    if (dir.back() != '/') dir += '/';
    return dir;
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

int DosErrorForPath(int err, std::string_view path) {
    if (err != ENOENT) return DosErrorFromErrno(err);
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return kFileNotFound;  // the current directory exists
    if (slash == 0) return kFileNotFound;                       // the root exists
    return IsDirectory(std::string(path.substr(0, slash))) ? kFileNotFound : kPathNotFound;
}

}  // namespace platform
