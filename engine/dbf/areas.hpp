#pragma once
// Numbered work areas: selecting an area, opening tables with USE and closing
// them, and the fields of the current area's record.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/dbf/tables.hpp"

namespace zurod {

struct IndexAreaState;

void Select(uint8_t area);
uint8_t CurrentArea();

// True, after reporting 215, when the current area holds no table.
bool CheckArea(std::string_view routine);

// What USE's command text says, for callers that have the parts already.
struct UseOptions {
    std::string file_name;  // for a virtual file: the name left in its command
    std::string alias;      // empty: the file's base name
    bool exclusive = false;
    bool is_virtual = false;
    uint8_t vfile_mode = 0;
    uint8_t storage_class = 1;
    std::span<char> buffer;  // the caller's swap buffer, or empty
    RecordHook write_hook;
    RecordHook read_hook;
    std::string command;  // for messages
};

void USE(const std::string& command, std::span<char> buffer = {});
void UseWithOptions(const std::string& command, std::span<char> buffer, RecordHook write_hook, RecordHook read_hook);
// Opens a table in the current area from structured options; a path may hold
// any words, keywords included. The name is expanded to a full path and gets
// the default extension "DBF" when it has none.
void UseTable(UseOptions options);
// USE's command grammar.
UseOptions ParseUseCommand(const std::string& command);

// An area that an engine operation is walking (a copy whose condition tries
// to close its own source, say) is not closed: 254, and nothing changes.
void CloseArea();
void CloseAllAreas();

uint8_t FieldCount();
std::string Field(int n);
int FieldNo(std::string_view name);
char FieldType(int n);
int FieldLen(int n);
int FieldDec(int n);
char* FieldAddress(int n);
// The typed swap buffer of the current record: byte 0 the delete flag (0 or
// 1), then one slot per field at FieldAddress(n). C: a length byte and the
// field's characters; D: a length byte and a date text of up to 10
// characters in the current format; N and F with decimals, or of more than
// 18 digits: a double, otherwise a 64-bit integer; L: one byte (0 or 1);
// M: a 32-bit block number. A virtual file's records have this layout.
std::span<char> SwapBuffer();
// True when re-reading the current record could change nothing: the table is
// held exclusively (no other process writes it) and the record and swap
// buffers are still exactly what the last read or write of the record left.
bool RecordStillCurrent();
std::string FieldText(int n);
bool Deleted();
uint16_t RecSize();
void ClearRecord();
void RecordToSwapBuffer();
// False (after reporting) when a value does not fit its field.
bool SwapBufferToRecord();
std::string AreaFileName();
std::string Alias();
bool GetIndexFlag();
void SetIndexFlag(bool flag);
IndexAreaState* AreaIndexBlock();

// Typed access to field n of the current area's swap buffer, by the field's
// slot type (C and D text, N and F numbers, L logical, M block number); a
// field number out of range reports 220 and gives the neutral value.
std::string GetFieldString(int n);
void PutFieldString(int n, std::string_view text);
double GetFieldNumber(int n);
void PutFieldNumber(int n, double value);
int64_t GetFieldInteger(int n);
void PutFieldInteger(int n, int64_t value);
bool GetFieldLogical(int n);
void PutFieldLogical(int n, bool value);
int32_t GetFieldMemo(int n);
void PutFieldMemo(int n, int32_t block);

// True, after reporting 214, when another caller area holds the same file.
bool CheckFileInUse(const std::string& name, std::string_view label);

}  // namespace zurod
