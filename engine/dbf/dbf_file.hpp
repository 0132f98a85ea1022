#pragma once
// dBASE table files: the header and field descriptors, records, the delete
// mark, header rewrites, new tables and their memo files, the code-page
// translation of records and the typed swap buffer.
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "engine/dbf/workarea.hpp"

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

bool IsValidVersion(uint8_t version);
bool IsDbase2(const TWorkArea& area);
bool IsLevel7(const TWorkArea& area);

// Opens the table named in area.file_name with the runtime's file mode.
void OpenDbf(TWorkArea& area);
void GetDbfRecord(TWorkArea& area, int32_t n);
// Writes the record buffer as record n; n past the end appends.
void PutDbfRecord(TWorkArea& area, int32_t n);
void AppendDbfRecord(TWorkArea& area);
void WriteDeleteMark(TWorkArea& area, int32_t n);
void WriteDbfHeader(TWorkArea& area);
void FlushDbfHeader(TWorkArea& area);
void CloseDbf(TWorkArea& area);
// Maps the header of the area's open file so that appends keep its count
// current without a write each (done by OpenDbf; again when the file changes).
void MapHeader(TWorkArea& area);

struct FieldDef {
    std::string name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
};
// Creates a table file (and its memo file when a field is a memo); the table
// is left closed. Names in `fields` are trimmed and upper-cased in place.
void CreateDbf(TWorkArea& area, const std::string& name, std::span<FieldDef> fields);

std::string MemoExtension(uint8_t version);
void MakeMemoFile(const std::string& name, uint8_t memo_type, uint16_t block_size,
                  const std::string& caller);

enum class Direction { Read, Write };
// Code-page translation and the hook over every whole record in `buffer`; the
// delete mark is never touched.
void TranslateRecord(Direction direction, bool oem, const RecordHook& hook,
                     std::span<char> buffer, uint16_t record_length);

// A number field's stored text as a value, as the swap buffer takes it:
// blanks, and text that is no number, read as 0.
double StoredReal(std::string_view raw);
int64_t StoredInteger(std::string_view raw);

// Size of the typed swap buffer for the area's fields.
size_t SwapBufferSize(const TWorkArea& area);
// Lays out the swap slots of the area's fields (sets swap_offset).
void AssignSwapOffsets(TWorkArea& area);

void RecordToBuffer(TWorkArea& area);
// False (after reporting) when a number does not fit its field; nothing is
// changed in the record buffer then.
bool BufferToRecord(TWorkArea& area);

// Typed access to a field's slot in the swap buffer.
std::string_view SwapString(const TWorkArea& area, const FieldInfo& f);  // C and D
void SetSwapString(TWorkArea& area, const FieldInfo& f, std::string_view text);
double SwapNumber(const TWorkArea& area, const FieldInfo& f);  // N and F
int64_t SwapInteger(const TWorkArea& area, const FieldInfo& f);
// A value for an integer slot is rounded half away from zero.
void SetSwapNumber(TWorkArea& area, const FieldInfo& f, double value);
void SetSwapInteger(TWorkArea& area, const FieldInfo& f, int64_t value);
bool SwapLogical(const TWorkArea& area, const FieldInfo& f);
void SetSwapLogical(TWorkArea& area, const FieldInfo& f, bool value);
int32_t SwapMemo(const TWorkArea& area, const FieldInfo& f);
void SetSwapMemo(TWorkArea& area, const FieldInfo& f, int32_t block);
bool SwapDeleted(const TWorkArea& area);
void SetSwapDeleted(TWorkArea& area, bool deleted);

// Flushes a file's buffers to disk; reports failures.
void FlushFile(platform::File& file);

}  // namespace zurod
