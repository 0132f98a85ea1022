#include "engine/dataset/engine_dataset.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "framework/db/sysutils.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/resources.hpp"
#include "platform/bytes.hpp"
#include "platform/codepage.hpp"
#include "platform/locale.hpp"
#include "platform/msgbox.hpp"
#include "platform/numbers.hpp"

namespace zurod {

namespace {

using platform::CopyBytes;
using platform::Load;
using platform::Store;

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// The value as the field shows it: rounded to its decimals the way a number
// is written to a file. Values already on a step of the decimals (what a
// table holds) take the short road.
double RoundToDecimals(double value, int decimals) {
    if (!std::isfinite(value) || decimals < 0 || decimals > 18) return value;
    const double scaled = value * kPowersOfTen[decimals];
    if (std::fabs(scaled) < 1e15) {
        const double whole = static_cast<double>(static_cast<int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5)));
        if (std::fabs(scaled - whole) < 1e-6) return whole / kPowersOfTen[decimals];
    }
    double parsed = 0;
    return platform::ParseDouble(platform::FormatFixed(value, decimals), parsed) ? parsed : value;
}

bool IsBlankDate(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '/' || c == '-' || c == '.'; });
}

int Digits(std::string_view text, size_t at, size_t n) {
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        v = v * 10 + (text[i] - '0');
    }
    return v;
}

// A date text of the engine's current format as a TDateTime; 0 for the blank
// date and for a text that is no date. The parts stand where the format puts
// them (code 0 MM/DD/Y, code 1 Y.MM.DD, the others DD.MM.Y); a text of
// another shape goes through the engine's own reading.
double EngineDateText(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    if (text.size() > 10) text = text.substr(0, 10);
    if (IsBlankDate(text)) return 0;
    if (text.size() == 8 || text.size() == 10) {
        const size_t year_digits = text.size() == 10 ? 4 : 2;
        const uint8_t code = DateCode();
        size_t y_at = 6, m_at = 3, d_at = 0;
        if (code == 0) m_at = 0, d_at = 3;
        if (code == 1) y_at = 0, m_at = year_digits + 1, d_at = year_digits + 4;
        int y = Digits(text, y_at, year_digits);
        const int m = Digits(text, m_at, 2), d = Digits(text, d_at, 2);
        if (y >= 0 && m >= 0 && d >= 0) {
            if (year_digits == 2) y += CenturyBase(text.substr(y_at, 2));
            db::TDateTime date = 0;
            return db::TryEncodeDate(y, m, d, date) ? date : 0;
        }
    }
    std::string stored;
    if (!DateToStored(text, stored) || stored.size() != 8 || stored[0] == ' ') return 0;
    const int y = Digits(stored, 0, 4), m = Digits(stored, 4, 2), d = Digits(stored, 6, 2);
    db::TDateTime date = 0;
    return db::TryEncodeDate(y, m, d, date) ? date : 0;
}

// A TDateTime as a date text of the engine's format with all four digits of
// the year, so that no century window moves it; false outside years 1..9999.
bool DateTextOf(double date, std::string& text) {
    if (!std::isfinite(date) || std::fabs(date) > 3e6) return false;
    int y = 0, m = 0, d = 0;
    db::DecodeDate(date, y, m, d);
    if (y < 1 || y > 9999) return false;
    const char stored[8] = {static_cast<char>('0' + y / 1000),    static_cast<char>('0' + y / 100 % 10),
                            static_cast<char>('0' + y / 10 % 10), static_cast<char>('0' + y % 10),
                            static_cast<char>('0' + m / 10),      static_cast<char>('0' + m % 10),
                            static_cast<char>('0' + d / 10),      static_cast<char>('0' + d % 10)};
    text = StoredToDate(std::string_view(stored, 8), true);
    return true;
}

void PutCounted(char* slot, std::string_view text, size_t capacity) {
    const size_t n = std::min(text.size(), capacity);
    slot[0] = static_cast<char>(n);
    CopyBytes(slot + 1, text.data(), n);
}

std::string Cut(const std::string& s, size_t n) { return s.size() > n ? s.substr(0, n) : s; }

}  // namespace

// ---------------------------------------------------------------- fields

void TTzDateField::SetAsString(const std::string& value) {
    std::string_view text(value);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    if (text.size() > 10) text = text.substr(0, 10);
    // The blank template (and any other text of blanks and separators) clears the field.
    if (IsBlankDate(text)) {
        Clear();
        return;
    }
    const double date = EngineDateText(text);
    SetAsDateTime(date != 0 ? date : db::StrToDate(text));
}

void TTzDateField::GetText(std::string& text, bool) {
    text.clear();
    int32_t day = 0;
    if (!GetData(&day)) return;
    // The last text is kept: a walk meets the same date many times over. The
    // engine's date settings show in the format, which it installs.
    const platform::DateFormatSettings& format = platform::FormatSettings();
    if (day != shown_.day || format.date_separator != shown_.separator || format.short_date_format != shown_.format) {
        shown_ = {day, format.short_date_format, format.date_separator, {}};
        const std::string date = Cut(db::DateToStr(day - db::kDateDelta), 10);
        if (EngineDateText(date) != 0) shown_.text = date;
    }
    text = shown_.text;
}

void TTzFloatField::CheckTypeSize(int size) {
    if (size < 0 || size > 20) db::TFloatField::CheckTypeSize(size);
}

void TTzIntegerField::CheckTypeSize(int size) {
    if (size < 0 || size > 20) db::TIntegerField::CheckTypeSize(size);
}

void TTzDataLink::SetTzRecord(int32_t row) {
    tz_record_ = row;
    ActivateLinkRow(*this, row);
}

void ActivateLinkRow(db::TDataLink& link, int row) {
    if (!link.Active()) return;
    if (link.ActiveRecord() != row) link.SetActiveRecord(row);
    if (auto* ds = dynamic_cast<TZoVizuRez*>(link.DataSet())) ds->ShowRowInEngine();
}

// ---------------------------------------------------------------- shared routines

std::string EngineDateTextOf(db::TDateTime date) {
    if (date == 0) return BlankDateStr(DateCode());
    std::string text;
    return DateTextOf(date, text) ? text : std::string();
}

KeepErrorScope::KeepErrorScope() : code_(LastErrorCode()), message_(code_ ? LastErrorMessage() : std::string()) {}

KeepErrorScope::~KeepErrorScope() {
    if (code_ != 0) RecordError(code_, message_);
}

std::string TzAllTrim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return std::string(s);
}

bool SuspendEngineErrors() { return SetErrorHandling(false); }

void TzShowMessage(const std::string& text) {
    platform::ShowMessageBox(text, ui::Application().Title, platform::kMbOk);
}

std::string TzYesText() { return Cut(ui::LoadStr(db::SYes), 20); }
std::string TzNoText() { return Cut(ui::LoadStr(db::SNo), 20); }
std::string TzTrueText() { return Cut(ui::LoadStr(db::STextTrue), 20); }
std::string TzFalseText() { return Cut(ui::LoadStr(db::STextFalse), 20); }

uint8_t DateModeOfFormat(const std::string& format, char separator, bool& century) {
    century = platform::AnsiUpper(format).find("YYYY") != std::string::npos;
    const char first = format.empty() ? ' ' : format[0];
    if (first == 'D' || first == 'd') return separator == '-' ? 3 : separator == '.' ? 5 : 2;
    if (first == 'Y' || first == 'y') return 1;
    return 0;
}

void DatasetInit() {
    db::RegisterDataStrings();
    const platform::NumberFormatSettings numbers = platform::NumberSettings();
    SetNumberSeparators(numbers.decimal_separator, numbers.thousand_separator);
    const platform::DateFormatSettings user = platform::UserDateFormat();
    bool century = false;
    const uint8_t mode = DateModeOfFormat(user.short_date_format, user.date_separator, century);
    SetCentury(century);
    SetDateFormat(mode);
}

// ---------------------------------------------------------------- nested dispatch

TZoVizuRez::NestedDispatch::NestedDispatch(TZoVizuRez& dataset)
    : dataset_(dataset), area_(CurrentArea()), code_(LastErrorCode()), message_(code_ ? LastErrorMessage() : "") {
    dataset_.RestoreTypedBuffer();
    if (dataset_.field_props_) typed_.assign(dataset_.field_props_->typed.begin(), dataset_.field_props_->typed.end());
}

TZoVizuRez::NestedDispatch::~NestedDispatch() {
    Select(area_);
    const auto& props = dataset_.field_props_;
    // The area may have been closed meanwhile; only its own buffer is put back.
    if (props && dataset_.work_area_ == area_ && !Alias().empty()) {
        const std::span<char> typed = SwapBuffer();
        if (typed.data() == props->typed.data() && typed.size() == typed_.size())
            std::copy(typed_.begin(), typed_.end(), typed.begin());
    }
    if (dataset_.work_area_ != 0) Settings().ansi = dataset_.TableLanguage == tlAnsi;
    (void)TakeLastMessage();
    SetLastErrorCode(0);
    if (code_ != 0) RecordError(code_, message_);
}

// ---------------------------------------------------------------- the dataset

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

std::vector<TDTField> TypedLayout() {
    std::vector<TDTField> fields;
    const char* base = SwapBuffer().data();
    const int count = zurod::FieldCount();
    for (int n = 1; n <= count; ++n)
        fields.push_back({Field(n), FieldType(n), static_cast<uint16_t>(FieldLen(n)),
                          static_cast<uint16_t>(FieldDec(n)), static_cast<size_t>(FieldAddress(n) - base)});
    return fields;
}

void TZoVizuRez::BuildFieldProps() {
    TDbfFieldProps props{SwapBuffer(), TypedLayout()};
    plans_.clear();
    size_t at = 1;
    for (const TDTField& f : props.fields) {
        FieldPlan plan;
        plan.how = Crossing::Text;
        plan.length = static_cast<uint8_t>(f.length);
        plan.decimals = static_cast<uint8_t>(f.decimals);
        plan.typed = f.offset;
        plan.data = at;
        size_t size = 0;
        switch (f.type) {
        case 'C': plan.how = Crossing::Text, size = f.length + 1u; break;
        case 'D': plan.how = Crossing::Date, size = 8; break;
        case 'N':
        case 'F':
            plan.how = f.decimals > 0 ? Crossing::Real
                : f.length <= 9       ? Crossing::Whole32
                : f.length <= 18      ? Crossing::WholeReal
                                      : Crossing::RealWhole;
            size = plan.how == Crossing::Whole32 ? 4 : 8;
            break;
        case 'L': plan.how = Crossing::Logical, size = 2; break;
        case 'M': plan.how = Crossing::Memo, size = 4; break;
        default: break;
        }
        at += size;
        plans_.push_back(plan);
    }
    record_size_ = at;
    field_props_ = std::move(props);
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
    const AreaPosition at = CurrentPosition();
    if (LastErrorCode() != 0 || at.bof) {
        bof_pending_ = true;
        return kTzAtBof;
    }
    if (buffer) ReadRecord(buffer);
    rec_no = last_read_ = at.rec_no;
    return 0;
}

int TZoVizuRez::TziGetFieldData(db::TField* field, const char* buffer, bool& is_blank, void* dest) {
    is_blank = false;
    if (!dest) return 0;
    const FieldPlan& plan = plans_[static_cast<size_t>(field->FieldNo() - 1)];
    const char* slot = buffer + plan.data;
    std::memset(dest, 0, static_cast<size_t>(field->DataSize()));
    switch (field->DataType()) {
    case db::ftDate: {
        const double date = Load<double>(slot);
        if (date == 0) {
            is_blank = true;
            return 0;
        }
        Store<int32_t>(static_cast<char*>(dest), static_cast<int32_t>(std::floor(date)) + db::kDateDelta);
        break;
    }
    case db::ftString: {
        size_t n = std::min<size_t>(static_cast<uint8_t>(slot[0]), plan.length);
        static constexpr char kBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
        while (n >= 8 && std::memcmp(slot + n - 7, kBlanks, 8) == 0) n -= 8;
        while (n > 0 && slot[n] == ' ') --n;
        CopyBytes(static_cast<char*>(dest), slot + 1, std::min<size_t>(n, static_cast<size_t>(field->Size())));
        break;
    }
    default: std::memcpy(dest, slot, static_cast<size_t>(field->DataSize())); break;
    }
    return 0;
}

int TZoVizuRez::TziSetFieldData(db::TField* field, char* buffer, const void* source) {
    const size_t index = static_cast<size_t>(field->FieldNo() - 1);
    const FieldPlan& plan = plans_[index];
    char* slot = buffer + plan.data;
    if (!source) {
        const size_t size = plan.how == Crossing::Text                    ? plan.length + 1u
            : plan.how == Crossing::Whole32 || plan.how == Crossing::Memo ? 4
            : plan.how == Crossing::Logical                               ? 2
                                                                          : 8;
        std::memset(slot, 0, size);
    } else {
        switch (field->DataType()) {
        case db::ftString: {
            const char* text = static_cast<const char*>(source);
            PutCounted(slot, std::string_view(text, strnlen(text, plan.length)), plan.length);
            break;
        }
        case db::ftDate:
            Store<double>(slot, static_cast<double>(Load<int32_t>(static_cast<const char*>(source)) - db::kDateDelta));
            break;
        default: std::memcpy(slot, source, static_cast<size_t>(field->DataSize())); break;
        }
    }
    WriteField(buffer, index);
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

void TZoVizuRez::InternalInitFieldDefs() {
    if (!field_props_) db::DatabaseError(Name() + ".DbfFields undefined. Set Active to TRUE");
    for (size_t i = 0; i < plans_.size(); ++i) {
        const TDTField& f = field_props_->fields[i];
        const FieldPlan& plan = plans_[i];
        db::TFieldType type = db::ftString;
        int size = 0;
        switch (plan.how) {
        case Crossing::Text: size = f.length; break;
        case Crossing::Date: type = db::ftDate; break;
        case Crossing::Whole32: type = db::ftInteger, size = f.length; break;
        case Crossing::Real:
        case Crossing::WholeReal:
        case Crossing::RealWhole: type = db::ftFloat, size = f.length; break;
        case Crossing::Logical: type = db::ftBoolean; break;
        case Crossing::Memo: type = db::ftMemo; break;
        }
        FieldDefs().Add(f.name, type, size);
    }
}

db::TFieldFactory TZoVizuRez::GetFieldClass(db::TFieldType type) {
    switch (type) {
    case db::ftInteger: return [](ui::TComponent* owner) -> db::TField* { return new TTzIntegerField(owner); };
    case db::ftFloat: return [](ui::TComponent* owner) -> db::TField* { return new TTzFloatField(owner); };
    case db::ftDate: return [](ui::TComponent* owner) -> db::TField* { return new TTzDateField(owner); };
    default: return TTzPrimDataset::GetFieldClass(type);
    }
}

void TZoVizuRez::Post() {
    if (!db::EditModes(State())) return;
    TTzPrimDataset::Post();
    if (s_IsEmptyDbf()) TzResync();
}

// ---------------------------------------------------------------- record conversion

void TZoVizuRez::ReadRecord(char* buffer) {
    const char* typed = field_props_->typed.data();
    buffer[0] = typed[0];
    uint32_t format = UINT32_MAX;  // the date format, looked up at the first date
    for (FieldPlan& plan : plans_) {
        const char* from = typed + plan.typed;
        char* to = buffer + plan.data;
        switch (plan.how) {
        case Crossing::Text: CopyBytes(to, from, plan.length + 1u); break;
        case Crossing::Date: {
            // Records in date order repeat a date many times: the last one is kept.
            const size_t n = std::min<size_t>(static_cast<uint8_t>(from[0]), 10);
            if (format == UINT32_MAX) format = DateCode() | uint32_t{WindowStart()} << 8;
            if (std::memcmp(plan.last_date, from, n + 1) != 0 || plan.last_format != format) {
                std::memcpy(plan.last_date, from, n + 1);
                plan.last_format = format;
                plan.last_value = EngineDateText(std::string_view(from + 1, n));
            }
            Store<double>(to, plan.last_value);
            break;
        }
        case Crossing::Real: Store<double>(to, RoundToDecimals(Load<double>(from), plan.decimals)); break;
        case Crossing::Whole32:
            Store<int32_t>(to, static_cast<int32_t>(std::clamp<int64_t>(Load<int64_t>(from), INT32_MIN, INT32_MAX)));
            break;
        case Crossing::WholeReal: Store<double>(to, static_cast<double>(Load<int64_t>(from))); break;
        case Crossing::RealWhole: Store<double>(to, Load<double>(from)); break;
        case Crossing::Logical:
            to[0] = from[0] != 0 ? 1 : 0;
            to[1] = 0;
            break;
        case Crossing::Memo: std::memcpy(to, from, 4); break;
        }
    }
}

void TZoVizuRez::WriteRecord(const char* buffer) {
    RestoreTypedBuffer();
    if (!field_props_) return;
    field_props_->typed[0] = buffer[0] != 0 ? 1 : 0;
    for (size_t i = 0; i < plans_.size(); ++i) WriteField(buffer, i);
}

void TZoVizuRez::WriteField(const char* buffer, size_t index) {
    RestoreTypedBuffer();
    if (!field_props_) return;
    FieldPlan& plan = plans_[index];
    const char* from = buffer + plan.data;
    char* to = field_props_->typed.data() + plan.typed;
    switch (plan.how) {
    case Crossing::Text:
        PutCounted(to, std::string_view(from + 1, std::min<size_t>(static_cast<uint8_t>(from[0]), plan.length)),
                   plan.length);
        break;
    case Crossing::Date: {
        const double date = Load<double>(from);
        const uint8_t code = DateCode();
        if (date != plan.written_value || code != plan.written_code || date == 0) {
            std::string text;
            if (date != 0 && !DateTextOf(date, text)) TzShowMessage("        Invalid date       ");
            if (text.empty()) text = BlankDateStr(code);
            plan.written_value = date;
            plan.written_code = code;
            plan.written_text = std::move(text);
        }
        PutCounted(to, plan.written_text, 10);
        break;
    }
    case Crossing::Real:
    case Crossing::RealWhole: Store<double>(to, Load<double>(from)); break;
    case Crossing::Whole32: Store<int64_t>(to, Load<int32_t>(from)); break;
    case Crossing::WholeReal: {
        const double v = Load<double>(from);
        Store<int64_t>(to, std::isfinite(v) && std::fabs(v) < 9.2e18 ? std::llround(v) : 0);
        break;
    }
    case Crossing::Logical: to[0] = from[0] != 0 ? 1 : 0; break;
    case Crossing::Memo: std::memcpy(to, from, 4); break;
    }
}

int32_t TZoVizuRez::MemoReference(const db::TField* field) {
    const char* buffer = ActiveBuffer();
    if (!buffer || field->FieldNo() < 1) return 0;
    return Load<int32_t>(buffer + plans_[static_cast<size_t>(field->FieldNo() - 1)].data);
}

void TZoVizuRez::SetMemoReference(const db::TField* field, int32_t block) {
    char* buffer = ActiveBuffer();
    if (!buffer || field->FieldNo() < 1) return;
    Store<int32_t>(buffer + plans_[static_cast<size_t>(field->FieldNo() - 1)].data, block);
}

void TZoVizuRez::ActiveBufferToEngine() {
    if (char* buffer = ActiveBuffer(); buffer && field_props_) WriteRecord(buffer);
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

// ---------------------------------------------------------------- creating the table

std::optional<std::vector<FieldDef>> TZoVizuRez::ParseDbfFields() {
    std::vector<FieldDef> defs;
    for (int i = 0; i < dbf_fields_.Count(); ++i) {
        const std::string line = dbf_fields_.Get(i);
        if (std::count(line.begin(), line.end(), ',') != 3) return std::nullopt;
        std::string item[4];
        size_t at = 0;
        for (std::string& part : item) {
            const size_t comma = std::min(line.find(',', at), line.size());
            part = TzAllTrim(std::string_view(line).substr(at, comma - at));
            at = comma + 1;
        }
        FieldDef def;
        def.name = Cut(item[0], 10);
        def.type = item[1].empty() ? ' ' : platform::AnsiUpper(item[1][0]);
        def.length = db::StrToInt(item[2]);
        def.decimals = db::StrToInt(item[3]);
        if (def.type == 'X') continue;
        if (IsVirtual() && def.type == 'M') def.type = 'N', def.length = 10, def.decimals = 0;
        FieldDef fixed = def;
        if (fixed.type == 'B' || fixed.type == 'G' || fixed.type == 'P') fixed.type = 'M';
        if (std::string_view("CDFLMN").find(fixed.type) == std::string_view::npos) fixed.type = 'C';
        if (fixed.type == 'N') {
            if (fixed.length >= 21) fixed.length = 20;
            if (fixed.decimals >= 19) fixed.decimals = 18;
            if (fixed.decimals > 0 && fixed.length - fixed.decimals < 2) fixed.decimals = std::max(0, fixed.length - 2);
        }
        if (fixed.type == 'C' && fixed.length >= 255) fixed.length = 254, fixed.decimals = 0;
        if (fixed.type != def.type || fixed.length != def.length || fixed.decimals != def.decimals) {
            auto show = [](const FieldDef& d) {
                return d.name + "," + std::string(1, d.type) + "," + std::to_string(d.length) + "," +
                    std::to_string(d.decimals);
            };
            TzShowMessage("Invalid field definition for " + Name() + ": " + show(def) +
                          ". Will use corrected definition: " + show(fixed));
        }
        defs.push_back(std::move(fixed));
    }
    return defs;
}

bool TZoVizuRez::CreateTableFromFields(const std::string& file_name) {
    if (dbf_fields_.Count() <= 0) {
        TzShowMessage("FieldList.Count is <= 0 trying to create a database");
        return false;
    }
    std::optional<std::vector<FieldDef>> defs = ParseDbfFields();
    if (!defs) return false;
    ErrorHandlingScope quiet(false);
    SetLastErrorCode(0);
    CreateDbf(file_name, *defs);
    return LastErrorCode() == 0;
}

}  // namespace zurod
