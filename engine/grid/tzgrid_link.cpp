// The grid's data link (the map of columns to fields and the dataset's
// notifications) and the reader of the legacy "savedColumns" layout.
#include <algorithm>
#include <optional>

#include "engine/grid/tzgrid.hpp"
#include "framework/db/sysutils.hpp"
#include "platform/codepage.hpp"

namespace zurod {

// ---------------------------------------------------------------- the data link

void TTzGridDataLink::ClearMapping() {
    map_.clear();
    sparse_ = false;
}

bool TTzGridDataLink::AddMapping(const std::string& field_name) {
    if (int(map_.size()) >= kMaxMapSize) throw ui::EInvalidGridOperation("Too many columns in grid");
    if (map_.capacity() == 0) map_.reserve(8);
    db::TDataSet* ds = DataSet();
    db::TField* field = nullptr;
    if (ds) field = sparse_ ? ds->FindField(field_name) : ds->FieldByName(field_name);
    map_.push_back(field ? field->Index() : -1);
    return field != nullptr;
}

db::TField* TTzGridDataLink::Fields(int index) const {
    if (index < 0 || index >= int(map_.size()) || map_[size_t(index)] < 0) return nullptr;
    db::TDataSet* ds = DataSet();
    if (!ds || map_[size_t(index)] >= ds->FieldCount()) return nullptr;
    return ds->Fields()[map_[size_t(index)]];
}

bool TTzGridDataLink::IsFieldMapped(const db::TField* field) const {
    if (!field || field->DataSet() != DataSet()) return false;
    const int index = field->Index();
    return std::find(map_.begin(), map_.end(), index) != map_.end();
}

bool TTzGridDataLink::DefaultFields() const {
    db::TDataSet* ds = DataSet();
    if (!ds) return true;
    if (sparse_ && std::find(map_.begin(), map_.end(), -1) != map_.end()) return false;
    return ds->DefaultFields();
}

void TTzGridDataLink::Reset() {
    if (modified_)
        RecordChanged(nullptr);
    else if (db::TDataSet* ds = DataSet())
        ds->Cancel();
}

void TTzGridDataLink::ActiveChanged() { grid_->LinkActive(Active()); }

void TTzGridDataLink::DataSetChanged() {
    grid_->DataChanged();
    modified_ = false;
}

void TTzGridDataLink::DataSetScrolled(int distance) { grid_->Scroll(distance); }

void TTzGridDataLink::LayoutChanged() {
    in_layout_ = true;
    RunThen([this] { grid_->LayoutChanged(); }, [this] { in_layout_ = false; });
    TTzDataLink::LayoutChanged();
}

void TTzGridDataLink::EditingChanged() { grid_->EditingChanged(); }

void TTzGridDataLink::RecordChanged(db::TField* field) {
    grid_->RecordChanged(field);
    modified_ = false;
}

void TTzGridDataLink::UpdateData() {
    in_update_data_ = true;
    RunThen(
        [this] {
            if (modified_) grid_->UpdateData();
            modified_ = false;
        },
        [this] { in_update_data_ = false; });
}

// ---------------------------------------------------------------- "savedColumns"

namespace {

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

int32_t IntegerOf(const std::string& text) {
    int32_t v = 0;
    if (!db::TryStrToInt(text, v)) throw ui::EConvertError("'" + text + "' is not a valid integer value");
    return v;
}

ui::TAlignment AlignmentOf(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    const std::string upper = platform::AnsiUpper(text);
    if (upper == "TARIGHTJUSTIFY") return ui::taRightJustify;
    if (upper == "TACENTER") return ui::taCenter;
    return ui::taLeftJustify;
}

// A font text: name, colour identifier, size and style bits.
struct FontText {
    std::optional<std::string> name;
    std::optional<ui::TColor> color;
    std::optional<int32_t> size_and_style;
};

FontText FontTextOf(const std::string& text) {
    FontText f;
    const size_t first = text.find(',');
    if (first == std::string::npos) return f;
    f.name = text.substr(0, first);
    const size_t second = text.find(',', first + 1);
    if (second == std::string::npos) return f;
    ui::TColor color = 0;
    if (ui::IdentToColor(text.substr(first + 1, second - first - 1), color)) f.color = color;
    f.size_and_style = IntegerOf(text.substr(second + 1));
    return f;
}

void ApplyFont(ui::TFont* font, const FontText& f) {
    if (!f.name) return;
    font->SetName(*f.name);
    if (f.color) font->SetColor(*f.color);
    if (!f.size_and_style) return;
    const int32_t v = *f.size_and_style;
    font->SetSize(v & 255);
    unsigned style = 0;
    if (v & 256) style |= ui::fsBold;
    if (v & 512) style |= ui::fsItalic;
    if (v & 1024) style |= ui::fsUnderline;
    if (v & 2048) style |= ui::fsStrikeOut;
    font->SetStyle(style);
}

enum class LineKind {
    Column,
    Color,
    Width,
    Font,
    Alignment,
    ReadOnly,
    TitleColor,
    TitleCaption,
    TitleAlignment,
    TitleFont,
    FieldName
};

// One line, read and checked before any column changes.
struct SavedLine {
    LineKind kind = LineKind::Column;
    std::string value;
    int32_t number = 0;
    ui::TColor color = 0;
    FontText font;
};

SavedLine ReadLine(const std::string& raw) {
    static const std::pair<const char*, LineKind> kKeywords[] = {
        {"cvColorStr", LineKind::Color},
        {"cvWidthStr", LineKind::Width},
        {"cvFontStr", LineKind::Font},
        {"cvAlignmentStr", LineKind::Alignment},
        {"cvReadOnlyStr", LineKind::ReadOnly},
        {"cvTitleColorStr", LineKind::TitleColor},
        {"cvTitleCaptionStr", LineKind::TitleCaption},
        {"cvTitleAlignmentStr", LineKind::TitleAlignment},
        {"cvTitleFontStr", LineKind::TitleFont},
        {"cvFieldNameStr", LineKind::FieldName},
    };
    SavedLine line;
    std::string left = TrimBlanks(raw);
    auto strip = [&left](const std::string& keyword) {
        const std::string prefix = keyword + "=";
        if (left.compare(0, prefix.size(), prefix) != 0) return false;
        left.erase(0, prefix.size());
        return true;
    };
    strip("cvColumn");
    for (const auto& [keyword, kind] : kKeywords)
        if (strip(keyword)) line.kind = kind;
    line.value = left;
    switch (line.kind) {
    case LineKind::Column:
    case LineKind::Width: line.number = IntegerOf(left); break;
    case LineKind::Color:
    case LineKind::TitleColor: line.color = ui::StringToColor(left); break;
    case LineKind::Font:
    case LineKind::TitleFont: line.font = FontTextOf(left); break;
    default: break;
    }
    return line;
}

}  // namespace

void TCustomTzGrid::ReadSavedColumns(const std::vector<std::string>& lines) {
    // Every line is read first: a bad number or colour leaves the columns as they were.
    std::vector<SavedLine> read;
    read.reserve(lines.size());
    for (const std::string& raw : lines) read.push_back(ReadLine(raw));
    bool blank_only = false;
    if (columns_->Count() == 1) {
        TTzColumn* only = columns_->GetColumn(0);
        blank_only = !only->Field() && only->FieldName().empty() && only->Title()->Caption().empty();
    }
    // Far-off column numbers add no more columns than the grid can show.
    int64_t count = blank_only ? 0 : columns_->Count(), next = 0;
    for (const SavedLine& line : read) {
        if (line.kind != LineKind::Column) continue;
        if (line.number >= next) count += int64_t(line.number) - next + 1;
        if (count > TTzGridDataLink::kMaxMapSize) throw ui::EInvalidGridOperation("Too many columns in grid");
        next = int64_t(line.number) + 1;
    }

    if (blank_only) columns_->Clear();
    columns_->BeginUpdate();
    RunThen(
        [&] {
            TTzColumn* current = nullptr;
            int64_t next = 0;
            for (const SavedLine& line : read) {
                if (line.kind == LineKind::Column) {
                    // The columns up to the one numbered; the last is current.
                    for (int64_t i = next; i <= line.number; ++i) current = columns_->Add();
                    next = int64_t(line.number) + 1;
                    continue;
                }
                if (!current) continue;
                switch (line.kind) {
                case LineKind::Color: current->SetColor(line.color); break;
                case LineKind::Width: current->SetWidth(line.number); break;
                case LineKind::Font: ApplyFont(current->Font(), line.font); break;
                case LineKind::Alignment: current->SetAlignment(AlignmentOf(line.value)); break;
                case LineKind::ReadOnly: current->SetReadOnly(platform::AnsiUpper(line.value) == "TRUE"); break;
                case LineKind::TitleColor: current->Title()->SetColor(line.color); break;
                case LineKind::TitleCaption: current->Title()->SetCaption(line.value); break;
                case LineKind::TitleAlignment: current->Title()->SetAlignment(AlignmentOf(line.value)); break;
                case LineKind::TitleFont: ApplyFont(current->Title()->Font(), line.font); break;
                case LineKind::FieldName: current->SetFieldName(line.value); break;
                default: break;
                }
            }
        },
        [this] { columns_->EndUpdate(); });
}

void TCustomTzGrid::DefineProperties(ui::TFiler& filer) {
    ui::TCustomGrid::DefineProperties(filer);
    filer.DefineProperty(
        "savedColumns",
        [this](const ui::PropertyValue& v) {
            if (const auto* lines = std::get_if<std::vector<std::string>>(&v)) ReadSavedColumns(*lines);
        },
        [] { return ui::PropertyValue(std::vector<std::string>{}); }, true);
}

}  // namespace zurod
