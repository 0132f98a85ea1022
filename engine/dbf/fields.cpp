// Field information and typed field access on the current area.
#include <cstring>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

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

// Field n when its slot is of one of `types` (the typed routines reach into
// the slot by its type: another type's slot is smaller or laid out
// otherwise); nullptr after reporting 220, with nothing read or written.
const FieldInfo* TypedField(std::string_view label, int n, std::string_view types, TWorkArea*& area) {
    const FieldInfo* f = GuardedField(label, n, &area);
    if (!f || types.find(f->type) != std::string_view::npos) return f;
    std::string wanted;
    for (char t : types) wanted += (wanted.empty() ? "" : " or ") + std::string(1, t);
    std::string_view open = label;
    if (open.ends_with(')')) open.remove_suffix(1);
    RunError(220,
             "Field " + f->name + " is of type " + std::string(1, f->type) + ", not " + wanted + ". [" +
                 std::string(open) + std::to_string(n) + ")]");
    return nullptr;
}

}  // namespace

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

std::span<char> SwapBuffer() {
    TWorkArea* a = Guarded("SwapBuffer");
    return a ? a->swap : std::span<char>();
}

bool RecordStillCurrent() {
    const TWorkArea* a = CurrentTable();
    if (!a || a->is_virtual || !a->exclusive || !a->shadow_valid || a->eof || a->rec_no < 1) return false;
    return a->swap_shadow.size() == a->swap.size() && a->raw_shadow.size() == a->record.size() &&
        std::memcmp(a->swap_shadow.data(), a->swap.data(), a->swap.size()) == 0 &&
        std::memcmp(a->raw_shadow.data(), a->record.data(), a->record.size()) == 0;
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
        if (RealSlot(*f)) return RealToStr(SwapNumber(*a, *f), f->length, f->decimals);
        return IntToStrWidth(SwapInteger(*a, *f), f->length);
    case 'L': return SwapLogical(*a, *f) ? Settings().true_text : Settings().false_text;
    case 'M': {
        const int32_t block = SwapMemo(*a, *f);
        return block == 0 ? "none" : block > 0 ? "MEMO" : "BLOB";
    }
    default: return {};
    }
}

std::string GetFieldString(int n) {
    TWorkArea* a = nullptr;
    const FieldInfo* f = TypedField("GetFieldString()", n, "CD", a);
    return f ? std::string(SwapString(*a, *f)) : std::string();
}

void PutFieldString(int n, std::string_view text) {
    TWorkArea* a = nullptr;
    if (const FieldInfo* f = TypedField("PutFieldString()", n, "CD", a)) SetSwapString(*a, *f, text);
}

double GetFieldNumber(int n) {
    TWorkArea* a = nullptr;
    const FieldInfo* f = TypedField("GetFieldNumber()", n, "NF", a);
    return f ? SwapNumber(*a, *f) : 0.0;
}

void PutFieldNumber(int n, double value) {
    TWorkArea* a = nullptr;
    if (const FieldInfo* f = TypedField("PutFieldNumber()", n, "NF", a)) SetSwapNumber(*a, *f, value);
}

int64_t GetFieldInteger(int n) {
    TWorkArea* a = nullptr;
    const FieldInfo* f = TypedField("GetFieldInteger()", n, "NF", a);
    return f ? SwapInteger(*a, *f) : 0;
}

void PutFieldInteger(int n, int64_t value) {
    TWorkArea* a = nullptr;
    if (const FieldInfo* f = TypedField("PutFieldInteger()", n, "NF", a)) SetSwapInteger(*a, *f, value);
}

bool GetFieldLogical(int n) {
    TWorkArea* a = nullptr;
    const FieldInfo* f = TypedField("GetFieldLogical()", n, "L", a);
    return f && SwapLogical(*a, *f);
}

void PutFieldLogical(int n, bool value) {
    TWorkArea* a = nullptr;
    if (const FieldInfo* f = TypedField("PutFieldLogical()", n, "L", a)) SetSwapLogical(*a, *f, value);
}

int32_t GetFieldMemo(int n) {
    TWorkArea* a = nullptr;
    const FieldInfo* f = TypedField("GetFieldMemo()", n, "M", a);
    return f ? SwapMemo(*a, *f) : 0;
}

void PutFieldMemo(int n, int32_t block) {
    TWorkArea* a = nullptr;
    if (const FieldInfo* f = TypedField("PutFieldMemo()", n, "M", a)) SetSwapMemo(*a, *f, block);
}

bool Deleted() {
    TWorkArea* a = Guarded("Deleted");
    return a && SwapDeleted(*a);
}

uint16_t RecSize() {
    TWorkArea* a = Guarded("RecSize");
    return a ? a->record_length : 0;
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
    if (a->is_virtual) return true;
    const Status s = BufferToRecord(*a);
    Report(s);
    return s.ok();
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
    return a && a->header[kIndexFlagAt] != 0;
}

void SetIndexFlag(bool flag) {
    TWorkArea* a = Guarded("SetIndexFlag");
    if (!a) return;
    a->header[kIndexFlagAt] = flag ? 1 : 0;
    if (a->header_state != HeaderState::Appended) a->header_state = HeaderState::Changed;
}

IndexAreaState* AreaIndexBlock() {
    TWorkArea* a = CurrentTable();
    return a ? a->index_block.get() : nullptr;
}

}  // namespace zurod
