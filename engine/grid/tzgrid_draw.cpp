// The data grid's cells: row colours from the colour event, the indicator
// column, titles, values in the column's alignment, deleted and highlighted
// records in their colours, logical values as boxes and the 3-D edges of
// the fixed cells.
#include <algorithm>

#include "engine/grid/tzgrid.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

// What painting may change in the engine, put back when the pass ends (also
// when a handler raises): drawing a row through the engine-aware setter
// writes it into the dataset's typed buffer, and a colour handler may read
// fields through the engine's commands.
class EngineKeptScope {
public:
    explicit EngineKeptScope(db::TDataSet* dataset)
        : dataset_(dynamic_cast<TZoVizuRez*>(dataset)), area_(CurrentArea()), code_(LastErrorCode()),
          message_(code_ ? LastErrorMessage() : std::string()) {
        if (dataset_ && dataset_->FieldProps()) {
            const std::span<char> typed = dataset_->FieldProps()->typed;
            typed_.assign(typed.begin(), typed.end());
            typed_at_ = typed.data();
        }
    }
    ~EngineKeptScope() {
        if (typed_at_ && dataset_->FieldProps() && dataset_->FieldProps()->typed.data() == typed_at_ &&
            dataset_->FieldProps()->typed.size() == typed_.size())
            std::copy(typed_.begin(), typed_.end(), dataset_->FieldProps()->typed.begin());
        Select(area_);
        if (LastErrorCode() != code_ || (code_ != 0 && LastErrorMessage() != message_)) {
            (void)TakeLastMessage();
            SetLastErrorCode(0);
            if (code_ != 0) RecordError(code_, message_);
        }
    }
    EngineKeptScope(const EngineKeptScope&) = delete;
    EngineKeptScope& operator=(const EngineKeptScope&) = delete;

private:
    TZoVizuRez* dataset_;
    uint8_t area_;
    uint16_t code_;
    std::string message_;
    std::vector<char> typed_;
    const char* typed_at_ = nullptr;
};

}  // namespace

void TCustomTzGrid::Paint() {
    // Every row's colours come anew in each pass.
    last_drawn_row_ = last_drawn_col_ = -1;
    const EngineKeptScope kept(link_.Active() ? link_.DataSet() : nullptr);
    ui::TCustomGrid::Paint();
}

bool TCustomTzGrid::HighlightCell(int, int, const std::string&, ui::TGridDrawState state) {
    if (!(state & ui::gdSelected)) return false;
    if (!(options_ & dgAlwaysShowSelection) && !Focused()) return false;
    return update_lock_ == 0 || (options_ & dgRowSelect);
}

void TCustomTzGrid::ReadLogicalTexts(db::TField* field) {
    auto* logical = dynamic_cast<db::TBooleanField*>(field);
    if (!logical) return;
    const std::string& values = logical->DisplayValues();
    if (values.empty()) {
        true_text_ = TzTrueText();
        false_text_ = TzFalseText();
        return;
    }
    const size_t semicolon = values.find(';');
    true_text_ = values.substr(0, semicolon);
    false_text_ = semicolon == std::string::npos ? std::string() : values.substr(semicolon + 1);
}

void TCustomTzGrid::DrawCell(int col, int row, const ui::TRect& rect, ui::TGridDrawState state) {
    ui::TCanvas* canvas = Canvas();
    if (Has(ui::csLoading)) {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(rect);
        return;
    }
    const bool designing = Has(ui::csDesigning);
    const int record = std::max(0, row - title_offset_);
    // Drawing reaches a new row: its colours are chosen once for the pass.
    if (col == 0 || row != last_drawn_row_ || col < last_drawn_col_ || designing) {
        TTzRowColors& colors = RowColorsAt(record);
        if (row < title_offset_) {
            colors.indicator = FixedColor();
        } else {
            colors = {FixedColor(),        ui::clNone, ui::clNone,     ui::clHighlight,
                      ui::clHighlightText, ui::clRed,  Font()->Color()};
            const int data_row = row - title_offset_;
            if (!designing && OnChangeColorsEvent && link_.Active() && data_row < link_.RecordCount()) {
                const int old = link_.ActiveRecord();
                RunThen(
                    [&] {
                        link_.SetTzRecord(data_row);
                        OnChangeColorsEvent(this, row, colors.indicator, colors.cell, colors.cell_text, colors.hilite,
                                            colors.hilite_text, colors.deleted, colors.deleted_text);
                    },
                    [&] { link_.SetActiveRecord(old); });
            }
        }
        last_drawn_row_ = row;
    }
    last_drawn_col_ = col;

    const bool both_lines = (options_ & (dgRowLines | dgColLines)) == (dgRowLines | dgColLines);
    const int frame = both_lines ? 1 : 2;
    const bool fixed = state & ui::gdFixed;
    ui::TRect r = rect;
    if (fixed && both_lines) r = r.Inflate(-1, -1);

    const int data_col = col - indicator_offset_;
    if (col < indicator_offset_) {
        const TTzRowColors& colors = RowColorsAt(record);
        canvas->Brush()->SetColor(colors.indicator);
        canvas->FillRect(r);
        if (link_.Active() && row >= title_offset_ && row - title_offset_ == link_.ActiveRecord()) {
            const db::TDataSetState ds_state = link_.DataSet()->State();
            const int image = ds_state == db::dsEdit ? 1 : ds_state == db::dsInsert ? 2 : 0;
            indicators_->BkColor = colors.indicator;
            const int x = r.right - indicators_->Width() - frame;
            const int y = int(unsigned(r.top + r.bottom - indicators_->Height()) >> 1);
            indicators_->Draw(canvas, x, y, image);
            selected_row_ = row;
        }
    } else {
        if (data_col >= columns_->Count()) return;
        DrawDataCell(col, row, data_col, r, state, frame);
    }
    if (fixed && both_lines) DrawTitleEdges(r.Inflate(1, 1), row < title_offset_ && data_col == depressed_title_);
}

void TCustomTzGrid::DrawDataCell(int col, int row, int data_col, ui::TRect r, ui::TGridDrawState state, int frame) {
    ui::TCanvas* canvas = Canvas();
    TTzColumn* column = columns_->GetColumn(data_col);
    const bool fixed_area = row < title_offset_ || col < FixedCols();
    canvas->Font()->Assign(fixed_area ? column->Title()->Font() : column->Font());
    canvas->Brush()->SetColor(fixed_area ? column->Title()->Color() : column->Color());
    if (row < title_offset_) {
        WriteText(r, frame, frame, column->Title()->Caption(), column->Title()->Alignment());
        return;
    }
    const int data_row = row - title_offset_;
    if (!link_.Active() || data_row >= link_.RecordCount()) {
        canvas->FillRect(r);
        return;
    }
    const int old = link_.ActiveRecord();
    RunThen(
        [&] {
            if (OnDrawDataCell)
                link_.SetTzRecord(data_row);
            else
                link_.SetActiveRecord(data_row);
            const TTzRowColors& colors = RowColorsAt(data_row);
            if (colors.cell != ui::clNone) canvas->Brush()->SetColor(colors.cell);
            if (colors.cell_text != ui::clNone) canvas->Font()->SetColor(colors.cell_text);
            db::TField* field = column->Field();
            const std::string value = field ? field->DisplayText() : std::string();
            if (auto* tz = dynamic_cast<TZoVizuRez*>(link_.DataSet()); tz && tz->RecordDeleted()) {
                canvas->Brush()->SetColor(colors.deleted);
                canvas->Font()->SetColor(colors.deleted_text);
            }
            const bool highlight = HighlightCell(data_col, data_row, value, state);
            if (highlight) {
                canvas->Brush()->SetColor(colors.hilite);
                canvas->Font()->SetColor(colors.hilite_text);
            }
            if (DefaultDrawing) {
                if (field && field->DataType() == db::ftBoolean && boolean_box_ != bbText) {
                    ReadLogicalTexts(field);
                    DrawBooleanBox(r, value);
                } else {
                    WriteText(r, 2, 2, value, column->Alignment());
                }
            }
            if (OnDrawDataCell) OnDrawDataCell(this, r, field, state);
            if (OnDrawColumnCell) OnDrawColumnCell(this, r, data_col, column, state);
            if (DefaultDrawing && highlight && !Has(ui::csDesigning) && !(options_ & dgRowSelect) && IsActiveControl())
                canvas->DrawFocusRect(r);
        },
        [&] { link_.SetActiveRecord(old); });
}

// Every colour of a true-colour surface is its own nearest colour, so text is
// always written opaque and clipped to the cell.
void TCustomTzGrid::WriteText(const ui::TRect& rect, int dx, int dy, const std::string& text,
                              ui::TAlignment alignment) {
    ui::TCanvas* canvas = Canvas();
    int x = rect.left + dx;
    if (alignment != ui::taLeftJustify) {
        const int width = canvas->TextWidth(text);
        x = alignment == ui::taRightJustify ? rect.right - width - 3
                                            : rect.left + (rect.right - rect.left) / 2 - width / 2;
    }
    canvas->TextRect(rect, x, rect.top + dy, text);
}

void TCustomTzGrid::DrawBooleanBox(const ui::TRect& rect, const std::string& value) {
    ui::TCanvas* canvas = Canvas();
    canvas->FillRect(rect);
    const int w = rect.Width(), h = rect.Height();
    ui::TRect square = h >= w ? ui::TRect{rect.left, rect.top, rect.right, rect.top + w}
                              : ui::TRect{rect.left + (w - h) / 2, rect.top, rect.left + (w - h) / 2 + h, rect.bottom};
    const bool checked = platform::AnsiLower(value) == platform::AnsiLower(true_text_);
    ui::TPen* pen = canvas->Pen();
    const int inset = pen->Width() + 1;
    square = square.Inflate(-inset, -inset);
    const ui::TColor brush_color = canvas->Brush()->Color();
    const ui::TPenStyle pen_style = pen->Style();
    const ui::TColor pen_color = pen->Color();
    const int pen_width = pen->Width();
    const ui::TColor ink = canvas->Font()->Color();
    pen->SetStyle(ui::psSolid);
    pen->SetColor(ink);
    pen->SetWidth(1);
    switch (boolean_box_) {
    case bbCheckBox:
    case bbFillBox:
    case bbFillBoxRed: canvas->Rectangle(square); break;
    case bbRButton:
    case bbRButtonRed: canvas->Ellipse(square); break;
    default: break;
    }
    pen->SetWidth(2);
    const int l = square.left, t = square.top, r = square.right, b = square.bottom;
    if (checked) {
        switch (boolean_box_) {
        case bbCheckBox:
            canvas->MoveTo(l + 3, t + 3);
            canvas->LineTo(r - 3, b - 3);
            canvas->MoveTo(r - 3, t + 3);
            canvas->LineTo(l + 3, b - 3);
            break;
        case bbCheckMark: canvas->Polyline({{l + 2, t + (r - l) / 2}, {l + (r - l) / 3, b - 2}, {r - 2, t}}); break;
        case bbFillBox:
        case bbFillBoxRed:
            canvas->Brush()->SetColor(boolean_box_ == bbFillBox ? ink : ui::clRed);
            canvas->FillRect({l + 1, t + 1, r - 1, b - 1});
            break;
        case bbRButton:
        case bbDot:
        case bbRButtonRed:
        case bbDotRed:
            pen->SetWidth(0);
            canvas->Brush()->SetColor(boolean_box_ == bbRButton || boolean_box_ == bbDot ? ink : ui::clRed);
            canvas->Ellipse({l + 2, t + 2, r - 2, b - 2});
            break;
        default: break;
        }
    }
    canvas->Brush()->SetColor(brush_color);
    pen->SetStyle(pen_style);
    pen->SetColor(pen_color);
    pen->SetWidth(pen_width);
}

void TCustomTzGrid::DrawTitleEdges(ui::TRect rect, bool pressed) {
    ui::DC& dc = *Canvas()->Handle();
    const unsigned edge = pressed ? ui::BDR_SUNKENINNER : ui::BDR_RAISEDINNER;
    ui::TRect r = rect;
    ui::DrawEdge(dc, r, edge, ui::BF_BOTTOM | ui::BF_RIGHT);
    r = rect;
    ui::DrawEdge(dc, r, edge, ui::BF_TOP | ui::BF_LEFT);
}

}  // namespace zurod
