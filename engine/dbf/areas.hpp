#pragma once
// Numbered work areas: the area table, the current area, opening tables with
// USE and closing them, and field information on the current area.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/dbf/workarea.hpp"

namespace zurod {

inline constexpr uint8_t kAreaCount = 35;
inline constexpr uint8_t kCallerAreas = 33;  // 34 and 35 are the engine's own
inline constexpr uint8_t kScratchArea = 35;

// The area in slot n (1..35), nullptr when the slot is empty.
TWorkArea* AreaAt(uint8_t n);
// The current area's table, nullptr when none is open there.
TWorkArea* CurrentTable();

void Select(uint8_t area);
uint8_t CurrentArea();
// Makes `area` current without the caller checks of Select (the engine's own
// two-area operations use slots 34 and 35 too).
void SelectInternal(uint8_t area);

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
void UseWithOptions(const std::string& command, std::span<char> buffer, RecordHook write_hook,
                    RecordHook read_hook);
// Opens a table in the current area from structured options; a path may hold
// any words, keywords included. The name is expanded to a full path and gets
// the default extension "DBF" when it has none.
void UseTable(UseOptions options);
// USE's command grammar.
UseOptions ParseUseCommand(const std::string& command);

void CloseArea();
void CloseAllAreas();

uint8_t FieldCount();
std::string Field(int n);
int FieldNo(std::string_view name);
char FieldType(int n);
int FieldLen(int n);
int FieldDec(int n);
char* FieldAddress(int n);
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
AreaExtension* AreaIndexBlock();

// True, after reporting 214, when another caller area holds the same file.
bool CheckFileInUse(const std::string& name, std::string_view label);

// Closes every area, the engine's own included (program end).
void ShutdownAreas();

// Blanks the area's record and converts it into the swap buffer (a virtual
// file's buffer is zeroed).
void BlankRecord(TWorkArea& area);

// Restores the current area when the scope ends.
class AreaScope {
public:
    AreaScope() : saved_(CurrentArea()) {}
    ~AreaScope() { SelectInternal(saved_); }
    AreaScope(const AreaScope&) = delete;
    AreaScope& operator=(const AreaScope&) = delete;

private:
    uint8_t saved_;
};

}  // namespace zurod
