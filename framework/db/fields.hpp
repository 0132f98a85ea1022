#pragma once
// Fields of a dataset: the definitions its store describes, and the field
// objects that read and write one value of the current record as text or as
// a value, with their validation rules and display widths.
//
// Each field has a native form in the record buffers (the store's business,
// through TDataSet::GetFieldData and SetFieldData): a string is its text and
// a terminating zero (Size + 1 bytes), an integer 4 bytes, a float a double,
// a boolean 2 bytes (0 false), a date the 32-bit day number counted from
// 1 January of year 1 (TDateTime + kDateDelta). A memo keeps no value in the
// buffer; it is read and written through the dataset's BLOB streams.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "framework/db/stream.hpp"
#include "framework/db/sysutils.hpp"
#include "framework/ui/classes.hpp"
#include "platform/error.hpp"

namespace db {

enum TFieldType { ftUnknown, ftString, ftInteger, ftBoolean, ftFloat, ftDate, ftMemo };
enum TFieldKind { fkData, fkCalculated, fkInternalCalc };

struct DateValue {
    TDateTime value = 0;
    friend bool operator==(const DateValue&, const DateValue&) = default;
};
// A field's value: Null (monostate), or its native kind.
using Variant = std::variant<std::monostate, bool, int64_t, double, std::string, DateValue>;
inline bool VarIsNull(const Variant& v) { return std::holds_alternative<std::monostate>(v); }

// The framework's database error.
struct EDatabaseError : platform::Error {
    using platform::Error::Error;
};
// A value outside the range its field allows.
struct ERangeError : platform::Error {
    using platform::Error::Error;
};
// Raises EDatabaseError; the message is prefixed with "<component name>: "
// when a named component is given.
[[noreturn]] void DatabaseError(const std::string& message, const ui::TComponent* component = nullptr);

class TDataSet;

struct TFieldDef {
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    bool Required = false;
    int FieldNo = 0;  // 1-based position in the store
};

class TFieldDefs {
public:
    // The field number is the new definition's position.
    TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    const TFieldDef& Items(int index) const;     // EListError out of range
    int IndexOf(const std::string& name) const;  // without regard to case; -1 when missing
    bool Updated = false;

private:
    std::vector<TFieldDef> items_;
};

class TField : public ui::TComponent {
public:
    TField(ui::TComponent* owner, TFieldType type);
    ~TField() override;
    std::string ClassName() const override { return "TField"; }
    void BeforeDestruction() override;

    TDataSet* DataSet() const { return dataset_; }
    // Joins (or leaves, with nullptr) a closed dataset's fields.
    void SetDataSet(TDataSet* dataset);
    const std::string& FieldName() const { return field_name_; }
    void SetFieldName(const std::string& name);
    TFieldType DataType() const { return data_type_; }
    TFieldKind FieldKind() const { return field_kind_; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return field_kind_ == fkCalculated; }
    int FieldNo() const { return field_no_; }
    int Size() const { return size_; }
    void SetSize(int size);
    // Bytes of the native form in a record buffer.
    virtual int DataSize() const { return 0; }
    // Place of a calculated field's presence byte in the calculated-fields part.
    int Offset() const { return offset_; }
    virtual bool IsBlob() const { return false; }
    int Index() const;
    // Moves the field within its dataset's fields (a grid's columns follow);
    // an active dataset tells its data sources of the new layout.
    void SetIndex(int index);

    bool ReadOnly = false;
    bool Visible = true;
    bool Required = false;
    std::string DisplayLabel;
    std::string EditMask;
    std::string DisplayName() const { return DisplayLabel.empty() ? field_name_ : DisplayLabel; }
    // The explicit width, or the type's default.
    int DisplayWidth() const { return display_width_ > 0 ? display_width_ : DefaultWidth(); }
    void SetDisplayWidth(int width) { display_width_ = width; }

    virtual std::string AsString();
    virtual void SetAsString(const std::string& value);
    virtual int32_t AsInteger();
    virtual void SetAsInteger(int32_t value);
    virtual double AsFloat();
    virtual void SetAsFloat(double value);
    virtual bool AsBoolean();
    virtual void SetAsBoolean(bool value);
    virtual TDateTime AsDateTime();
    virtual void SetAsDateTime(TDateTime value);
    virtual Variant Value();
    virtual void SetValue(const Variant& value);
    // The edit text and the display text (OnGetText may give both).
    std::string Text() { return GetTextOf(false); }
    void SetText(const std::string& text);
    std::string DisplayText() { return GetTextOf(true); }
    bool IsNull();
    void Clear() { SetData(nullptr); }

    // The native value of the current record; false when it is Null.
    bool GetData(void* buffer);
    // Stores a native value (nullptr: Null) through the dataset.
    void SetData(const void* buffer);
    virtual bool CanModify() const;
    // Whether a typed character can be part of the field's text.
    virtual bool IsValidChar(char c) const;
    void FocusControl();

    // Runs the validation rules and OnValidate on a new native value before
    // it is stored; during OnValidate the field reads that value.
    void Validate(const void* buffer);
    // OnChange, after a value was stored.
    void Change();

    std::function<void(TField*)> OnValidate;
    std::function<void(TField*)> OnChange;
    std::function<void(TField*, std::string& text, bool display)> OnGetText;
    std::function<void(TField*, const std::string& text)> OnSetText;

protected:
    virtual void GetText(std::string& text, bool display);
    // Rules of the type on a new native value (ranges).
    virtual void CheckValue(const void*) {}
    // Refuses a size the type cannot take ("Invalid field size").
    virtual void CheckTypeSize(int size);
    virtual int DefaultWidth() const { return 10; }
    [[noreturn]] void ConversionError(const char* type) const;

private:
    friend class TDataSet;
    std::string GetTextOf(bool display);

    TDataSet* dataset_ = nullptr;
    std::string field_name_;
    TFieldType data_type_;
    TFieldKind field_kind_ = fkData;
    int field_no_ = 0;
    int size_ = 0;
    int offset_ = 0;
    int display_width_ = 0;
    bool validating_ = false;
    const void* validate_buffer_ = nullptr;
};

class TStringField : public TField {
public:
    explicit TStringField(ui::TComponent* owner) : TField(owner, ftString) { SetSize(20); }
    std::string ClassName() const override { return "TStringField"; }
    int DataSize() const override { return Size() + 1; }
    std::string AsString() override;
    void SetAsString(const std::string& value) override;  // cut to Size
    int32_t AsInteger() override { return StrToInt(AsString()); }
    double AsFloat() override { return StrToFloat(AsString()); }
    bool AsBoolean() override;  // "T", "t", "Y", "y" are true
    Variant Value() override;

protected:
    void CheckTypeSize(int size) override;
    int DefaultWidth() const override { return Size(); }
};

// Shared by the integer and float fields: Min and Max, checked when either is set.
class TNumericField : public TField {
public:
    using TField::TField;
    std::string ClassName() const override { return "TNumericField"; }
    void SetAsString(const std::string& value) override;  // empty: Null

protected:
    virtual void SetAsNumberText(const std::string& text) = 0;
};

class TIntegerField : public TNumericField {
public:
    explicit TIntegerField(ui::TComponent* owner) : TNumericField(owner, ftInteger) {}
    std::string ClassName() const override { return "TIntegerField"; }
    int DataSize() const override { return 4; }
    std::string AsString() override;
    int32_t AsInteger() override;
    void SetAsInteger(int32_t value) override;
    double AsFloat() override { return AsInteger(); }
    void SetAsFloat(double value) override;
    Variant Value() override;
    int32_t MinValue = 0, MaxValue = 0;
    bool IsValidChar(char c) const override { return (c >= '0' && c <= '9') || c == '+' || c == '-'; }

protected:
    void SetAsNumberText(const std::string& text) override { SetAsInteger(StrToInt(text)); }
    void CheckValue(const void* buffer) override;
    int DefaultWidth() const override { return 11; }
};

class TFloatField : public TNumericField {
public:
    explicit TFloatField(ui::TComponent* owner) : TNumericField(owner, ftFloat) {}
    std::string ClassName() const override { return "TFloatField"; }
    int DataSize() const override { return 8; }
    std::string AsString() override;
    int32_t AsInteger() override;
    void SetAsInteger(int32_t value) override { SetAsFloat(value); }
    double AsFloat() override;
    void SetAsFloat(double value) override;
    Variant Value() override;
    double MinValue = 0, MaxValue = 0;
    bool IsValidChar(char c) const override;

protected:
    void SetAsNumberText(const std::string& text) override { SetAsFloat(StrToFloat(text)); }
    void CheckValue(const void* buffer) override;
    int DefaultWidth() const override { return 10; }
};

class TBooleanField : public TField {
public:
    explicit TBooleanField(ui::TComponent* owner) : TField(owner, ftBoolean) {}
    std::string ClassName() const override { return "TBooleanField"; }
    int DataSize() const override { return 2; }
    std::string AsString() override;  // the true or the false display text
    // The beginning of either display text, without regard to case; empty: Null.
    void SetAsString(const std::string& value) override;
    bool AsBoolean() override;
    void SetAsBoolean(bool value) override;
    Variant Value() override;
    // "True text;False text".
    const std::string& DisplayValues() const { return display_values_; }
    void SetDisplayValues(const std::string& values);

protected:
    int DefaultWidth() const override;

private:
    std::string display_values_ = "True;False";
    std::string true_text_ = "True", false_text_ = "False";
};

class TDateField : public TField {
public:
    explicit TDateField(ui::TComponent* owner) : TField(owner, ftDate) {}
    std::string ClassName() const override { return "TDateField"; }
    int DataSize() const override { return 4; }
    std::string AsString() override;
    void SetAsString(const std::string& value) override;  // empty: Null
    TDateTime AsDateTime() override;
    void SetAsDateTime(TDateTime value) override;
    double AsFloat() override { return AsDateTime(); }
    void SetAsFloat(double value) override { SetAsDateTime(value); }
    Variant Value() override;

protected:
    int DefaultWidth() const override { return static_cast<int>(DateToStr(EncodeDate(2000, 12, 31)).size()); }
};

class TBlobField : public TField {
public:
    TBlobField(ui::TComponent* owner, TFieldType type) : TField(owner, type) {}
    std::string ClassName() const override { return "TBlobField"; }
    bool IsBlob() const override { return true; }
    std::string AsString() override;  // the whole BLOB
    void SetAsString(const std::string& value) override;
    Variant Value() override;
};

class TMemoField : public TBlobField {
public:
    explicit TMemoField(ui::TComponent* owner) : TBlobField(owner, ftMemo) {}
    std::string ClassName() const override { return "TMemoField"; }

protected:
    void GetText(std::string& text, bool display) override;  // "(MEMO)" for display, "(memo)" when empty
};

// The layer's string-table entries: the texts of "yes", "no", true and false.
enum DataString : int { SYes = 65400, SNo = 65401, STextTrue = 65402, STextFalse = 65403 };
// Registers them in the string table (the program's start-up).
void RegisterDataStrings();

// A new field of the class for `type` (TDataSet::GetFieldClass chooses it).
using TFieldFactory = std::function<TField*(ui::TComponent* owner)>;
TFieldFactory DefaultFieldClass(TFieldType type);

}  // namespace db
