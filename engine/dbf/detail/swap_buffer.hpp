#pragma once
// The typed swap buffer: the typed image of the current record through which
// callers read and fill fields. Byte 0 is the delete flag; then one slot per
// field: C a counted string of the field's length, D a counted date text of
// up to 10 characters, N and F with decimals a double, without decimals a
// 64-bit integer (a double for fields over 18 digits, whose values a 64-bit
// integer cannot hold), L one byte, M a 32-bit block number.
#include <cstdint>
#include <string_view>

#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"

namespace zurod {

size_t SlotSize(const FieldInfo& f);
// Whether a number field's slot holds a double rather than a 64-bit integer.
inline bool RealSlot(const FieldInfo& f) { return f.decimals > 0 || f.length > 18; }
// Size of the typed swap buffer for the area's fields.
size_t SwapBufferSize(const TWorkArea& area);
// Lays out the swap slots of the area's fields (sets swap_offset).
void AssignSwapOffsets(TWorkArea& area);

void RecordToBuffer(TWorkArea& area);
// A number that does not fit its field fails (201, naming the field); the
// record buffer is left unchanged then.
Status BufferToRecord(TWorkArea& area);

// A number field's stored text as a value, as the swap buffer takes it:
// blanks, and text that is no number, read as 0.
double StoredReal(std::string_view raw);
int64_t StoredInteger(std::string_view raw);

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

}  // namespace zurod
