// The record data of the engine's datasets: the layout made once per open
// from the area's typed buffer (a plan per field), the field definitions it
// gives, field values in and out of a record buffer, and the conversion of
// whole records between the typed buffer and the dataset's buffers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/dataset/detail/texts.hpp"
#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "platform/bytes.hpp"
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

void PutCounted(char* slot, std::string_view text, size_t capacity) {
    const size_t n = std::min(text.size(), capacity);
    slot[0] = static_cast<char>(n);
    CopyBytes(slot + 1, text.data(), n);
}

}  // namespace

// ---------------------------------------------------------------- layout

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

// ---------------------------------------------------------------- field data

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

}  // namespace zurod
