#pragma once
// File routines of the engine and its callers. Paths are in the ANSI page
// and '/'-separated.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.hpp"
#include "platform/paths.hpp"

namespace zurod {

bool FileExists(const std::string& name);
// "<date> hh:mm:ss" of the file's modification time; empty when missing.
std::string FileDateTimeStr(const std::string& name);
// Copies source to target; refuses (220) when both are the same file.
void CopyFile(const std::string& source, const std::string& target);
// Erases one file, or every file matching a mask with wildcards.
void EraseFiles(const std::string& mask);
// The files the last EraseFiles could not erase.
const std::vector<platform::DirEntry>& NotErasedFiles();
void RenameFile(const std::string& old_name, const std::string& new_name);

int64_t DiskFreeKB(const std::string& path);
int64_t DriveFreeKB(int drive);
// A new empty temporary file "TZP...", or empty after reporting the error.
std::string UniqueFilename();

std::string AddDefaultExt(const std::string& name, std::string_view ext);
std::string ForceExt(const std::string& name, std::string_view ext);
std::string StripExt(const std::string& name);

struct PathParts {
    std::string dir;   // ends in '/' when not empty
    std::string name;  // without extension
    std::string ext;   // with its dot
};
PathParts FSplit(const std::string& path);
std::string FExpand(const std::string& name);
std::string JustFilename(const std::string& path);
std::string RealPath(const std::string& path);

// Directory search. The result code is also stored as the engine's last
// error code.
struct SearchRec {
    platform::DirEntry entry;
    std::vector<platform::DirEntry> pending;
};
int FindFirst(const std::string& pattern, SearchRec& rec);
int FindNext(SearchRec& rec);
void FindClose(SearchRec& rec);

int GetFileDate(const platform::File& file, time_t& date);
int SetFileDate(platform::File& file, time_t date);

// Called inside long loops; does nothing.
inline void IdleHook() {}

}  // namespace zurod
