// The dataset bound to a work area (TZoVizuRez): selecting its area, opening
// and closing the table, the store operations with the pending BOF/EOF that
// keeps the engine on a record, bookmarks, locating, its properties and the
// resync after a command.
#include "engine/dataset/engine_dataset.hpp"

#include <cstring>
#include <type_traits>
#include <variant>

#include "engine/dataset/detail/texts.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "framework/ui/forms.hpp"
#include "platform/bytes.hpp"

namespace zurod {

namespace {

using platform::Load;
using platform::Store;

}  // namespace

TZoVizuRez::TZoVizuRez(ui::TComponent* owner) : TTzPrimDataset(owner) {}

TZoVizuRez::~TZoVizuRez() = default;

bool TZoVizuRez::SelectArea(std::string_view label) {
    RestoreTypedBuffer();
    if (work_area_ == 0) {
        RunError(1103, "Database is not open [" + Name() + "." + std::string(label) + "]");
        ui::Application().Terminate();
        return false;
    }
    if (CurrentArea() != work_area_) Select(work_area_);
    Settings().ansi = TableLanguage == tlAnsi;
    return true;
}

void TZoVizuRez::DoBeforeRestore() {
    if (BeforeRestore) BeforeRestore(this);
}

void TZoVizuRez::DoAfterRestore() {
    if (AfterRestore) AfterRestore(this);
}

int TZoVizuRez::EngineCode() const { return LastErrorCode(); }

bool TZoVizuRez::WriteThenSkipHidden(const std::function<void()>& write) {
    write();
    return LastErrorCode() == 0 && SkipIfHidden();
}

std::string TZoVizuRez::TziErrorText(int code) {
    std::string text = LastErrorText();
    return text.empty() ? std::to_string(code) : text;
}

bool TZoVizuRez::s_IsEmptyDbf() {
    if (!SelectArea("s_IsEmptyDbf")) return true;
    const AreaPosition at = CurrentPosition();
    return at.bof && at.eof;
}

int TZoVizuRez::TziSetToBegin() {
    if (!SelectArea("TziSetToBegin")) return kTzEngineError;
    GoTopScope();
    bof_pending_ = true;
    eof_pending_ = false;
    return 0;
}

int TZoVizuRez::TziSetToEnd() {
    if (!SelectArea("TziSetToEnd")) return kTzEngineError;
    GoBottomScope();
    eof_pending_ = true;
    bof_pending_ = false;
    return 0;
}

int TZoVizuRez::TziOpen() {
    if (dbf_file_name_.empty()) return kTzNoFileName;
    if (OpenInArea()) return 0;
    const uint16_t code = LastErrorCode();
    return code != 0 ? code : kTzEngineError;
}

bool TZoVizuRez::OpenInArea() {
    const uint8_t previous = CurrentArea();
    Select(work_area_);
    if (LastErrorCode() == 0) {
        Settings().ansi = TableLanguage == tlAnsi;
        if (OpenTable(dbf_file_name_)) {
            SetIgnoreDel(hide_deleted_);
            work_area_ = CurrentArea();
            BuildFieldProps();
            return true;
        }
    }
    const KeepErrorScope keep;
    Select(previous);
    return false;
}

void TZoVizuRez::TziClose() {
    if (work_area_ == 0) return;
    if (SelectArea("TziClose")) {
        if (NotDesigning()) BeforeCloseHook();
        Select(work_area_);
        CloseArea();
    }
    work_area_ = 0;
    field_props_.reset();
    plans_.clear();
    typed_is_kept_ = false;
}

int TZoVizuRez::TziGetRecordCount() {
    if (!SelectArea("TziGetRecordCount")) return 0;
    return zurod::RecCount();
}

int TZoVizuRez::TziForceReread() {
    if (!SelectArea("TziForceReread")) return kTzEngineError;
    SKIP(0);
    return 0;
}

int TZoVizuRez::TziAppendRecord(char* buffer) {
    buffer[0] = 0;
    WriteRecord(buffer);
    // A lock given up leaves the insert as it was.
    if (!AppendOp()) throw ui::EAbort();
    bof_pending_ = eof_pending_ = false;
    return EngineCode();
}

int TZoVizuRez::TziDeleteRecord() {
    if (!DeleteOp()) throw ui::EAbort();
    const int code = EngineCode();
    if (code == 0 && s_IsEmptyDbf()) TzResync();
    return code;
}

int TZoVizuRez::TziInitRecord() {
    if (!SelectArea("TziInitRecord")) return kTzEngineError;
    zurod::ClearRecord();
    return 0;
}

int TZoVizuRez::TziPostRecord(char* buffer) {
    if (bof_pending_) return kTzAtBof;
    if (eof_pending_) return kTzAtEof;
    if (!SelectArea("TziPostRecord")) return kTzEngineError;
    // The record of the buffer is the one replaced, wherever the engine stood.
    const int32_t target = BufferRecNo(buffer);
    if (zurod::RecNo() != target && !GoToChecked(target)) return kTzAtEof;
    WriteRecord(buffer);
    if (!ReplaceOp()) throw ui::EAbort();
    return EngineCode();
}

int TZoVizuRez::TziGetRecord(char* buffer, int32_t& rec_no) {
    if (!SelectArea("TziGetRecord")) return kTzEngineError;
    if (bof_pending_) return kTzAtBof;
    if (eof_pending_) return kTzAtEof;
    // The record is read again from the file, unless nothing can have changed it.
    if (buffer && !RecordStillCurrent()) {
        SKIP(0);
        if (const uint16_t code = LastErrorCode(); code != 0) return code;
    }
    const AreaPosition at = CurrentPosition();
    if (at.eof) return kTzAtEof;
    if (buffer) ReadRecord(buffer);
    rec_no = last_read_ = at.rec_no;
    return 0;
}

int TZoVizuRez::TziGetNextRecord(char* buffer, int32_t& rec_no) {
    if (!SelectArea("TziGetNextRecord")) return kTzAtEof;
    if (eof_pending_) return kTzAtEof;
    if (bof_pending_) {
        SKIP(0);
        bof_pending_ = false;
    } else if (!CurrentPosition().eof) {
        SKIP(1);
    }
    // A failed move (a filter that cannot be evaluated) ends the walk with its error recorded.
    if (LastErrorCode() != 0) {
        eof_pending_ = true;
        return kTzAtEof;
    }
    const AreaPosition at = CurrentPosition();
    if (at.eof) {
        if (!at.bof) SKIP(-1);
        eof_pending_ = true;
        return kTzAtEof;
    }
    if (buffer) ReadRecord(buffer);
    rec_no = last_read_ = at.rec_no;
    return 0;
}

int TZoVizuRez::TziGetPriorRecord(char* buffer, int32_t& rec_no) {
    if (!SelectArea("TziGetPriorRecord")) return kTzAtBof;
    if (bof_pending_) return kTzAtBof;
    if (eof_pending_) {
        SKIP(0);
        eof_pending_ = false;
    } else if (!CurrentPosition().bof) {
        SKIP(-1);
    }
    // Past the end with nothing before it (an empty table) there is no record to read.
    const AreaPosition at = CurrentPosition();
    if (LastErrorCode() != 0 || at.bof || at.eof) {
        bof_pending_ = true;
        return kTzAtBof;
    }
    if (buffer) ReadRecord(buffer);
    rec_no = last_read_ = at.rec_no;
    return 0;
}

int TZoVizuRez::SafeGo(int32_t n) {
    if (!SelectArea("SafeGo")) return kTzEngineError;
    if (n >= 1 && n <= zurod::RecCount() && GoToChecked(n)) {
        bof_pending_ = eof_pending_ = false;
        return 0;
    }
    TziSetToEnd();
    return kTzAtEof;
}

void TZoVizuRez::SetRecNoTo(int n) {
    if (n == RecNo()) return;
    CheckBrowseMode();
    DoBeforeScroll();
    if (SafeGo(n) != 0) {
        CursorPosChanged();
        return;
    }
    // A position from the scroll bar may name a record the filter hides.
    SkipIfHidden();
    Resync(db::rmExact);
    DoAfterScroll();
}

bool TZoVizuRez::TziLocateRecord(const std::string& fields, const std::vector<db::Variant>& values, bool move,
                                 db::TLocateOptions options) {
    if (!SelectArea("TziLocateRecord")) return false;
    std::vector<LocateValue> wanted;
    wanted.reserve(values.size());
    for (const db::Variant& v : values) {
        std::visit(
            [&](const auto& x) {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, db::DateValue>) {
                    std::string text;
                    wanted.emplace_back(DateTextOf(x.value, text) ? text : BlankDateStr(DateCode()));
                } else {
                    wanted.emplace_back(x);
                }
            },
            v);
    }
    const bool found =
        LocateFields(fields, wanted, (options & db::loCaseInsensitive) != 0, (options & db::loPartialKey) == 0, move);
    if (move && found) bof_pending_ = eof_pending_ = false;
    return found;
}

int TZoVizuRez::TziGotoBookmark(const char* bookmark) { return SafeGo(Load<int32_t>(bookmark)); }

int TZoVizuRez::TziSetToBookmark(char* bookmark) {
    // The record just read, even if a calculated-field handler moved the engine since.
    Store<int32_t>(bookmark, last_read_);
    return 0;
}

int TZoVizuRez::TziCompareBookmarks(const char* a, const char* b, int& result) {
    const int32_t x = Load<int32_t>(a), y = Load<int32_t>(b);
    result = x < y ? -1 : x > y ? 1 : 0;
    return 0;
}

void TZoVizuRez::InternalCancel() {
    if (char* buffer = ActiveBuffer()) std::memset(buffer, 0, record_size_);
}

void TZoVizuRez::Post() {
    if (!db::EditModes(State())) return;
    TTzPrimDataset::Post();
    if (s_IsEmptyDbf()) TzResync();
}

// ---------------------------------------------------------------- properties

void TZoVizuRez::SetDbfFileName(const std::string& name) {
    const bool loading = Has(ui::csLoading);
    const bool keep_open = IsVirtual() && NotDesigning();
    if (keep_open) AfterWriteHook();
    const bool was_active = Active();
    if (!keep_open && !loading) Close();
    std::string trimmed = TzAllTrim(name);
    if (!trimmed.empty() && trimmed.back() != '.') trimmed = AddDefaultExt(trimmed, "DBF");
    dbf_file_name_ = trimmed;
    if (!keep_open && !loading && was_active) Open();
}

void TZoVizuRez::SetHideDeletedRecs(bool hide) {
    if (hide == hide_deleted_) return;
    hide_deleted_ = hide;
    if (!Active() || !NotDesigning()) return;
    PushPosition();
    if (!SelectArea("HideDeletedRecs")) return;
    SetIgnoreDel(hide);
    SkipIfHidden();
    TzResync();
}

bool TZoVizuRez::RecordDeleted() {
    if (!Active() || IsEmpty() || !NotDesigning()) return false;
    return ActiveBuffer()[0] != 0;
}

void TZoVizuRez::SetRecordDeleted(bool deleted) {
    if (deleted) {
        if (!RecordDeleted() && !IsEmpty()) Delete();
        return;
    }
    if (!RecordDeleted()) return;
    if (State() == db::dsInsert || State() == db::dsSetKey) {
        Cancel();
        return;
    }
    DataEvent(db::deCheckBrowseMode, 0);
    DoBeforeRestore();
    UpdateCursorPos();
    if (!RestoreOp()) return;
    FreeFieldBuffers();
    SetState(db::dsBrowse);
    TzResync();
    DoAfterRestore();
}

void TZoVizuRez::TzResync() {
    if (LastErrorCode() != 0) return;
    if (db::EditModes(State())) {
        FreeFieldBuffers();
        SetState(db::dsBrowse);
    }
    if (!SelectArea("TzResync")) return;
    const AreaPosition at = CurrentPosition();
    if (at.bof && at.eof) {
        if (char* buffer = ActiveBuffer()) std::memset(buffer, 0, record_size_);
        bof_pending_ = eof_pending_ = true;
        Resync(0);
    } else if (at.eof) {
        // The engine stands past the end: the dataset shows the last record.
        Last();
        return;
    } else {
        bof_pending_ = eof_pending_ = false;
        Resync(db::rmExact);
    }
    DoAfterScroll();
}

}  // namespace zurod
