// The field classes of the engine's datasets (dates in the engine's format,
// numbers as long as the table's fields) and the data link that shows its
// rows in the engine's typed buffer.
#include "engine/dataset/detail/texts.hpp"
#include "engine/dataset/engine_dataset.hpp"
#include "framework/db/sysutils.hpp"
#include "platform/locale.hpp"

namespace zurod {

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

db::TFieldFactory TZoVizuRez::GetFieldClass(db::TFieldType type) {
    switch (type) {
    case db::ftInteger: return [](ui::TComponent* owner) -> db::TField* { return new TTzIntegerField(owner); };
    case db::ftFloat: return [](ui::TComponent* owner) -> db::TField* { return new TTzFloatField(owner); };
    case db::ftDate: return [](ui::TComponent* owner) -> db::TField* { return new TTzDateField(owner); };
    default: return TTzPrimDataset::GetFieldClass(type);
    }
}

}  // namespace zurod
