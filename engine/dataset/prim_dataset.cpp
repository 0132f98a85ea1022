#include "engine/dataset/prim_dataset.hpp"

#include <cstring>

#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/start/start.hpp"
#include "framework/ui/forms.hpp"

namespace zurod {

namespace {

// Every program with a dataset links this file, so StartEngine gives it the
// datasets' start-up too.
[[maybe_unused]] const bool kStartsWithEngine = (AddEngineStarter(&DatasetInit), true);

constexpr size_t kInfoSize = 6;
constexpr size_t kFlagAt = 5;
// A record buffer beyond this is no table's: a corrupt layout, refused.
constexpr size_t kLargestBuffer = size_t{16} << 20;

bool CanStore(db::TDataSetState s) {
    return s == db::dsEdit || s == db::dsInsert || s == db::dsSetKey || s == db::dsCalcFields || s == db::dsFilter ||
        s == db::dsNewValue;
}

}  // namespace

void TTzPrimDataset::Raise(int code) {
    switch (code) {
    case kTzNoFileName: throw EZurodError("Missing DbfFilename property");
    case kTzEngineError:
    case kTzAtBof:
    case kTzAtEof: throw EZurodError("Dataset error: " + std::to_string(code));
    default: throw EZurodError("Dataset error: " + TziErrorText(code));
    }
}

std::unique_ptr<char[]> TTzPrimDataset::AllocRecordBuffer() {
    auto buffer = std::make_unique<char[]>(buffer_size_);
    std::memset(buffer.get(), 0, buffer_size_);
    return buffer;
}

void TTzPrimDataset::ClearCalcFields(char* buffer) {
    std::memset(buffer + record_size_, 0, static_cast<size_t>(CalcFieldsSize()));
}

void TTzPrimDataset::InternalOpen() {
    record_size_ = TziGetRecordSize();
    BookmarkSize = TziGetBookmarkSize();
    kind_ = TziGetKind();
    InitFieldDefs();
    if (FieldCount() == 0) CreateFields();
    BindFields(true);
    size_t blobs = 0;
    for (db::TField* f : Fields().List())
        if (f->IsBlob()) ++blobs;
    blob_offset_ = record_size_ + static_cast<size_t>(CalcFieldsSize());
    info_offset_ = blob_offset_ + 4 * blobs;
    bookmark_offset_ = info_offset_ + kInfoSize;
    buffer_size_ = bookmark_offset_ + static_cast<size_t>(BookmarkSize);
    if (record_size_ == 0 || buffer_size_ > kLargestBuffer)
        db::DatabaseError("Record buffer of " + std::to_string(buffer_size_) + " bytes refused", this);
    scratch_.assign(buffer_size_, 0);
    Check(TziSetToBegin());
}

void TTzPrimDataset::InternalClose() {
    BindFields(false);
    if (DefaultFields()) DestroyFields();
}

void TTzPrimDataset::OpenCursor(bool info_query) {
    Check(TziOpen());
    cursor_open_ = true;
    db::TDataSet::OpenCursor(info_query);
}

void TTzPrimDataset::CloseCursor() {
    db::TDataSet::CloseCursor();
    if (cursor_open_) TziClose();
    cursor_open_ = false;
}

db::TGetResult TTzPrimDataset::GetRecord(char* buffer, db::TGetMode mode, bool do_check) {
    int32_t rec_no = 0;
    const int code = mode == db::gmCurrent ? TziGetRecord(buffer, rec_no)
        : mode == db::gmNext               ? TziGetNextRecord(buffer, rec_no)
                                           : TziGetPriorRecord(buffer, rec_no);
    switch (code) {
    case 0:
        std::memcpy(buffer + info_offset_, &rec_no, sizeof rec_no);
        buffer[info_offset_ + kFlagAt] = static_cast<char>(db::bfCurrent);
        GetCalcFields(buffer);
        Check(TziSetToBookmark(buffer + bookmark_offset_));
        return db::grOK;
    case kTzAtBof: return db::grBOF;
    case kTzAtEof: return db::grEOF;
    default:
        if (do_check) Check(code);
        return db::grError;
    }
}

void TTzPrimDataset::InternalInitRecord(char* buffer) {
    std::memset(buffer, 0, buffer_size_);
    Check(TziInitRecord());
}

void TTzPrimDataset::InternalAddRecord(char* buffer, bool append) {
    Check(append ? TziAppendRecord(buffer) : TziInsertRecord(buffer));
}

void TTzPrimDataset::InternalPost() {
    if (State() == db::dsInsert)
        Check(TziInsertRecord(ActiveBuffer()));
    else if (State() == db::dsEdit)
        Check(TziPostRecord(ActiveBuffer()));
}

void TTzPrimDataset::InternalEdit() {
    int32_t rec_no = 0;
    Check(TziGetRecord(ActiveBuffer(), rec_no));
}

void TTzPrimDataset::InternalHandleException() {
    try {
        throw;
    } catch (const std::exception& e) {
        ui::Application().HandleException(e);
    }
}

void TTzPrimDataset::GetBookmarkData(char* buffer, char* data) {
    std::memcpy(data, buffer + bookmark_offset_, static_cast<size_t>(BookmarkSize));
}

void TTzPrimDataset::SetBookmarkData(char* buffer, const char* data) {
    std::memcpy(buffer + bookmark_offset_, data, static_cast<size_t>(BookmarkSize));
}

db::TBookmarkFlag TTzPrimDataset::GetBookmarkFlag(char* buffer) {
    return static_cast<db::TBookmarkFlag>(buffer[info_offset_ + kFlagAt]);
}

void TTzPrimDataset::SetBookmarkFlag(char* buffer, db::TBookmarkFlag flag) {
    buffer[info_offset_ + kFlagAt] = static_cast<char>(flag);
}

int32_t TTzPrimDataset::BufferRecNo(const char* buffer) const {
    int32_t n = 0;
    std::memcpy(&n, buffer + info_offset_, sizeof n);
    return n;
}

int TTzPrimDataset::GetRecordCount() {
    CheckActive();
    return TziGetRecordCount();
}

int TTzPrimDataset::GetRecNo() {
    CheckActive();
    const char* buffer = State() == db::dsCalcFields ? CalcBuffer() : ActiveBuffer();
    return buffer ? BufferRecNo(buffer) : 0;
}

void TTzPrimDataset::SetRecNoTo(int n) {
    if (n == RecNo()) return;
    CheckBrowseMode();
    DoBeforeScroll();
    if (SafeGo(n) == 0) {
        Resync(db::rmExact);
        DoAfterScroll();
    } else {
        CursorPosChanged();
    }
}

bool TTzPrimDataset::GetFieldData(db::TField* field, void* dest) {
    const char* buffer = nullptr;
    switch (State()) {
    case db::dsBrowse: buffer = IsEmpty() ? nullptr : ActiveBuffer(); break;
    case db::dsEdit:
    case db::dsInsert: buffer = ActiveBuffer(); break;
    case db::dsCalcFields: buffer = CalcBuffer(); break;
    default: break;
    }
    if (!buffer) return false;
    if (field->FieldNo() < 1) {
        const char* slot = buffer + record_size_ + field->Offset();
        if (slot[0] == 0) return false;
        if (dest) std::memcpy(dest, slot + 1, static_cast<size_t>(field->DataSize()));
        return true;
    }
    bool blank = false;
    Check(TziGetFieldData(field, buffer, blank, dest));
    return !blank;
}

void TTzPrimDataset::SetFieldData(db::TField* field, const void* source) {
    const db::TDataSetState state = State();
    if (!CanStore(state)) db::DatabaseError("Dataset not in edit or insert mode", this);
    char* buffer = state == db::dsCalcFields ? CalcBuffer() : ActiveBuffer();
    if (field->FieldNo() < 1) {
        char* slot = buffer + record_size_ + field->Offset();
        slot[0] = source ? 1 : 0;
        if (source) std::memcpy(slot + 1, source, static_cast<size_t>(field->DataSize()));
    } else {
        if (state == db::dsCalcFields) db::DatabaseError("Dataset not in edit or insert mode", this);
        if (field->ReadOnly && state != db::dsSetKey && state != db::dsFilter)
            db::DatabaseError("Field '" + field->DisplayName() + "' cannot be modified", this);
        field->Validate(source);
        if (field->FieldKind() != db::fkInternalCalc) Check(TziSetFieldData(field, buffer, source));
    }
    if (state != db::dsCalcFields && state != db::dsFilter && state != db::dsNewValue)
        DataEvent(db::deFieldChange, reinterpret_cast<intptr_t>(field));
}

bool TTzPrimDataset::BookmarkValid(const db::TBookmark& bookmark) {
    if (!cursor_open_ || bookmark.empty()) return false;
    CursorPosChanged();
    int32_t rec_no = 0;
    return TziGotoBookmark(bookmark.data()) == 0 && TziGetRecord(nullptr, rec_no) == 0;
}

int TTzPrimDataset::CompareBookmarks(const db::TBookmark& a, const db::TBookmark& b) {
    if (a.empty() && b.empty()) return 0;
    if (b.empty()) return -1;
    if (a.empty()) return 1;
    if (!cursor_open_) return 0;
    int result = 0;
    Check(TziCompareBookmarks(a.data(), b.data(), result));
    return result == 2 ? 0 : result;
}

bool TTzPrimDataset::GetCurrentRecord(char* buffer) {
    if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != db::bfCurrent) return false;
    UpdateCursorPos();
    int32_t rec_no = 0;
    return TziGetRecord(buffer, rec_no) == 0;
}

bool TTzPrimDataset::FindRecord(bool restart, bool go_forward) {
    CheckBrowseMode();
    DoBeforeScroll();
    SetFound(false);
    UpdateCursorPos();
    int32_t rec_no = 0;
    int code;
    if (go_forward) {
        if (restart) Check(TziSetToBegin());
        code = TziGetNextRecord(nullptr, rec_no);
    } else {
        if (restart) Check(TziSetToEnd());
        code = TziGetPriorRecord(nullptr, rec_no);
    }
    if (code == 0) {
        Resync(db::rmExact | db::rmCenter);
        SetFound(true);
        DoAfterScroll();
    } else {
        CursorPosChanged();
    }
    return Found();
}

bool TTzPrimDataset::Locate(const std::string& key_fields, const std::vector<db::Variant>& values,
                            db::TLocateOptions options) {
    // Pending edits are posted first: the resync below would drop them.
    CheckBrowseMode();
    DoBeforeScroll();
    UpdateCursorPos();
    const bool found = TziLocateRecord(key_fields, values, true, options);
    if (!found) {
        CursorPosChanged();
        return false;
    }
    Resync(db::rmExact | db::rmCenter);
    DoAfterScroll();
    return true;
}

std::vector<db::Variant> TTzPrimDataset::Lookup(const std::string& key_fields, const std::vector<db::Variant>& values,
                                                const std::string& result_fields) {
    CheckBrowseMode();
    UpdateCursorPos();
    std::vector<db::Variant> result;
    // The store stands on the record found while its values are read, and
    // goes back to the active record afterwards.
    if (TziLocateRecord(key_fields, values, true, 0)) {
        int32_t rec_no = 0;
        std::memset(scratch_.data(), 0, scratch_.size());
        if (TziGetRecord(scratch_.data(), rec_no) == 0) {
            std::memcpy(scratch_.data() + info_offset_, &rec_no, sizeof rec_no);
            result = FieldValuesOf(scratch_.data(), result_fields);
        }
    }
    CursorPosChanged();
    UpdateCursorPos();
    return result;
}

void TTzPrimDataset::DoOnNewRecord() {
    // A new record of an empty table starts blank, in the buffer and in the
    // store; the buffer keeps its bookmark flag.
    if (RecordCount() < 1) {
        std::memset(ActiveBuffer(), 0, record_size_);
        Check(TziInitRecord());
    }
    db::TDataSet::DoOnNewRecord();
}

}  // namespace zurod
