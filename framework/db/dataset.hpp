#pragma once
// The dataset of the data-aware layer: a window of record buffers over a
// store that a descendant implements through the protected protocol below
// (fill a buffer with the current, next or prior record; first and last;
// bookmarks; post, add and delete), with the states, navigation, editing,
// calculated fields, events and notifications that data sources fan out to
// their data links.
//
// The window holds as many buffers as the largest buffer count among the
// links (at least one). BufferedRecords() of them hold records, the active
// one is the record the dataset stands on, and the current one is where the
// store's cursor is (-1: unknown, the next operation repositions it).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/db/fields.hpp"
#include "framework/db/stream.hpp"
#include "framework/ui/classes.hpp"

namespace db {

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue };
enum TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    deFocusControl,
};
enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TResyncModeFlag : unsigned { rmExact = 1, rmCenter = 2 };
using TResyncMode = unsigned;
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TDataAction { daFail, daAbort, daRetry };

inline bool EditModes(TDataSetState s) { return s == dsEdit || s == dsInsert || s == dsSetKey; }

// A bookmark's bytes; empty for none.
using TBookmark = std::string;
class TDataSet;
class TDataSource;
using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
using TDataSetErrorEvent = std::function<void(TDataSet*, EDatabaseError&, TDataAction&)>;

class TFields {
public:
    int Count() const { return static_cast<int>(list_.size()); }
    TField* operator[](int index) const;  // EListError out of range
    TField* FindField(const std::string& name) const;
    const std::vector<TField*>& List() const { return list_; }

private:
    friend class TDataSet;
    friend class TField;
    std::vector<TField*> list_;
    // Names as callers last wrote them, and their fields, in slots chosen by
    // the name's length and ends; emptied when the list or a name changes.
    struct Asked {
        std::string name;
        TField* field = nullptr;
    };
    mutable Asked asked_[64];
    mutable bool hashed_ = false;
};

class TDataSet : public ui::TComponent {
public:
    explicit TDataSet(ui::TComponent* owner);
    ~TDataSet() override;
    std::string ClassName() const override { return "TDataSet"; }
    // Closes the dataset and lets go of its data sources.
    void BeforeDestruction() override;

    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return active_record_ >= record_count_; }
    bool Modified() const { return modified_; }
    bool Found() const { return found_; }
    bool CanModify() { return GetCanModify(); }

    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Records actually moved (negative backwards).
    int MoveBy(int distance);
    int RecordCount() { return GetRecordCount(); }
    int RecNo() { return GetRecNo(); }
    void SetRecNo(int n) { SetRecNoTo(n); }
    // Refills the window around the store's current record: rmExact requires
    // that record to exist, rmCenter puts it in the middle of the window.
    virtual void Resync(TResyncMode mode);

    void Edit();
    void Insert();
    void Append();
    virtual void Post();
    virtual void Cancel();
    void Delete();
    // Posts a modified edit or insert, cancels an unmodified one.
    void CheckBrowseMode();
    // Data links write their pending edits into the fields.
    void UpdateRecord();
    void Refresh();
    void ClearFields();

    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark& bookmark);
    virtual bool BookmarkValid(const TBookmark&) { return false; }
    // Empty bookmarks are absent: both 0, only b -1, only a 1.
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);

    virtual bool Locate(const std::string& key_fields, const std::vector<Variant>& values, TLocateOptions options);
    // The result fields of the record found (empty when none).
    virtual std::vector<Variant> Lookup(const std::string& key_fields, const std::vector<Variant>& values,
                                        const std::string& result_fields);
    bool FindFirst() { return FindRecord(true, true); }
    bool FindLast() { return FindRecord(true, false); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }

    // Data events stop reaching the data sources until the matching enable,
    // which sends one dataset change (or the state change) for all of them.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disable_count_ != 0; }

    TFields& Fields() { return fields_; }
    int FieldCount() const { return fields_.Count(); }
    TFieldDefs& FieldDefs() { return field_defs_; }
    TField* FindField(const std::string& name) const { return fields_.FindField(name); }
    TField* FieldByName(const std::string& name) const;  // EDatabaseError when missing
    // Whether the fields were made from the definitions at open.
    bool DefaultFields() const { return default_fields_; }

    bool Filtered() const { return filtered_; }
    virtual void SetFiltered(bool filtered) { filtered_ = filtered; }
    const std::string& Filter() const { return filter_; }
    virtual void SetFilterText(const std::string& filter) { filter_ = filter; }
    bool AutoCalcFields = true;

    // The buffer of the active record (the calculation buffer while
    // calculating fields); nullptr while closed.
    char* ActiveBuffer() const;
    char* CalcBuffer() const { return calc_buffer_; }
    // Reads the store's current record into `buffer`; false when there is none.
    virtual bool GetCurrentRecord(char*) { return false; }
    virtual bool IsSequenced() { return true; }
    virtual std::unique_ptr<TStream> CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }

    // A field's native value in the record buffer the state selects; false
    // when it is Null. SetFieldData stores one (nullptr: Null).
    virtual bool GetFieldData(TField* field, void* buffer) = 0;
    virtual void SetFieldData(TField* field, const void* buffer) = 0;
    // Every data event passes here on its way to the data sources.
    virtual void DataEvent(TDataEvent event, intptr_t info);

    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
        AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll,
        AfterScroll, OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

protected:
    // The store's side of the window.
    virtual std::unique_ptr<char[]> AllocRecordBuffer() = 0;
    virtual TGetResult GetRecord(char* buffer, TGetMode mode, bool do_check) = 0;
    virtual int GetRecordSize() = 0;
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalInitFieldDefs() = 0;
    virtual void InternalInitRecord(char* buffer) = 0;
    virtual void InternalAddRecord(char* buffer, bool append) = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalPost() = 0;
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual void InternalRefresh() {}
    virtual void InternalGotoBookmark(const char* bookmark) = 0;
    virtual void InternalSetToRecord(char* buffer) = 0;
    virtual void InternalHandleException() = 0;
    virtual void GetBookmarkData(char* buffer, char* data) = 0;
    virtual void SetBookmarkData(char* buffer, const char* data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(char* buffer) = 0;
    virtual void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) = 0;
    virtual void ClearCalcFields(char*) {}
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    virtual void SetRecNoTo(int) {}
    virtual bool GetCanModify() { return true; }
    virtual bool FindRecord(bool, bool) { return false; }
    // Opening and closing around InternalOpen and InternalClose.
    virtual void OpenCursor(bool info_query);
    virtual void CloseCursor();
    // The field class of a type for the default fields.
    virtual TFieldFactory GetFieldClass(TFieldType type) { return DefaultFieldClass(type); }
    virtual void FreeFieldBuffers() {}

    virtual void DoBeforeOpen() { Fire(BeforeOpen); }
    virtual void DoAfterOpen() { Fire(AfterOpen); }
    virtual void DoBeforeClose() { Fire(BeforeClose); }
    virtual void DoAfterClose() { Fire(AfterClose); }
    virtual void DoBeforeInsert() { Fire(BeforeInsert); }
    virtual void DoAfterInsert() { Fire(AfterInsert); }
    virtual void DoBeforeEdit() { Fire(BeforeEdit); }
    virtual void DoAfterEdit() { Fire(AfterEdit); }
    virtual void DoBeforePost() { Fire(BeforePost); }
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoBeforeCancel() { Fire(BeforeCancel); }
    virtual void DoAfterCancel() { Fire(AfterCancel); }
    virtual void DoBeforeDelete() { Fire(BeforeDelete); }
    virtual void DoAfterDelete() { Fire(AfterDelete); }
    virtual void DoBeforeScroll() { Fire(BeforeScroll); }
    virtual void DoAfterScroll() { Fire(AfterScroll); }
    virtual void DoOnNewRecord() { Fire(OnNewRecord); }
    virtual void DoOnCalcFields() { Fire(OnCalcFields); }

    // Helpers for the store.
    void CheckActive() const;
    void CheckInactive() const;
    void CheckBrowsing();  // EDatabaseError unless in edit or insert state
    void SetState(TDataSetState state);
    // Switches the state without telling anyone (calculations); returns the old one.
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state);
    void SetModified(bool modified) { modified_ = modified; }
    void SetFound(bool found) { found_ = found; }
    void SetBof(bool bof) { bof_ = bof; }
    void SetEof(bool eof) { eof_ = eof; }
    // The store's cursor no longer stands on a known buffer / put it back on the active one.
    void CursorPosChanged() { current_record_ = -1; }
    void UpdateCursorPos();
    void SetCurrentRecord(int index);
    void ClearBuffers();
    void ActivateBuffers();
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void UpdateBufferCount();
    int BufferCount() const { return buffer_count_; }
    int BufferedRecords() const { return record_count_; }
    int ActiveRecordIndex() const { return active_record_; }
    char* Buffer(int index) const { return buffers_[static_cast<size_t>(index)].get(); }
    // The spare buffer past the window, where the next record is read.
    char* SpareBuffer() const { return Buffer(record_count_); }
    void InitRecord(char* buffer);
    int CalcFieldsSize() const { return calc_fields_size_; }
    // Computes the calculated fields of `buffer` (in the calculation state).
    void GetCalcFields(char* buffer);
    // The values of the fields named in `names` (separated by ';') as `buffer`
    // holds them, its calculated fields computed first.
    std::vector<Variant> FieldValuesOf(char* buffer, const std::string& names);
    // Runs `operation` with the cursor on the active record; an
    // EDatabaseError goes to the error event, whose action fails, aborts or retries.
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& error_event);
    // Bytes of a bookmark, set by the store when it opens.
    int BookmarkSize = 0;
    // The field definitions from the store, the default fields, and their binding.
    void InitFieldDefs();
    void CreateFields();
    void BindFields(bool binding);
    void DestroyFields();

private:
    friend class TDataSource;
    friend class TDataLink;
    void Fire(const TDataSetNotifyEvent& event) {
        if (event) event(this);
    }
    void SetBufferCount(int count);
    void MoveBuffer(int from, int to);
    // First or Last: the window filled again from that end.
    void MoveToEnd(bool last);
    // Lets go of the data sources and of the fields others own.
    void Detach();
    void BeginInsertAppend();
    void EndInsertAppend();
    void OpenCursorComplete();
    void AddField(TField* field);
    void RemoveField(TField* field);
    friend class TField;

    TDataSetState state_ = dsInactive;
    bool destruction_begun_ = false;
    std::vector<std::unique_ptr<char[]>> buffers_;
    int buffer_count_ = 0;
    int record_count_ = 0;
    int active_record_ = 0;
    int current_record_ = -1;
    bool bof_ = true, eof_ = true;
    bool modified_ = false;
    bool found_ = false;
    int disable_count_ = 0;
    TDataSetState disable_state_ = dsInactive;
    TDataEvent enable_event_ = deDataSetChange;
    bool default_fields_ = false;
    bool internal_open_complete_ = false;
    int calc_fields_size_ = 0;
    char* calc_buffer_ = nullptr;
    bool filtered_ = false;
    std::string filter_;
    TFields fields_;
    TFieldDefs field_defs_;
    std::vector<TDataSource*> data_sources_;
};

}  // namespace db
