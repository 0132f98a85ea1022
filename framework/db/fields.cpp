#include "framework/db/fields.hpp"

#include <strings.h>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/db/dataset.hpp"
#include "framework/ui/resources.hpp"
#include "platform/locale.hpp"

namespace db {

namespace {

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

void DatabaseError(const std::string& message, const ui::TComponent* component) {
    if (component && !component->Name().empty()) throw EDatabaseError(component->Name() + ": " + message);
    throw EDatabaseError(message);
}

// ---------------------------------------------------------------- definitions

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
    TFieldDef& def = items_.emplace_back();
    def.Name = name;
    def.DataType = type;
    def.Size = size;
    def.Required = required;
    def.FieldNo = Count();
    return def;
}

const TFieldDef& TFieldDefs::Items(int index) const {
    if (index < 0 || index >= Count()) throw ui::EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[static_cast<size_t>(index)];
}

int TFieldDefs::IndexOf(const std::string& name) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i].Name, name)) return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------- field

TField::TField(ui::TComponent* owner, TFieldType type) : ui::TComponent(owner), data_type_(type) {}

TField::~TField() {
    if (dataset_) dataset_->RemoveField(this);
}

void TField::BeforeDestruction() {
    if (dataset_) dataset_->RemoveField(this);
    ui::TComponent::BeforeDestruction();
}

void TField::SetDataSet(TDataSet* dataset) {
    if (dataset == dataset_) return;
    if (dataset_) dataset_->CheckInactive();
    if (dataset) dataset->CheckInactive();
    if (dataset_) dataset_->RemoveField(this);
    if (dataset) {
        dataset->AddField(this);
        dataset->default_fields_ = false;  // a field of the caller's: the fields are no longer made at open
    }
}

void TField::SetFieldName(const std::string& name) {
    if (dataset_) {
        dataset_->CheckInactive();
        dataset_->fields_.hashed_ = false;
    }
    field_name_ = name;
}

void TField::SetFieldKind(TFieldKind kind) {
    if (dataset_) dataset_->CheckInactive();
    field_kind_ = kind;
}

void TField::SetSize(int size) {
    if (dataset_) dataset_->CheckInactive();
    CheckTypeSize(size);
    size_ = size;
}

void TField::CheckTypeSize(int size) {
    if (size != 0) DatabaseError("Invalid field size");
}

int TField::Index() const {
    if (!dataset_) return -1;
    const auto& list = dataset_->Fields().List();
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

bool TField::IsValidChar(char c) const { return static_cast<unsigned char>(c) >= ' '; }

bool TFloatField::IsValidChar(char c) const {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'E' || c == 'e' ||
        c == platform::NumberSettings().decimal_separator;
}

void TField::SetIndex(int index) {
    if (!dataset_) return;
    auto& list = dataset_->fields_.list_;
    const int from = Index();
    index = std::clamp(index, 0, static_cast<int>(list.size()) - 1);
    if (from < 0 || from == index) return;
    list.erase(list.begin() + from);
    list.insert(list.begin() + index, this);
    if (dataset_->Active()) dataset_->DataEvent(deLayoutChange, 0);
}

void TField::ConversionError(const char* type) const {
    DatabaseError("Cannot access field '" + DisplayName() + "' as type " + type);
}

std::string TField::AsString() { ConversionError("String"); }
void TField::SetAsString(const std::string&) { ConversionError("String"); }
int32_t TField::AsInteger() { ConversionError("Integer"); }
void TField::SetAsInteger(int32_t) { ConversionError("Integer"); }
double TField::AsFloat() { ConversionError("Float"); }
void TField::SetAsFloat(double) { ConversionError("Float"); }
bool TField::AsBoolean() { ConversionError("Boolean"); }
void TField::SetAsBoolean(bool) { ConversionError("Boolean"); }
TDateTime TField::AsDateTime() { ConversionError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { ConversionError("DateTime"); }
Variant TField::Value() { ConversionError("Variant"); }

void TField::SetValue(const Variant& value) {
    std::visit(
        [this](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                Clear();
            else if constexpr (std::is_same_v<T, bool>)
                SetAsBoolean(v);
            else if constexpr (std::is_same_v<T, int64_t>) {
                if (v >= INT32_MIN && v <= INT32_MAX)
                    SetAsInteger(static_cast<int32_t>(v));
                else
                    SetAsFloat(static_cast<double>(v));
            } else if constexpr (std::is_same_v<T, double>)
                SetAsFloat(v);
            else if constexpr (std::is_same_v<T, std::string>)
                SetAsString(v);
            else
                SetAsDateTime(v.value);
        },
        value);
}

void TField::GetText(std::string& text, bool) { text = AsString(); }

std::string TField::GetTextOf(bool display) {
    std::string text;
    if (OnGetText)
        OnGetText(this, text, display);
    else
        GetText(text, display);
    return text;
}

void TField::SetText(const std::string& text) {
    if (OnSetText)
        OnSetText(this, text);
    else
        SetAsString(text);
}

bool TField::IsNull() {
    if (IsBlob()) return AsString().empty();
    char small[512];
    if (DataSize() <= static_cast<int>(sizeof small)) return !GetData(small);
    std::vector<char> scratch(static_cast<size_t>(DataSize()));
    return !GetData(scratch.data());
}

bool TField::GetData(void* buffer) {
    if (validating_) {
        if (!validate_buffer_) return false;
        if (buffer) std::memcpy(buffer, validate_buffer_, static_cast<size_t>(DataSize()));
        return true;
    }
    if (!dataset_) DatabaseError("Field '" + DisplayName() + "' has no dataset");
    return dataset_->GetFieldData(this, buffer);
}

void TField::SetData(const void* buffer) {
    if (!dataset_) DatabaseError("Field '" + DisplayName() + "' has no dataset");
    dataset_->SetFieldData(this, buffer);
}

bool TField::CanModify() const {
    if (ReadOnly || !dataset_) return false;
    return field_kind_ != fkData || dataset_->CanModify();
}

void TField::FocusControl() {
    if (dataset_) dataset_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(this));
}

void TField::Validate(const void* buffer) {
    if (buffer) CheckValue(buffer);
    if (!OnValidate) return;
    validating_ = true;
    validate_buffer_ = buffer;
    struct Reset {
        TField* f;
        ~Reset() {
            f->validating_ = false;
            f->validate_buffer_ = nullptr;
        }
    } reset{this};
    OnValidate(this);
}

void TField::Change() {
    if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- strings

std::string TStringField::AsString() {
    char small[512];
    if (DataSize() <= static_cast<int>(sizeof small)) {
        if (!GetData(small)) return {};
        return std::string(small, strnlen(small, static_cast<size_t>(Size())));
    }
    std::string buffer(static_cast<size_t>(Size()) + 1, '\0');
    if (!GetData(buffer.data())) return {};
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

void TStringField::SetAsString(const std::string& value) {
    const size_t n = std::min(value.size(), static_cast<size_t>(Size()));
    char small[512];
    if (n < sizeof small) {
        std::memcpy(small, value.data(), n);
        small[n] = '\0';
        SetData(small);
        return;
    }
    std::string buffer(static_cast<size_t>(Size()) + 1, '\0');
    std::memcpy(buffer.data(), value.data(), n);
    SetData(buffer.data());
}

bool TStringField::AsBoolean() {
    const std::string s = AsString();
    return !s.empty() && std::strchr("TtYy", s[0]) != nullptr;
}

Variant TStringField::Value() {
    if (IsNull()) return {};
    return AsString();
}

void TStringField::CheckTypeSize(int size) {
    if (size < 0) DatabaseError("Invalid field size");
}

// ---------------------------------------------------------------- numbers

void TNumericField::SetAsString(const std::string& value) {
    const std::string text = TrimBlanks(value);
    if (text.empty())
        Clear();
    else
        SetAsNumberText(text);
}

int32_t TIntegerField::AsInteger() {
    int32_t v = 0;
    return GetData(&v) ? v : 0;
}

std::string TIntegerField::AsString() {
    int32_t v = 0;
    return GetData(&v) ? IntToStr(v) : std::string();
}

void TIntegerField::SetAsInteger(int32_t value) { SetData(&value); }

void TIntegerField::SetAsFloat(double value) {
    const double r = std::round(value);
    if (!(r >= INT32_MIN && r <= INT32_MAX))
        throw ERangeError(FloatToStr(value) + " is not a valid value for field '" + DisplayName() + "'");
    SetAsInteger(static_cast<int32_t>(r));
}

Variant TIntegerField::Value() {
    int32_t v = 0;
    if (!GetData(&v)) return {};
    return int64_t{v};
}

void TIntegerField::CheckValue(const void* buffer) {
    int32_t v = 0;
    std::memcpy(&v, buffer, sizeof v);
    if ((MinValue != 0 || MaxValue != 0) && (v < MinValue || v > MaxValue))
        throw ERangeError(IntToStr(v) + " is not a valid value for field '" + DisplayName() +
                          "'. The allowed range is " + IntToStr(MinValue) + " to " + IntToStr(MaxValue));
}

double TFloatField::AsFloat() {
    double v = 0;
    return GetData(&v) ? v : 0.0;
}

int32_t TFloatField::AsInteger() {
    const double r = std::round(AsFloat());
    return r >= INT32_MIN && r <= INT32_MAX ? static_cast<int32_t>(r) : 0;
}

std::string TFloatField::AsString() {
    double v = 0;
    return GetData(&v) ? FloatToStr(v) : std::string();
}

void TFloatField::SetAsFloat(double value) { SetData(&value); }

Variant TFloatField::Value() {
    double v = 0;
    if (!GetData(&v)) return {};
    return v;
}

void TFloatField::CheckValue(const void* buffer) {
    double v = 0;
    std::memcpy(&v, buffer, sizeof v);
    if (!std::isfinite(v)) throw ERangeError("Invalid floating point value for field '" + DisplayName() + "'");
    if ((MinValue != 0 || MaxValue != 0) && (v < MinValue || v > MaxValue))
        throw ERangeError(FloatToStr(v) + " is not a valid value for field '" + DisplayName() +
                          "'. The allowed range is " + FloatToStr(MinValue) + " to " + FloatToStr(MaxValue));
}

// ---------------------------------------------------------------- booleans

bool TBooleanField::AsBoolean() {
    int16_t v = 0;
    return GetData(&v) && v != 0;
}

std::string TBooleanField::AsString() {
    int16_t v = 0;
    if (!GetData(&v)) return {};
    return v != 0 ? true_text_ : false_text_;
}

void TBooleanField::SetAsBoolean(bool value) {
    const int16_t v = value ? 1 : 0;
    SetData(&v);
}

void TBooleanField::SetAsString(const std::string& value) {
    if (value.empty()) {
        Clear();
        return;
    }
    auto starts = [&](const std::string& text) {
        return SameText(value, std::string_view(text).substr(0, value.size()));
    };
    if (value.size() <= false_text_.size() && starts(false_text_))
        SetAsBoolean(false);
    else if (value.size() <= true_text_.size() && starts(true_text_))
        SetAsBoolean(true);
    else
        DatabaseError("'" + value + "' is not a valid boolean value for field '" + DisplayName() + "'");
}

Variant TBooleanField::Value() {
    int16_t v = 0;
    if (!GetData(&v)) return {};
    return v != 0;
}

void TBooleanField::SetDisplayValues(const std::string& values) {
    display_values_ = values;
    const size_t semicolon = values.find(';');
    true_text_ = values.substr(0, semicolon);
    false_text_ = semicolon == std::string::npos ? std::string() : values.substr(semicolon + 1);
}

int TBooleanField::DefaultWidth() const { return static_cast<int>(std::max(true_text_.size(), false_text_.size())); }

// ---------------------------------------------------------------- dates

TDateTime TDateField::AsDateTime() {
    int32_t day = 0;
    return GetData(&day) ? static_cast<TDateTime>(day - kDateDelta) : 0.0;
}

std::string TDateField::AsString() {
    int32_t day = 0;
    return GetData(&day) ? DateToStr(day - kDateDelta) : std::string();
}

void TDateField::SetAsString(const std::string& value) {
    const std::string text = TrimBlanks(value);
    if (text.empty())
        Clear();
    else
        SetAsDateTime(StrToDate(text));
}

void TDateField::SetAsDateTime(TDateTime value) {
    if (!std::isfinite(value) || std::fabs(value) > 3e6)
        throw ERangeError("Invalid date for field '" + DisplayName() + "'");
    const int32_t day = static_cast<int32_t>(std::floor(value)) + kDateDelta;
    SetData(&day);
}

Variant TDateField::Value() {
    int32_t day = 0;
    if (!GetData(&day)) return {};
    return DateValue{static_cast<TDateTime>(day - kDateDelta)};
}

// ---------------------------------------------------------------- BLOBs

std::string TBlobField::AsString() {
    if (!DataSet()) DatabaseError("Field '" + DisplayName() + "' has no dataset");
    std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(this, bmRead);
    if (!stream) return {};
    std::string text = stream->ReadRest();
    stream->Close();
    return text;
}

void TBlobField::SetAsString(const std::string& value) {
    if (!DataSet()) DatabaseError("Field '" + DisplayName() + "' has no dataset");
    std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(this, bmWrite);
    if (!stream) return;
    stream->Write(value.data(), static_cast<int64_t>(value.size()));
    stream->Close();
}

Variant TBlobField::Value() {
    std::string text = AsString();
    if (text.empty()) return {};
    return text;
}

void TMemoField::GetText(std::string& text, bool display) {
    if (!display) {
        text = AsString();
        return;
    }
    text = IsNull() ? "(memo)" : "(MEMO)";
}

void RegisterDataStrings() {
    ui::RegisterResourceString(SYes, "Yes");
    ui::RegisterResourceString(SNo, "No");
    ui::RegisterResourceString(STextTrue, "True");
    ui::RegisterResourceString(STextFalse, "False");
}

TFieldFactory DefaultFieldClass(TFieldType type) {
    switch (type) {
    case ftString: return [](ui::TComponent* owner) -> TField* { return new TStringField(owner); };
    case ftInteger: return [](ui::TComponent* owner) -> TField* { return new TIntegerField(owner); };
    case ftFloat: return [](ui::TComponent* owner) -> TField* { return new TFloatField(owner); };
    case ftBoolean: return [](ui::TComponent* owner) -> TField* { return new TBooleanField(owner); };
    case ftDate: return [](ui::TComponent* owner) -> TField* { return new TDateField(owner); };
    case ftMemo: return [](ui::TComponent* owner) -> TField* { return new TMemoField(owner); };
    default: return nullptr;
    }
}

}  // namespace db
