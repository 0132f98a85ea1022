#pragma once
// Table files as callers see them: the versions the engine reads and writes,
// field definitions, creating a new table, and the record hooks a table can
// be opened with.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace zurod {

inline constexpr uint8_t kDbase2 = 0x02;
inline constexpr uint8_t kDbase3 = 0x03;
inline constexpr uint8_t kDbase3Memo = 0x83;
inline constexpr uint8_t kDbase4Memo = 0x8B;
inline constexpr uint8_t kFoxProMemo = 0xF5;
inline constexpr uint8_t kLevel7 = 0x04;
inline constexpr uint8_t kLevel7Memo = 0x8C;

// Record counts stop one short of the largest record number, so that
// "count + 1" (the append position, the end-of-file position) is always valid.
inline constexpr int32_t kMaxRecords = INT32_MAX - 1;

struct FieldDef {
    std::string name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
};

// Applied to the bytes of a record after the delete mark, as they are on disk.
using RecordHook = std::function<void(char* data, size_t length)>;

// Creates a table file (and its memo file when a field is a memo); the table
// is left closed. Names in `fields` are trimmed and upper-cased in place.
void CreateDbf(const std::string& name, std::span<FieldDef> fields);

// "FPT" for FoxPro tables, "DBT" otherwise (an unknown version: the version
// new tables get).
std::string MemoExtension(uint8_t version);

}  // namespace zurod
