#pragma once
// Compiled help files, read through the chm library, which is loaded at run
// time as the help viewer is: a machine without it has no help, not a
// program that will not start. The library only ever sees a file in a child
// process (controls/chmreader.hpp): nothing in a help file can take the
// program down or hold it longer than the reader's time limit.
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "controls/chmreader.hpp"

struct chmFile;
struct chmUnitInfo;

namespace controls {

// The library's entry points, resolved by name.
class ChmLibrary {
public:
    ~ChmLibrary() { Free(); }
    // Loads `name` ("libchm.so.1") from the system's library folders; false
    // when it is not there or lacks an entry point.
    bool Load(const std::string& name);
    void Free();
    bool Loaded() const { return handle_ != nullptr; }
    // The file loaded and its version from the name ("libchm.so.1.0.0": 1.0.0.0).
    const std::string& Path() const { return path_; }
    const std::array<int, 4>& Version() const { return version_; }

    chmFile* (*open)(const char*) = nullptr;
    void (*close)(chmFile*) = nullptr;
    int (*resolve)(chmFile*, const char*, chmUnitInfo*) = nullptr;
    long long (*retrieve)(chmFile*, chmUnitInfo*, unsigned char*, unsigned long long, long long) = nullptr;
    int (*enumerate)(chmFile*, int, int (*)(chmFile*, chmUnitInfo*, void*), void*) = nullptr;

private:
    void* handle_ = nullptr;
    std::string path_;
    std::array<int, 4> version_{};
};

// Context numbers to topic names, from the file's "/#IVB" (a byte count, then
// pairs of context number and offset into "/#STRINGS") and "/#STRINGS"
// (zero-terminated names). Entries that point outside the names are left
// out; the first entry of a number counts.
std::map<uint32_t, std::string> ParseContextMap(std::span<const uint8_t> ivb, std::span<const uint8_t> strings);

class ChmFile {
public:
    // nullptr when the library is not loaded, the file is no help file or
    // the reader died or was late opening it; `how`, when given, says which
    // (Damaged for the last). `path` is in the ANSI page; `limit` bounds each
    // answer of the reader.
    static std::unique_ptr<ChmFile> Open(const ChmLibrary& library, const std::string& path,
                                         std::chrono::milliseconds limit = kChmReplyLimit,
                                         ChmReader::Opened* how = nullptr);
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // The reader died or was late: the file is damaged, and every request
    // below fails from then on.
    bool Damaged() const { return reader_->Damaged(); }

    // Internal names begin with '/'; a folder ("/topics/") is no file.
    bool Exists(const std::string& name) const;
    bool Read(const std::string& name, std::vector<uint8_t>& bytes) const;
    // The content's files (pages, pictures, style sheets), not the file's own
    // records; each name safe to place below a folder. Nothing when the
    // library cannot list them (a listing that comes back to a name it
    // listed already included).
    std::optional<std::vector<std::string>> ContentFiles() const;

    const std::map<uint32_t, std::string>& ContextMap() const { return map_; }
    // The internal name of a context number's topic, with its "#anchor" kept.
    std::optional<std::string> TopicOfContext(uint32_t context) const;
    // A topic name as the map holds it, as an internal name of this file:
    // "debit.htm", "\html\debit.htm" and a compiler's absolute source path
    // ("/home/x/help/debit.htm") all name "/debit.htm" when the file has it.
    std::optional<std::string> ResolveTopic(const std::string& topic) const;

private:
    explicit ChmFile(std::unique_ptr<ChmReader> reader) : reader_(std::move(reader)) {}
    std::unique_ptr<ChmReader> reader_;
    std::map<uint32_t, std::string> map_;
};

// A content name that stays inside the folder it is placed in: no "..", no
// empty or "." parts, no backslashes.
bool SafeContentName(const std::string& name);

}  // namespace controls
