// The framework's dataset (TDataSet): its fields, opening and closing, state
// and events to the data sources, navigation, editing and bookmarks, on the
// window of record buffers (dataset_window.cpp) and the store's protocol.
#include "framework/db/dataset.hpp"

#include <algorithm>

#include "framework/db/datasource.hpp"
#include "platform/error.hpp"

namespace db {

namespace {

constexpr const char* kNotEditing = "Dataset not in edit or insert mode";

// Runs `done` when the scope ends, also when an exception leaves it; for
// restorations that cannot throw.
template <class F>
struct Finally {
    F done;
    ~Finally() { done(); }
};
template <class F>
Finally(F) -> Finally<F>;

}  // namespace

// ---------------------------------------------------------------- fields list

TField* TFields::operator[](int index) const {
    if (index < 0 || index >= Count()) throw ui::EListError("List index out of bounds (" + std::to_string(index) + ")");
    return list_[static_cast<size_t>(index)];
}

TField* TFields::FindField(const std::string& name) const {
    if (!hashed_) {
        for (Asked& a : asked_) a = {};
        hashed_ = true;
    }
    if (name.empty()) return nullptr;
    Asked& slot =
        asked_[(name.size() * 31 + static_cast<uint8_t>(name.front()) * 7 + static_cast<uint8_t>(name.back())) %
               std::size(asked_)];
    if (slot.field && slot.name == name) return slot.field;
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (TField* f : list_) {
        const std::string& n = f->FieldName();
        if (n.size() != name.size()) continue;
        size_t i = 0;
        while (i < n.size() && upper(n[i]) == upper(name[i])) ++i;
        if (i < n.size()) continue;
        slot = {name, f};
        return f;
    }
    return nullptr;
}

// ---------------------------------------------------------------- life

TDataSet::TDataSet(ui::TComponent* owner) : ui::TComponent(owner) {}

TDataSet::~TDataSet() {
    // Freed without Free: nothing virtual can run any more, so the store is
    // not closed; data sources and fields only let go.
    if (!destruction_begun_) {
        destruction_begun_ = true;
        Detach();
    }
}

void TDataSet::BeforeDestruction() {
    if (destruction_begun_) return;
    destruction_begun_ = true;
    Destroying();
    try {
        SetActive(false);
    } catch (...) {
        // A store that fails to close while going away has nobody left to tell.
    }
    Detach();
    ui::TComponent::BeforeDestruction();
}

void TDataSet::Detach() {
    while (!data_sources_.empty()) data_sources_.back()->SetDataSet(nullptr);
    // Fields someone else owns outlive the dataset; the default ones go with it.
    for (TField* f : std::vector<TField*>(fields_.list_))
        if (f->Owner() != this) RemoveField(f);
}

void TDataSet::AddField(TField* field) {
    fields_.hashed_ = false;
    fields_.list_.push_back(field);
    field->dataset_ = this;
}

void TDataSet::RemoveField(TField* field) {
    fields_.hashed_ = false;
    auto& list = fields_.list_;
    list.erase(std::remove(list.begin(), list.end(), field), list.end());
    field->dataset_ = nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
    TField* f = fields_.FindField(name);
    if (!f) DatabaseError("Field '" + name + "' not found", this);
    return f;
}

void TDataSet::CheckActive() const {
    if (!Active()) DatabaseError("Cannot perform this operation on a closed dataset", this);
}

void TDataSet::CheckInactive() const {
    if (Active()) DatabaseError("Cannot perform this operation on an open dataset", this);
}

void TDataSet::CheckBrowsing() {
    if (!EditModes(state_)) DatabaseError(kNotEditing, this);
}

// ---------------------------------------------------------------- opening

void TDataSet::SetActive(bool active) {
    if (active == Active()) return;
    if (active) {
        DoBeforeOpen();
        try {
            OpenCursor(false);
        } catch (...) {
            try {
                CloseCursor();
            } catch (...) {
                // The first failure is the one to report.
            }
            throw;
        }
        OpenCursorComplete();
    } else {
        const bool going = Has(ui::csDestroying);
        if (!going) DoBeforeClose();
        SetState(dsInactive);
        CloseCursor();
        if (!going) DoAfterClose();
    }
}

void TDataSet::OpenCursor(bool) {
    InternalOpen();
    internal_open_complete_ = true;
    UpdateBufferCount();
    bof_ = true;
}

void TDataSet::OpenCursorComplete() {
    SetState(dsBrowse);
    DoAfterOpen();
}

void TDataSet::CloseCursor() {
    SetBufferCount(0);
    if (internal_open_complete_) {
        internal_open_complete_ = false;
        FreeFieldBuffers();
        ClearBuffers();
        InternalClose();
    }
}

void TDataSet::InitFieldDefs() {
    field_defs_.Clear();
    InternalInitFieldDefs();
    field_defs_.Updated = true;
}

void TDataSet::CreateFields() {
    for (int i = 0; i < field_defs_.Count(); ++i) {
        const TFieldDef& def = field_defs_.Items(i);
        const TFieldFactory make = GetFieldClass(def.DataType);
        if (!make) DatabaseError("Field '" + def.Name + "' is of an unknown type", this);
        TField* field = make(this);
        field->field_name_ = def.Name;
        try {
            field->SetSize(def.Size);
        } catch (...) {
            ui::Free(field);
            throw;
        }
        field->Required = def.Required;
        AddField(field);
    }
    default_fields_ = true;
}

void TDataSet::DestroyFields() {
    while (!fields_.list_.empty()) {
        TField* f = fields_.list_.back();
        RemoveField(f);
        if (f->Owner() == this) ui::Free(f);
    }
    // A closed dataset still uses default fields: they are made again at the
    // next open (grids clear their columns meanwhile).
}

void TDataSet::BindFields(bool binding) {
    calc_fields_size_ = 0;
    for (TField* f : fields_.list_) {
        if (!binding) {
            f->field_no_ = 0;
            continue;
        }
        if (f->FieldKind() == fkCalculated) {
            f->field_no_ = 0;
            f->offset_ = calc_fields_size_;
            calc_fields_size_ += f->DataSize() + 1;
            continue;
        }
        const int i = field_defs_.IndexOf(f->FieldName());
        if (i < 0) DatabaseError("Field '" + f->FieldName() + "' not found", this);
        const TFieldDef& def = field_defs_.Items(i);
        if (def.DataType != f->DataType()) DatabaseError("Type mismatch for field '" + f->FieldName() + "'", this);
        f->field_no_ = def.FieldNo;
    }
}

// ---------------------------------------------------------------- events

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    modified_ = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    const TDataSetState old = state_;
    state_ = state;
    ++disable_count_;
    return old;
}

void TDataSet::RestoreState(TDataSetState state) {
    state_ = state;
    --disable_count_;
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deFieldChange) {
        TField* field = reinterpret_cast<TField*>(info);
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) modified_ = true;
        if (AutoCalcFields && calc_fields_size_ > 0 && (state_ == dsEdit || state_ == dsInsert))
            GetCalcFields(ActiveBuffer());
        field->Change();
    }
    if (disable_count_ == 0) {
        const std::vector<TDataSource*> sources = data_sources_;
        for (TDataSource* s : sources)
            if (std::find(data_sources_.begin(), data_sources_.end(), s) != data_sources_.end())
                s->DataEvent(event, info);
    } else if ((event == deUpdateState && state_ == dsInactive) || event == deLayoutChange) {
        enable_event_ = deLayoutChange;
    }
}

void TDataSet::DisableControls() {
    if (disable_count_ == 0) {
        disable_state_ = state_;
        enable_event_ = deDataSetChange;
    }
    ++disable_count_;
}

void TDataSet::EnableControls() {
    if (disable_count_ == 0) return;
    if (--disable_count_ != 0) return;
    if (disable_state_ != state_) DataEvent(deUpdateState, 0);
    if (disable_state_ != dsInactive && state_ != dsInactive) DataEvent(enable_event_, 0);
}

// ---------------------------------------------------------------- navigation

void TDataSet::First() { MoveToEnd(false); }
void TDataSet::Last() { MoveToEnd(true); }

void TDataSet::MoveToEnd(bool last) {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    platform::ThenAlways(
        [this, last] {
            if (last) {
                InternalLast();
                GetPriorRecords();
            } else {
                InternalFirst();
                GetNextRecords();
            }
        },
        [this, last] {
            (last ? eof_ : bof_) = true;
            DataEvent(deDataSetChange, 0);
        });
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
        bof_ = eof_ = false;
        const int old_count = record_count_;
        int scroll = 0;
        platform::ThenAlways(
            [&] {
                const bool forward = distance > 0;
                const int step = forward ? 1 : -1;
                for (; distance != 0; distance -= step, result += step) {
                    if (forward ? active_record_ < record_count_ - 1 : active_record_ > 0) {
                        active_record_ += step;
                        continue;
                    }
                    const bool full = record_count_ >= buffer_count_;
                    if (!(forward ? GetNextRecord() : GetPriorRecord())) {
                        (forward ? eof_ : bof_) = true;
                        break;
                    }
                    // The new record came in at the window's end (its start going
                    // back): a full window scrolls, else the new record is active.
                    if (full)
                        scroll -= step;
                    else
                        active_record_ = forward ? record_count_ - 1 : 0;
                }
            },
            [&] {
                if (record_count_ != old_count)
                    DataEvent(deDataSetChange, 0);
                else
                    DataEvent(deDataSetScroll, scroll);
            });
        DoAfterScroll();
    }
    return result;
}

void TDataSet::Resync(TResyncMode mode) {
    if (mode & rmExact) {
        CursorPosChanged();
        if (GetRecord(SpareBuffer(), gmCurrent, true) != grOK) DatabaseError("Record not found", this);
    } else if (GetRecord(SpareBuffer(), gmCurrent, false) != grOK && GetRecord(SpareBuffer(), gmNext, false) != grOK &&
               GetRecord(SpareBuffer(), gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int before = (mode & rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
    MoveBuffer(record_count_, 0);
    ActivateBuffers();
    platform::ThenAlways(
        [&] {
            while (before > 0 && GetPriorRecord()) --before;
            GetNextRecords();
            GetPriorRecords();
        },
        [this] { DataEvent(deDataSetChange, 0); });
}

// ---------------------------------------------------------------- editing

void TDataSet::InitRecord(char* buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::GetCalcFields(char* buffer) {
    if (calc_fields_size_ <= 0) return;
    const TDataSetState saved = SetTempState(dsCalcFields);
    char* const saved_buffer = calc_buffer_;
    calc_buffer_ = buffer;
    Finally restore{[&] {
        calc_buffer_ = saved_buffer;
        RestoreState(saved);
    }};
    ClearCalcFields(buffer);
    DoOnCalcFields();
}

std::vector<Variant> TDataSet::FieldValuesOf(char* buffer, const std::string& names) {
    const TDataSetState saved = SetTempState(dsCalcFields);
    char* const saved_buffer = calc_buffer_;
    calc_buffer_ = buffer;
    Finally restore{[&] {
        calc_buffer_ = saved_buffer;
        RestoreState(saved);
    }};
    if (calc_fields_size_ > 0) {
        ClearCalcFields(buffer);
        DoOnCalcFields();
    }
    std::vector<Variant> values;
    for (size_t at = 0; at <= names.size();) {
        size_t end = names.find(';', at);
        if (end == std::string::npos) end = names.size();
        values.push_back(FieldByName(names.substr(at, end - at))->Value());
        at = end + 1;
    }
    return values;
}

void TDataSet::CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& error_event) {
    for (;;) {
        try {
            UpdateCursorPos();
            operation();
            return;
        } catch (EDatabaseError& e) {
            TDataAction action = daFail;
            if (error_event) error_event(this, e, action);
            if (action == daFail) throw;
            if (action == daAbort) throw ui::EAbort();
        }
    }
}

void TDataSet::Edit() {
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (record_count_ == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset", this);
    DoBeforeEdit();
    CheckOperation([this] { InternalEdit(); }, OnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset", this);
    DoBeforeInsert();
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        UpdateCursorPos();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync(0);
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Insert() {
    BeginInsertAppend();
    const TBookmark old = GetBookmark();
    MoveBuffer(record_count_, active_record_);
    // The buffers behind the new one moved; find the cursor again when needed.
    CursorPosChanged();
    char* buffer = ActiveBuffer();
    InitRecord(buffer);
    if (record_count_ == 0 || old.empty())
        SetBookmarkFlag(buffer, record_count_ == 0 ? bfBOF : bfEOF);
    else
        SetBookmarkData(buffer, old.data());
    if (record_count_ < buffer_count_) ++record_count_;
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    char* buffer = Buffer(0);
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    record_count_ = 1;
    bof_ = false;
    GetPriorRecords();
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Post() {
    UpdateRecord();
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation([this] { InternalPost(); }, OnPostError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    DoAfterPost();
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeCancel();
    UpdateCursorPos();
    if (state_ == dsEdit) InternalCancel();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    DoAfterCancel();
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsSetKey) {
        Cancel();
        return;
    }
    if (record_count_ == 0) DatabaseError("Cannot perform this operation on an empty dataset", this);
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckOperation([this] { InternalDelete(); }, OnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (modified_)
            Post();
        else
            Cancel();
        break;
    case dsSetKey: Post(); break;
    default: break;
    }
}

void TDataSet::UpdateRecord() {
    if (!EditModes(state_)) DatabaseError(kNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    UpdateCursorPos();
    InternalRefresh();
    Resync(0);
}

void TDataSet::ClearFields() {
    if (!EditModes(state_)) DatabaseError(kNotEditing, this);
    DataEvent(deCheckBrowseMode, 0);
    FreeFieldBuffers();
    InternalInitRecord(ActiveBuffer());
    if (state_ != dsSetKey) GetCalcFields(ActiveBuffer());
    DataEvent(deRecordChange, 0);
}

// ---------------------------------------------------------------- bookmarks and searches

TBookmark TDataSet::GetBookmark() {
    if ((state_ != dsBrowse && state_ != dsEdit && state_ != dsInsert) || IsEmpty() || BookmarkSize <= 0 ||
        GetBookmarkFlag(ActiveBuffer()) != bfCurrent)
        return {};
    TBookmark bookmark(static_cast<size_t>(BookmarkSize), '\0');
    GetBookmarkData(ActiveBuffer(), bookmark.data());
    return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.data());
    Resync(rmExact | rmCenter);
    DoAfterScroll();
}

int TDataSet::CompareBookmarks(const TBookmark&, const TBookmark&) { return 0; }

bool TDataSet::Locate(const std::string&, const std::vector<Variant>&, TLocateOptions) { return false; }

std::vector<Variant> TDataSet::Lookup(const std::string&, const std::vector<Variant>&, const std::string&) {
    return {};
}

}  // namespace db
