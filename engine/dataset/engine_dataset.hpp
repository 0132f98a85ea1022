#pragma once
// Datasets bound to a work area of the engine (TZoVizuRez): the table's
// field list and file name, the conversion between the engine's typed
// record and the dataset's record buffers, the pending BOF/EOF state that
// keeps the engine on a record while the dataset stands before the first or
// after the last, creating a missing table from its field list, and the
// second layer of operations that table files and virtual files fill in.
//
// The dataset's record data: byte 0 the delete mark, then per field C its
// text as a length byte and the characters (length + 1), D a TDateTime
// (0 = blank), N or F with decimals a double, without decimals a 32-bit
// integer (a double when the field has 10 digits or more), L two bytes (the
// value in the first), M the 4-byte memo reference.
//
// Every operation selects the dataset's area first. On a closed dataset it
// records 1103 "Database is not open [<name>.<operation>]", asks the
// application to terminate and returns its neutral result without touching
// any work area.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dataset/prim_dataset.hpp"
#include "engine/dbf/tables.hpp"
#include "framework/db/datasource.hpp"
#include "framework/ui/classes.hpp"
#include "platform/locale.hpp"

namespace zurod {

enum TTzTableLanguage { tlOem, tlAnsi };

// One table field as the dataset found it at open; `offset` is the field's
// slot in the engine's typed buffer.
struct TDTField {
    std::string name;
    char type = 'C';
    uint16_t length = 0;
    uint16_t decimals = 0;
    size_t offset = 0;
    friend bool operator==(const TDTField&, const TDTField&) = default;
};

// The fields of the current area with their slots in its typed buffer.
std::vector<TDTField> TypedLayout();
// Whether a numeric slot holds a double rather than a 64-bit integer.
inline bool RealSlot(const TDTField& f) { return f.decimals > 0 || f.length > 18; }

struct TDbfFieldProps {
    std::span<char> typed;  // the area's typed buffer; byte 0 the delete flag
    std::vector<TDTField> fields;
};

// Date fields whose text is the engine's date (cut to 10 characters).
class TTzDateField : public db::TDateField {
public:
    using db::TDateField::TDateField;
    std::string ClassName() const override { return "TTzDateField"; }
    // The blank template clears the field; a valid date of the engine's
    // format is taken as it is, anything else goes to the date parser.
    void SetAsString(const std::string& value) override;

protected:
    void GetText(std::string& text, bool display) override;

private:
    struct Shown {
        int32_t day = 0;
        std::string format;
        char separator = 0;
        std::string text;
    } shown_;
};

// Numeric fields that carry the table field's length (0 to 20) as their size.
class TTzFloatField : public db::TFloatField {
public:
    using db::TFloatField::TFloatField;
    std::string ClassName() const override { return "TTzFloatField"; }

protected:
    void CheckTypeSize(int size) override;
};

class TTzIntegerField : public db::TIntegerField {
public:
    using db::TIntegerField::TIntegerField;
    std::string ClassName() const override { return "TTzIntegerField"; }

protected:
    void CheckTypeSize(int size) override;
};

// A data link whose row setter also puts the row into the engine's typed
// buffer (ActivateLinkRow), so that handlers reading fields with the
// engine's operations see that row. It never moves the record pointer, and
// the dataset's next operation finds its typed buffer as it was before.
class TTzDataLink : public db::TDataLink {
public:
    std::string ClassName() const override { return "TTzDataLink"; }
    int32_t TzRecord() const { return tz_record_; }
    virtual void SetTzRecord(int32_t row);

private:
    int32_t tz_record_ = 0;
};

// Keeps the engine's last error across calls that clear it: an error
// pending when the scope began is pending again when it ends.
class KeepErrorScope {
public:
    KeepErrorScope();
    ~KeepErrorScope();
    KeepErrorScope(const KeepErrorScope&) = delete;
    KeepErrorScope& operator=(const KeepErrorScope&) = delete;
    uint16_t Code() const { return code_; }

private:
    uint16_t code_;
    std::string message_;
};

// Makes `row` the link's active record when it is not, and, for a dataset of
// this engine, shows that buffer in the engine's typed buffer
// (TZoVizuRez::ShowRowInEngine).
void ActivateLinkRow(db::TDataLink& link, int row);

// A date as text in the engine's current format with all four digits of the
// year; the blank template for 0, empty outside years 1..9999.
std::string EngineDateTextOf(db::TDateTime date);

// Text without leading and trailing characters of code 32 or less.
std::string TzAllTrim(std::string_view s);
// Turns the engine's automatic error handling off; returns the old switch.
bool SuspendEngineErrors();
// Shows `text` in the plain message box.
void TzShowMessage(const std::string& text);
// The texts of "yes", "no", true and false, at most 20 characters each.
std::string TzYesText();
std::string TzNoText();
std::string TzTrueText();
std::string TzFalseText();

// The engine's date mode for a short date format: first letter D with the
// separator '-' 3, '.' 5, else 2; Y 1; anything else 0. `century` is set
// when the format holds "YYYY".
uint8_t DateModeOfFormat(const std::string& format, char separator, bool& century);
// The unit's start-up: the user's number separators and date format become
// the engine's, and the layer's texts are registered.
void DatasetInit();

class TZoVizuRez : public TTzPrimDataset {
public:
    explicit TZoVizuRez(ui::TComponent* owner);
    ~TZoVizuRez() override;
    std::string ClassName() const override { return "TZoVizuRez"; }

    ui::TStringList& DbfFields() { return dbf_fields_; }
    const std::string& DbfFileName() const { return dbf_file_name_; }
    void SetDbfFileName(const std::string& name);
    bool HideDeletedRecs() const { return hide_deleted_; }
    void SetHideDeletedRecs(bool hide);
    TTzTableLanguage TableLanguage = tlOem;
    bool ShowProgress = true;
    ui::TNotifyEvent BeforeRestore, AfterRestore;

    // The work area holding the table, 0 while closed.
    uint8_t WorkArea() const { return work_area_; }
    const std::optional<TDbfFieldProps>& FieldProps() const { return field_props_; }
    virtual bool IsVirtual() const { return false; }

    // The delete mark of the active record: setting it deletes through the
    // framework, removing it runs the restore sequence.
    bool RecordDeleted();
    void SetRecordDeleted(bool deleted);
    void Post() override;

    // Brings the record buffers in line with the engine after a command.
    void TzResync();
    // The memo reference of a memo field in the active buffer.
    int32_t MemoReference(const db::TField* field);
    void SetMemoReference(const db::TField* field, int32_t block);
    // The active buffer into the engine's typed buffer.
    void ActiveBufferToEngine();

    // The active buffer (a data link's row) shown in the engine's typed
    // buffer, for handlers that read it with the engine's operations
    // (record_guard.cpp). The typed buffer it replaced is kept and put back
    // before the dataset's next operation or write into the typed buffer,
    // so a pending ClearRecord, FieldPut or AppendRec never meets a row
    // that was only shown.
    void ShowRowInEngine();
    void RestoreTypedBuffer();

protected:
    // Selects the area for an operation; false (after recording 1103) on a
    // closed dataset.
    virtual bool SelectArea(std::string_view label);
    virtual void DoBeforeRestore();
    virtual void DoAfterRestore();
    virtual void ScrollHook() {}
    virtual void AfterWriteHook() {}
    virtual void BeforeCloseHook() {}
    // Opens the table in the selected area.
    virtual bool OpenTable(const std::string& file_name) = 0;
    // Writes of the typed buffer: false when the operation was not done.
    virtual bool AppendOp() = 0;
    virtual bool DeleteOp() = 0;
    virtual bool RestoreOp() = 0;
    virtual bool ReplaceOp() = 0;
    bool NotDesigning() const { return !Has(ui::csDesigning); }
    // Runs an engine write and, when it worked, moves off the record it hid;
    // whether it moved.
    static bool WriteThenSkipHidden(const std::function<void()>& write);
    // The record as the edit found it is remembered, for the post.
    void InternalEdit() override;
    // A post's write, under the record's lock: the record is replaced only
    // while it is stored as the edit found it (else 1203, and the user
    // reloads it), and keeps its stored delete mark whatever the edit
    // buffer holds.
    void ReplaceUnlessChanged();
    // Puts the engine on the active record, whatever the dataset believes.
    void PushPosition() {
        CursorPosChanged();
        UpdateCursorPos();
    }

    std::string TziErrorText(int code) override;
    bool s_IsEmptyDbf() override;
    int TziSetToBegin() override;
    int TziSetToEnd() override;
    int TziOpen() override;
    void TziClose() override;
    int TziGetRecordCount() override;
    int TziForceReread() override;
    int TziAppendRecord(char* buffer) override;
    int TziInsertRecord(char* buffer) override { return TziAppendRecord(buffer); }
    int TziDeleteRecord() override;
    int TziInitRecord() override;
    int TziPostRecord(char* buffer) override;
    size_t TziGetRecordSize() override { return record_size_; }
    int TziGetKind() override { return 2; }
    int TziGetRecord(char* buffer, int32_t& rec_no) override;
    int TziGetNextRecord(char* buffer, int32_t& rec_no) override;
    int TziGetPriorRecord(char* buffer, int32_t& rec_no) override;
    int TziGetFieldData(db::TField* field, const char* buffer, bool& is_blank, void* dest) override;
    int TziSetFieldData(db::TField* field, char* buffer, const void* source) override;
    int SafeGo(int32_t n) override;
    bool TziLocateRecord(const std::string& fields, const std::vector<db::Variant>& values, bool move,
                         db::TLocateOptions options) override;
    int TziGetBookmarkSize() override { return 4; }
    int TziGotoBookmark(const char* bookmark) override;
    int TziSetToBookmark(char* bookmark) override;
    int TziCompareBookmarks(const char* a, const char* b, int& result) override;

    void InternalCancel() override;
    void InternalInitFieldDefs() override;
    db::TFieldFactory GetFieldClass(db::TFieldType type) override;
    void SetRecNoTo(int n) override;

    // The engine's typed record into a dataset buffer, and back.
    void ReadRecord(char* buffer);
    void WriteRecord(const char* buffer);
    void WriteField(const char* buffer, size_t index);

    // The field definitions of DbfFields (name, type letter, length,
    // decimals, separated by commas), corrected as a table can take them:
    // nullopt for a line without exactly three commas; a length or decimals
    // that is no number raises the conversion error.
    std::optional<std::vector<FieldDef>> ParseDbfFields();
    // Creates `file_name` from DbfFields; false after a message or silently
    // for a malformed line.
    bool CreateTableFromFields(const std::string& file_name);

    // A scope that leaves the engine as it found it (current area, last
    // error, the area's typed buffer) around caller code run in the middle
    // of engine work.
    class NestedDispatch {
    public:
        explicit NestedDispatch(TZoVizuRez& dataset);
        ~NestedDispatch();
        NestedDispatch(const NestedDispatch&) = delete;
        NestedDispatch& operator=(const NestedDispatch&) = delete;

    private:
        TZoVizuRez& dataset_;
        uint8_t area_;
        uint16_t code_;
        std::string message_;
        std::vector<char> typed_;
    };

    bool bof_pending_ = false;
    bool eof_pending_ = false;

private:
    // How each field crosses between the typed buffer and the record data.
    enum class Crossing : uint8_t { Text, Date, Real, Whole32, WholeReal, RealWhole, Logical, Memo };
    struct FieldPlan {
        Crossing how;
        uint8_t length;
        uint8_t decimals;
        size_t typed;
        size_t data;
        // Dates: the slot text last read (length byte first), the date
        // format it was read in (code and century window) and its value.
        char last_date[11] = {};
        uint32_t last_format = UINT32_MAX;
        double last_value = 0;
        // Dates: the value last written, its date code and its text.
        double written_value = -1;
        uint8_t written_code = 0;
        std::string written_text;
    };

    bool OpenInArea();
    void BuildFieldProps();
    int EngineCode() const;

    uint8_t work_area_ = 0;
    int32_t last_read_ = 0;  // the record number of the record last read
    // The record data of the record an edit began on, and its number.
    std::vector<char> edit_origin_;
    int32_t edit_origin_rec_ = 0;
    std::vector<char> edit_values_, stored_now_;
    // The typed buffer that rows shown from a data link replaced.
    std::vector<char> typed_kept_;
    bool typed_is_kept_ = false;
    size_t record_size_ = 0;
    ui::TStringList dbf_fields_;
    std::string dbf_file_name_;
    bool hide_deleted_ = false;
    std::optional<TDbfFieldProps> field_props_;
    std::vector<FieldPlan> plans_;
};

}  // namespace zurod
