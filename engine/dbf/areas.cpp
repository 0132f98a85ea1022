#include "engine/dbf/areas.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/hooks.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/reentry.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr size_t kAliasLength = 64;

struct AreaTable {
    AreaTable() {
        // What closing a table needs is set up first, so it outlives the table.
        Settings();
        LastErrorCode();
        CenturyOn();
        ExpressionAttachment();
        IndexAttachment();
        VirtualFileAttachment();
        MemoUnit();
    }
    std::array<std::unique_ptr<TWorkArea>, kAreaCount + 1> slots;  // slot 0 unused
    uint8_t current = 1;
};

// Program end closes every table, writing pending headers and end marks.
void ShutdownAtExit() {
    ErrorHandlingScope quiet(false);
    ShutdownAreas();
}

AreaTable& Table() {
    static AreaTable table;
    static const bool registered = (std::atexit(ShutdownAtExit), true);
    (void)registered;
    return table;
}

// A keyword followed by one of these is part of a longer word or of a path
// that goes on ("EXCLUSIVE_1", "SHARED/X").
bool WordCharacter(char c) {
    return platform::AnsiIsAlpha(c) || (c >= '0' && c <= '9') || c == '\\' || c == '/' || c == '_';
}

// Removes every whole-word occurrence of `keyword` (upper case, with its
// leading blank) from `text`, found in its upper-case twin `upper`.
bool RemoveWord(std::string& text, std::string& upper, std::string_view keyword) {
    bool found = false;
    size_t at = 0;
    while ((at = upper.find(keyword, at)) != std::string::npos) {
        const size_t end = at + keyword.size();
        if (end < upper.size() && WordCharacter(upper[end])) {
            at = end;
            continue;
        }
        text.erase(at, keyword.size());
        upper.erase(at, keyword.size());
        found = true;
    }
    return found;
}

std::string WordAfter(const std::string& text, size_t from) {
    const size_t end = text.find(' ', from);
    std::string word = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (word.size() > kAliasLength) word.resize(kAliasLength);
    return word;
}

// A virtual file's default alias: its first word up to the first '.'.
std::string VirtualAlias(const std::string& upper) {
    const std::string first = WordAfter(LTrim(upper), 0);
    return first.substr(0, first.find('.'));
}

bool AliasInUse(const std::string& alias, uint8_t except) {
    for (uint8_t n = 1; n <= kCallerAreas; ++n) {
        if (n == except) continue;
        const TWorkArea* a = Table().slots[n].get();
        if (a && a->alias == alias) return true;
    }
    return false;
}

void ReportAliasInUse(const std::string& alias) {
    RunError(220, "Alias name \"" + alias + "\" already in use. [USE]");
}

TWorkArea* Guarded(std::string_view label) { return CheckArea(label) ? nullptr : CurrentTable(); }

std::string FieldLabelError(std::string_view label, int n) {
    std::string_view open = label;
    if (open.ends_with(')')) open.remove_suffix(1);
    return "Invalid field number. [" + std::string(open) + std::to_string(n) + ")]";
}

// The table and field n, or nullptr after reporting.
const FieldInfo* GuardedField(std::string_view label, int n, TWorkArea** area = nullptr) {
    TWorkArea* a = Guarded(label);
    if (!a) return nullptr;
    if (n < 1 || n > a->field_count) {
        RunError(220, FieldLabelError(label, n));
        return nullptr;
    }
    if (area) *area = a;
    return &a->fields[n - 1];
}

void OpenVirtual(UseOptions& o) {
    const std::string label = "[USE(" + o.command + ",<@Buffer>,<size>)]";
    if (!VirtualFileAttachment().Linked()) {
        RunError(1101, label);
        return;
    }
    if (o.buffer.data() == nullptr) {
        RunError(220, "NIL buffer pointer [USE(" + o.command + ",Nil,<size>)]");
        return;
    }
    const uint8_t current = CurrentArea();
    if (AliasInUse(o.alias, current)) {
        ReportAliasInUse(o.alias);
        return;
    }
    std::memset(o.buffer.data(), 0, o.buffer.size());
    auto area = std::make_unique<TWorkArea>();
    area->file_name = o.file_name;
    area->alias = o.alias;
    area->is_virtual = true;
    area->record_length = static_cast<uint16_t>(std::min<size_t>(o.buffer.size(), 0xFFFF));
    area->record = o.buffer;
    area->swap = o.buffer;
    area->bof = area->eof = true;
    area->storage_class = o.storage_class;
    area->vfile_mode = o.vfile_mode;
    area->exclusive = true;
    area->oem = false;
    Table().slots[current] = std::move(area);
    // A store that refuses the open, or raises, leaves no area behind; there
    // is no list of its to close then.
    struct DropUnlessOpened {
        std::unique_ptr<TWorkArea>& slot;
        bool opened = false;
        ~DropUnlessOpened() {
            if (!opened) slot.reset();
        }
    } drop{Table().slots[current]};
    TWorkArea& a = *drop.slot;
    const uint16_t pending = LastErrorCode();
    SetLastErrorCode(0);
    a.vfile_op = 4;
    CallVirtualFileHook(a);
    if (LastErrorCode() != 0) return;
    drop.opened = true;
    SetLastErrorCode(pending);
}

// A table whose header counts more records than the file holds was cut short.
bool HoldsItsRecords(TWorkArea& a) {
    uint64_t size = 0;
    if (a.file.Size(size) != 0) return true;  // the reads will report it
    const uint64_t needed = a.header_length + static_cast<uint64_t>(std::max(a.rec_count, 0)) * a.record_length;
    if (size >= needed) return true;
    RunError(210, a.file_name + " is not a dBASE database. (File is shorter than its records) [USE]");
    return false;
}

// Empties the slot of a USE that did not complete, also when an error is
// raised out of it; the error that ended the USE stays the last error.
class EmptySlotUnlessDone {
public:
    EmptySlotUnlessDone() : exceptions_(std::uncaught_exceptions()) {}
    ~EmptySlotUnlessDone() {
        if (done_) return;
        ErrorHandlingScope quiet(false);
        const uint16_t code = LastErrorCode();
        const std::string message = LastErrorMessage();
        CloseArea();
        // A raised error has handed its message on already.
        if (std::uncaught_exceptions() > exceptions_)
            SetLastErrorCode(code);
        else
            RecordError(code, message);
    }
    void Done() { done_ = true; }
    EmptySlotUnlessDone(const EmptySlotUnlessDone&) = delete;
    EmptySlotUnlessDone& operator=(const EmptySlotUnlessDone&) = delete;

private:
    int exceptions_;
    bool done_ = false;
};

void OpenTableFile(UseOptions& o) {
    bool exclusive = o.exclusive || Settings().default_open_mode == kOpenExclusive;
    uint8_t mode = exclusive ? kOpenExclusive : Settings().default_open_mode;
    if (!Settings().network_mode) {
        mode = kOpenReadWrite;
        exclusive = true;
    }
    mode = EffectiveOpenMode(mode);

    auto area = std::make_unique<TWorkArea>();
    area->file_name = o.file_name;
    area->oem = !Settings().ansi;
    {
        FileModeScope file_mode(mode);
        OpenDbf(*area);
    }
    // An error left by closing the area's previous table is no failure here.
    if (!area->file.IsOpen()) return;
    if (!HoldsItsRecords(*area)) {
        CloseDbf(*area);
        return;
    }

    area->alias = o.alias.empty() ? platform::AnsiUpper(JustFilename(area->file_name)) : o.alias;
    if (area->alias.size() > kAliasLength) area->alias.resize(kAliasLength);
    area->exclusive = exclusive;

    const size_t size = SwapBufferSize(*area);
    if (o.buffer.empty()) {
        area->owned_swap.assign(size, 0);
        area->swap = area->owned_swap;
        area->owns_swap = true;
    } else if (o.buffer.size() != size) {
        CloseDbf(*area);
        RunError(266, "Database record/buffer size mismatch: " + o.command + " [USE()]\n\rRecord Size=" +
                          std::to_string(size) + ", Buffer Size=" + std::to_string(o.buffer.size()));
        return;
    } else {
        area->swap = o.buffer;
    }

    const uint8_t current = CurrentArea();
    const std::string alias = area->alias;
    Table().slots[current] = std::move(area);
    TWorkArea& a = *Table().slots[current];
    if (AliasInUse(alias, current)) {
        CloseArea();
        ReportAliasInUse(alias);
        return;
    }
    EmptySlotUnlessDone guard;
    a.write_hook = std::move(o.write_hook);
    a.read_hook = std::move(o.read_hook);
    if (a.rec_count < 1) {
        std::memset(a.swap.data(), 0, a.swap.size());
        BlankRecord(a);
        a.bof = a.eof = true;
    } else {
        GoTop();
        if (LastErrorCode() != 0) return;
    }
    a.old_record.assign(size, 0);
    if (a.memo && MemoUnit().Linked()) {
        if (int rc = MemoUnit().open(a); rc != 0) {
            guard.Done();
            CloseArea();
            RunError(static_cast<uint16_t>(rc), "Problem opening memo file [USE(" + o.command + ",<@Buffer>," +
                                                    std::to_string(size) + ")]");
            return;
        }
    }
    guard.Done();
}

}  // namespace

TWorkArea* AreaAt(uint8_t n) { return n >= 1 && n <= kAreaCount ? Table().slots[n].get() : nullptr; }
TWorkArea* CurrentTable() { return AreaAt(Table().current); }
uint8_t CurrentArea() { return Table().current; }
void SelectInternal(uint8_t area) {
    if (area >= 1 && area <= kAreaCount) Table().current = area;
}

void Select(uint8_t area) {
    SetLastErrorCode(0);
    if (RefuseNestedCall("Select(" + std::to_string(area) + ")")) return;
    if (area == 0) {
        for (uint8_t n = 1; n <= kCallerAreas; ++n) {
            if (!Table().slots[n]) {
                Table().current = n;
                return;
            }
        }
        RunError(220, "No free workarea available [Select(0)]");
        return;
    }
    if (area > kCallerAreas) {
        RunError(220, "Invalid workarea selected = [Select(" + std::to_string(area) + ")]");
        return;
    }
    Table().current = area;
}

bool CheckArea(std::string_view routine) {
    if (RefuseNestedCall(routine)) return true;
    if (CurrentTable()) return false;
    RunError(215, "No database in use [" + std::string(routine) + "]  WorkArea = " + std::to_string(CurrentArea()));
    return true;
}

UseOptions ParseUseCommand(const std::string& command) {
    UseOptions o;
    o.command = command;
    std::string text = AllTrim(command) + " ";
    std::string upper = platform::AnsiUpper(text);

    if (upper.find("LINKED LIST") != std::string::npos || upper.find("VIRTUAL FILE") != std::string::npos) {
        o.is_virtual = true;
        RemoveWord(text, upper, " LINKED LIST");
        RemoveWord(text, upper, " VIRTUAL FILE");
        if (size_t at = upper.find(" ALIAS "); at != std::string::npos) {
            o.alias = WordAfter(upper, at + 7);
        } else {
            o.alias = VirtualAlias(upper);
        }
        if (o.alias.size() > kAliasLength) o.alias.resize(kAliasLength);
        const std::pair<std::string_view, uint8_t> storage[] = {
            {" TO EMS", 2}, {" TO EXT", 3}, {" TO XMS", 3}, {" TO HEAP", 1}, {" TO BIGGEST", 5}};
        for (auto [word, cls] : storage)
            if (RemoveWord(text, upper, word)) o.storage_class = cls;
        const std::pair<std::string_view, uint8_t> modes[] = {
            {" FIFO", 0}, {" LIFO", 1}, {" INSERTION", 2}, {" ASCENDING", 3}, {" DESCENDING", 4}};
        for (auto [word, mode] : modes)
            if (RemoveWord(text, upper, word)) o.vfile_mode = mode;
        o.file_name = RTrim(upper);
        return o;
    }

    o.exclusive = RemoveWord(text, upper, " EXCLUSIVE");
    if (size_t at = upper.find(" ALIAS "); at != std::string::npos) {
        o.alias = WordAfter(upper, at + 7);
        text.resize(at);
    }
    const std::string name = AllTrim(text);
    if (!name.empty()) o.file_name = AddDefaultExt(FExpand(name), "DBF");
    return o;
}

void USE(const std::string& command, std::span<char> buffer) {
    UseWithOptions(command, buffer, nullptr, nullptr);
}

void UseWithOptions(const std::string& command, std::span<char> buffer, RecordHook write_hook,
                    RecordHook read_hook) {
    SetLastErrorCode(0);
    if (RefuseNestedCall("USE")) return;
    CloseArea();
    if (AllTrim(command).empty()) return;
    UseOptions o = ParseUseCommand(command);
    if (!o.is_virtual && (buffer.data() == nullptr) != buffer.empty()) {
        RunError(220, "Buffer is NIL or size is zero, attempting to open " + command + " [USE]");
        return;
    }
    o.buffer = buffer;
    o.write_hook = std::move(write_hook);
    o.read_hook = std::move(read_hook);
    UseTable(std::move(o));
}

void UseTable(UseOptions options) {
    SetLastErrorCode(0);
    if (RefuseNestedCall("USE")) return;
    CloseArea();
    if (options.command.empty()) options.command = options.file_name;
    options.alias = platform::AnsiUpper(options.alias);
    if (options.alias.size() > kAliasLength) options.alias.resize(kAliasLength);
    if (options.is_virtual) {
        if (options.alias.empty()) options.alias = VirtualAlias(platform::AnsiUpper(options.file_name));
        OpenVirtual(options);
        return;
    }
    const std::string name = AllTrim(options.file_name);
    if (name.empty()) return;
    // The name is taken as it is: no keyword in it means anything here.
    options.file_name = AddDefaultExt(FExpand(name), "DBF");
    OpenTableFile(options);
}

void CloseArea() {
    if (RefuseNestedCall("CloseArea")) return;
    TWorkArea* a = CurrentTable();
    if (!a) return;
    // The slot is emptied whatever happens on the way, also when an error is raised.
    struct Release {
        std::unique_ptr<TWorkArea>& slot;
        ~Release() { slot.reset(); }
    } release{Table().slots[CurrentArea()]};

    if (IndexAttachment().Linked() && IndexAttachment().dispatch(kIndexActive, 0) != 0)
        IndexAttachment().dispatch(kIndexClose, 0);
    RefreshRecCount(*a);
    Unlock();
    a->old_record.clear();
    if (a->memo && MemoUnit().Linked()) MemoUnit().close(*a);
    if (a->filter && ExpressionAttachment().Linked()) ExpressionAttachment().release(a->filter);
    a->filter.reset();
    CloseDbf(*a);
}

void CloseAllAreas() {
    if (RefuseNestedCall("CloseAllAreas")) return;
    for (uint8_t n = 1; n <= kCallerAreas; ++n) {
        Table().current = n;
        CloseArea();
    }
    Table().current = 1;
}

void ShutdownAreas() {
    for (uint8_t n : {uint8_t{34}, uint8_t{35}}) {
        Table().current = n;
        CloseArea();
    }
    CloseAllAreas();
}

uint8_t FieldCount() {
    TWorkArea* a = Guarded("FieldCount()");
    return a ? a->field_count : 0;
}

std::string Field(int n) {
    const FieldInfo* f = GuardedField("Field()", n);
    return f ? f->name : std::string();
}

int FieldNo(std::string_view name) {
    TWorkArea* a = Guarded("FieldNo()");
    if (!a) return 0;
    std::string key(name.substr(0, 10));
    key = platform::AnsiUpper(RTrim(key));
    for (size_t i = 0; i < a->fields.size(); ++i)
        if (a->fields[i].name == key) return static_cast<int>(i + 1);
    return 0;
}

char FieldType(int n) {
    const FieldInfo* f = GuardedField("FieldType()", n);
    return f ? f->type : ' ';
}

int FieldLen(int n) {
    const FieldInfo* f = GuardedField("FieldLen()", n);
    if (!f) return 0;
    if (f->type == 'D') return CenturyOn() ? 10 : 8;
    return f->length;
}

int FieldDec(int n) {
    const FieldInfo* f = GuardedField("FieldDec()", n);
    return f ? f->decimals : 0;
}

char* FieldAddress(int n) {
    TWorkArea* a = Guarded("FieldAddress(");
    if (!a) return nullptr;
    if (n == 0) return a->swap.data();
    if (n < 0 || n > a->field_count) {
        RunError(220, FieldLabelError("FieldAddress(", n));
        return nullptr;
    }
    return a->swap.data() + a->fields[n - 1].swap_offset;
}

std::string FieldText(int n) {
    TWorkArea* a = nullptr;
    const FieldInfo* f = GuardedField("FieldText()", n, &a);
    if (!f) return {};
    switch (f->type) {
    case 'C':
    case 'D': return std::string(SwapString(*a, *f));
    case 'N':
    case 'F':
        if (f->decimals > 0) return RealToStr(SwapNumber(*a, *f), f->length, f->decimals);
        return IntToStrWidth(SwapInteger(*a, *f), f->length);
    case 'L': return SwapLogical(*a, *f) ? Settings().true_text : Settings().false_text;
    case 'M': {
        const int32_t block = SwapMemo(*a, *f);
        return block == 0 ? "none" : block > 0 ? "MEMO" : "BLOB";
    }
    default: return {};
    }
}

bool Deleted() {
    TWorkArea* a = Guarded("Deleted");
    return a && SwapDeleted(*a);
}

uint16_t RecSize() {
    TWorkArea* a = Guarded("RecSize");
    return a ? a->record_length : 0;
}

void BlankRecord(TWorkArea& a) {
    if (a.is_virtual) {
        std::memset(a.record.data(), 0, a.record.size());
        return;
    }
    std::memset(a.record.data(), ' ', a.record.size());
    RecordToBuffer(a);
    // A new record gets every field formatted, not the blanks it started from.
    a.shadow_valid = false;
}

void ClearRecord() {
    if (TWorkArea* a = Guarded("ClearRecord")) BlankRecord(*a);
}

void RecordToSwapBuffer() {
    TWorkArea* a = Guarded("RecordToSwapBuffer");
    if (a && !a->is_virtual) RecordToBuffer(*a);
}

bool SwapBufferToRecord() {
    TWorkArea* a = Guarded("SwapBufferToRecord");
    if (!a) return false;
    return a->is_virtual || BufferToRecord(*a);
}

std::string AreaFileName() {
    const TWorkArea* a = CurrentTable();
    return a ? a->file_name : std::string();
}

std::string Alias() {
    const TWorkArea* a = CurrentTable();
    return a ? a->alias : std::string();
}

bool GetIndexFlag() {
    TWorkArea* a = Guarded("GetIndexFlag");
    return a && a->header[28] != 0;
}

void SetIndexFlag(bool flag) {
    TWorkArea* a = Guarded("SetIndexFlag");
    if (!a) return;
    a->header[28] = flag ? 1 : 0;
    if (a->header_state != HeaderState::Appended) a->header_state = HeaderState::Changed;
}

AreaExtension* AreaIndexBlock() {
    TWorkArea* a = CurrentTable();
    return a ? a->index_block.get() : nullptr;
}

bool CheckFileInUse(const std::string& name, std::string_view label) {
    platform::FileId id;
    if (platform::IdentifyFile(name, id) != 0) return false;
    for (uint8_t n = 1; n <= kCallerAreas; ++n) {
        const TWorkArea* a = Table().slots[n].get();
        if (a && !a->is_virtual && a->file.IsOpen() && a->file.Id() == id) {
            RunError(214, "File: " + name + " is already in use. [" + std::string(label) + "]");
            return true;
        }
    }
    return false;
}

}  // namespace zurod
