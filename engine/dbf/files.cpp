#include "engine/dbf/files.hpp"

#include <algorithm>
#include <ctime>
#include <memory>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/settings.hpp"

namespace zurod {

namespace {

constexpr int64_t kFreeSpaceUnknown = 2147483647;
constexpr size_t kCopyBufferSize = size_t{1} << 20;
constexpr uint8_t kOpenReadDenyNone = 0x40;

std::vector<platform::DirEntry>& NotErased() { return Engine().not_erased; }

bool HasWildcards(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

// Offsets of the name (after the last '/') and of the extension's dot (the
// path's size when there is none).
struct Split {
    size_t name;
    size_t ext;
};
Split SplitAt(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t name = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const size_t ext = dot == std::string_view::npos || dot < name ? path.size() : dot;
    return {name, ext};
}

}  // namespace

bool FileExists(const std::string& name) {
    if (name.empty()) return false;
    std::vector<platform::DirEntry> found;
    if (platform::FindFiles(name, found) != 0) return false;
    return std::any_of(found.begin(), found.end(), [](const platform::DirEntry& e) { return !e.directory; });
}

std::string FileDateTimeStr(const std::string& name) {
    if (name.empty()) return {};
    std::vector<platform::DirEntry> found;
    if (platform::FindFiles(name, found) != 0) return {};
    const auto file =
        std::find_if(found.begin(), found.end(), [](const platform::DirEntry& e) { return !e.directory; });
    if (file == found.end()) return {};
    std::tm local{};
    const time_t modified = file->modified;
    if (!localtime_r(&modified, &local)) return {};
    const int year = local.tm_year + 1900;
    std::string text;
    {
        ErrorHandlingScope off(false);
        // A two-digit year stays two digits while the century is off.
        text = DateFrom(CenturyOn() ? year : year % 100, local.tm_mon + 1, local.tm_mday);
    }
    text += ' ';
    text += TimeStr(local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

void CopyFile(const std::string& source, const std::string& target) {
    SetLastErrorCode(0);
    const std::string where = " [CopyFile(" + source + "," + target + ")]";

    // Identity, not spelling: another case, a symbolic or a hard link would
    // otherwise truncate the source before it is read.
    platform::FileId source_id, target_id;
    if (platform::IdentifyFile(source, source_id) == 0 && platform::IdentifyFile(target, target_id) == 0 &&
        source_id == target_id) {
        RunError(220, "File cannot be copied onto itself." + where);
        return;
    }

    const OpenMode read_mode = DecodeOpenMode(EffectiveOpenMode(kOpenReadDenyNone));
    platform::File in;
    time_t modified = 0;
    int code = in.Open(source, read_mode.access, read_mode.share);
    if (code == 0) code = in.ModifiedTime(modified);
    if (code != 0) {
        RunError(static_cast<uint16_t>(code), "Error reading " + source + where);
        return;
    }

    const OpenMode write_mode = DecodeOpenMode(kOpenReadWrite);
    platform::File out;
    code = out.Open(target, write_mode.access, write_mode.share, platform::Disposition::CreateAlways);
    if (code != 0) {
        in.Close();
        RunError(static_cast<uint16_t>(code), "Error writing " + target + where);
        return;
    }

    const auto buffer = std::make_unique_for_overwrite<char[]>(kCopyBufferSize);
    const std::span<char> block(buffer.get(), kCopyBufferSize);
    uint64_t offset = 0;
    for (;;) {
        size_t got = 0;
        code = in.ReadAt(offset, block, got);
        if (code != 0) {
            in.Close();
            out.Close();
            RunError(static_cast<uint16_t>(code), "Error reading " + source + where);
            return;
        }
        if (got == 0) break;
        code = out.WriteAt(offset, block.first(got));
        if (code != 0) {
            in.Close();
            out.Close();
            RunError(static_cast<uint16_t>(code), "Error writing " + target + where);
            return;
        }
        offset += got;
        if (got < block.size()) break;
        IdleHook();
    }
    in.Close();
    // A copy whose date cannot be set is still a complete copy.
    out.SetModifiedTime(modified);
    out.Close();
}

void EraseFiles(const std::string& mask) {
    SetLastErrorCode(0);
    std::vector<platform::DirEntry>& not_erased = NotErased();
    not_erased.clear();

    if (!HasWildcards(mask)) {
        const int code = platform::RemoveFile(mask);
        if (code != 0) RunError(static_cast<uint16_t>(code), "Error erasing " + mask);
        return;
    }

    const std::string expanded = FExpand(mask);
    const std::string dir = expanded.substr(0, SplitAt(expanded).name);
    std::vector<platform::DirEntry> found;
    if (platform::FindFiles(expanded, found) != 0) return;
    int failed = 0;
    std::string path = dir;
    for (platform::DirEntry& entry : found) {
        // Only what a plain file search returns: no directories, no hidden files.
        if (entry.directory || entry.hidden) continue;
        path.resize(dir.size());
        path += entry.name;
        if (platform::RemoveFile(path) != 0) {
            ++failed;
            not_erased.push_back(std::move(entry));
        }
    }
    if (failed != 0) RunError(5, "Could not erase " + std::to_string(failed) + " files like " + mask);
}

const std::vector<platform::DirEntry>& NotErasedFiles() { return NotErased(); }

void RenameFile(const std::string& old_name, const std::string& new_name) {
    const int code = platform::RenameNoReplace(old_name, new_name);
    if (code != 0) {
        RunError(static_cast<uint16_t>(code), "Error renaming " + old_name + " to " + new_name);
        return;
    }
    SetLastErrorCode(0);
}

int64_t DiskFreeKB(const std::string& path) {
    uint64_t bytes = 0;
    if (platform::FreeDiskBytes(path.empty() ? std::string(".") : path, bytes) != 0) return kFreeSpaceUnknown;
    return static_cast<int64_t>(bytes / 1024);
}

int64_t DriveFreeKB(int drive) {
    // No drive letters here: only "the current drive" has a meaning.
    return drive == 0 ? DiskFreeKB({}) : kFreeSpaceUnknown;
}

std::string UniqueFilename() {
    std::string path;
    const int code = platform::CreateTempFile("TZP", path);
    if (code != 0) {
        RunError(static_cast<uint16_t>(code), "Error requesting unique file name [UniqueFilename]");
        return {};
    }
    return path;
}

std::string AddDefaultExt(const std::string& name, std::string_view ext) {
    const Split at = SplitAt(name);
    if (at.ext != name.size()) return name;
    size_t end = name.size();
    while (end > at.name && name[end - 1] == ' ') --end;
    std::string result = name.substr(0, end);
    result += '.';
    result += ext;
    return result;
}

std::string ForceExt(const std::string& name, std::string_view ext) {
    std::string result = name.substr(0, SplitAt(name).ext);
    result += '.';
    result += ext;
    return result;
}

std::string StripExt(const std::string& name) { return name.substr(0, SplitAt(name).ext); }

PathParts FSplit(const std::string& path) {
    const Split at = SplitAt(path);
    return {path.substr(0, at.name), path.substr(at.name, at.ext - at.name), path.substr(at.ext)};
}

std::string FExpand(const std::string& name) { return platform::AbsolutePath(name); }

std::string JustFilename(const std::string& path) {
    const Split at = SplitAt(path);
    return path.substr(at.name, at.ext - at.name);
}

std::string RealPath(const std::string& path) { return platform::ResolveExisting(path); }

int FindFirst(const std::string& pattern, SearchRec& rec) {
    rec.entry = {};
    rec.pending.clear();
    const int code = platform::FindFiles(pattern, rec.pending);
    SetLastErrorCode(static_cast<uint16_t>(code));
    if (code != 0) {
        rec.pending.clear();
        return code;
    }
    // pending holds the entries still to come, the next one last.
    std::reverse(rec.pending.begin(), rec.pending.end());
    return FindNext(rec);
}

int FindNext(SearchRec& rec) {
    constexpr int kNoMoreFiles = 18;
    if (rec.pending.empty()) {
        SetLastErrorCode(kNoMoreFiles);
        return kNoMoreFiles;
    }
    rec.entry = std::move(rec.pending.back());
    rec.pending.pop_back();
    SetLastErrorCode(0);
    return 0;
}

void FindClose(SearchRec& rec) {
    rec.pending.clear();
    rec.pending.shrink_to_fit();
}

int GetFileDate(const platform::File& file, time_t& date) {
    const int code = file.ModifiedTime(date);
    SetLastErrorCode(static_cast<uint16_t>(code));
    return code;
}

int SetFileDate(platform::File& file, time_t date) {
    const int code = file.SetModifiedTime(date);
    SetLastErrorCode(static_cast<uint16_t>(code));
    return code;
}

}  // namespace zurod
