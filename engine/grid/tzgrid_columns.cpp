// Grid columns and titles: per-property defaults until a value is set, the
// flags that remember what was set, and the passthrough columns.
#include "engine/grid/tzgrid.hpp"

namespace zurod {

namespace {

bool SameFont(const ui::TFont* a, const ui::TFont* b) { return a->Log() == b->Log() && a->Color() == b->Color(); }

}  // namespace

// ---------------------------------------------------------------- titles

TTzColumnTitle::TTzColumnTitle(TTzColumn* column) : column_(column), font_(std::make_unique<ui::TFont>()) {
    if (ui::TFont* def = DefaultFont(); def && def != font_.get()) font_->Assign(def);
    font_->OnChange = [this](ui::TObject*) { FontChanged(); };
}

TTzColumnTitle::~TTzColumnTitle() = default;

void TTzColumnTitle::Assign(ui::TPersistent* source) {
    auto* t = dynamic_cast<TTzColumnTitle*>(source);
    if (!t) {
        ui::TPersistent::Assign(source);
        return;
    }
    const TTzColumnValues values = t->column_->AssignedValues();
    if (values & cvTitleAlignment) SetAlignment(t->Alignment());
    if (values & cvTitleColor) SetColor(t->Color());
    if (values & cvTitleCaption) SetCaption(t->Caption());
    if (values & cvTitleFont) SetFont(t->Font());
}

ui::TAlignment TTzColumnTitle::Alignment() const {
    return (column_->AssignedValues() & cvTitleAlignment) ? alignment_ : DefaultAlignment();
}

void TTzColumnTitle::SetAlignment(ui::TAlignment v) {
    if ((column_->AssignedValues() & cvTitleAlignment) && v == alignment_) return;
    alignment_ = v;
    column_->AssignValue(cvTitleAlignment);
    column_->Notify(false);
}

std::string TTzColumnTitle::DefaultCaption() {
    if (db::TField* f = column_->Field()) return f->FieldName();
    return column_->FieldName();
}

std::string TTzColumnTitle::Caption() {
    return (column_->AssignedValues() & cvTitleCaption) ? caption_ : DefaultCaption();
}

void TTzColumnTitle::SetCaption(const std::string& v) {
    if ((column_->AssignedValues() & cvTitleCaption) && v == caption_) return;
    caption_ = v;
    column_->AssignValue(cvTitleCaption);
    column_->Notify(false);
}

ui::TColor TTzColumnTitle::DefaultColor() const {
    if (TCustomTzGrid* g = column_->Grid()) return g->FixedColor();
    return ui::clBtnFace;
}

ui::TColor TTzColumnTitle::Color() const {
    return (column_->AssignedValues() & cvTitleColor) ? color_ : DefaultColor();
}

void TTzColumnTitle::SetColor(ui::TColor v) {
    if ((column_->AssignedValues() & cvTitleColor) && v == color_) return;
    color_ = v;
    column_->AssignValue(cvTitleColor);
    column_->Notify(false);
}

ui::TFont* TTzColumnTitle::DefaultFont() const {
    if (TCustomTzGrid* g = column_->Grid()) return g->TitleFont();
    return column_->font_.get();
}

void TTzColumnTitle::RefreshDefaultFont() {
    ui::TFont* def = DefaultFont();
    if (!def || def == font_.get() || SameFont(def, font_.get())) return;
    refreshing_ = true;
    font_->Assign(def);
    refreshing_ = false;
}

ui::TFont* TTzColumnTitle::Font() {
    if (!(column_->AssignedValues() & cvTitleFont)) RefreshDefaultFont();
    return font_.get();
}

void TTzColumnTitle::SetFont(ui::TFont* v) { font_->Assign(v); }

void TTzColumnTitle::FontChanged() {
    if (refreshing_) return;
    column_->AssignValue(cvTitleFont);
    column_->Notify(true);
}

void TTzColumnTitle::RestoreDefaults() {
    column_->ClearValues(cvTitleColor | cvTitleCaption | cvTitleAlignment | cvTitleFont);
    caption_.clear();
    RefreshDefaultFont();
}

bool TTzColumnTitle::IsCaptionStored() {
    return (column_->AssignedValues() & cvTitleCaption) && caption_ != DefaultCaption();
}
bool TTzColumnTitle::IsColorStored() const {
    return (column_->AssignedValues() & cvTitleColor) && color_ != DefaultColor();
}
bool TTzColumnTitle::IsAlignmentStored() const {
    return (column_->AssignedValues() & cvTitleAlignment) && alignment_ != DefaultAlignment();
}
bool TTzColumnTitle::IsFontStored() const { return column_->AssignedValues() & cvTitleFont; }

void TPassthroughColumnTitle::SetCaption(const std::string& v) {
    TCustomTzGrid* g = column_->Grid();
    if (g && g->DataLink().Active() && column_->Field()) TTzColumnTitle::SetCaption(v);
}

// ---------------------------------------------------------------- columns

TTzColumn::TTzColumn(ui::TCollection* collection)
    : ui::TCollectionItem(collection), font_(std::make_unique<ui::TFont>()) {
    if (ui::TFont* def = DefaultFont(); def && def != font_.get()) font_->Assign(def);
    font_->OnChange = [this](ui::TObject*) { FontChanged(); };
    title_ = std::make_unique<TTzColumnTitle>(this);
}

TTzColumn::~TTzColumn() {
    if (field_ && Grid()) field_->RemoveFreeNotification(Grid());
}

std::unique_ptr<TTzColumnTitle> TTzColumn::CreateTitle() { return std::make_unique<TTzColumnTitle>(this); }

TCustomTzGrid* TTzColumn::Grid() const {
    auto* columns = dynamic_cast<TTzGridColumns*>(Collection());
    return columns ? columns->Grid() : nullptr;
}

void TTzColumn::Assign(ui::TPersistent* source) {
    auto* c = dynamic_cast<TTzColumn*>(source);
    if (!c) {
        ui::TCollectionItem::Assign(source);
        return;
    }
    ui::TCollection* owner = Collection();
    if (owner) owner->BeginUpdate();
    RunThen([&] { AssignFrom(c); },
            [owner] {
                if (owner) owner->EndUpdate();
            });
}

void TTzColumn::AssignFrom(TTzColumn* c) {
    RestoreDefaults();
    SetFieldName(c->FieldName());
    const TTzColumnValues values = c->AssignedValues();
    if (values & cvColor) SetColor(c->Color());
    if (values & cvWidth) SetWidth(c->GetWidth());
    if (values & cvFont) SetFont(c->Font());
    if (values & cvAlignment) SetAlignment(c->Alignment());
    if (values & cvReadOnly) SetReadOnly(c->ReadOnly());
    title_->Assign(c->Title());
    DropDownRows = c->DropDownRows;
    SetButtonStyle(c->ButtonStyle());
    SetPickList(c->pick_list_.get());
}

db::TField* TTzColumn::Field() {
    if (field_ || field_name_.empty()) return field_;
    TCustomTzGrid* g = Grid();
    db::TDataSet* ds = g ? g->DataLink().DataSet() : nullptr;
    if (!ds || (!ds->Active() && ds->DefaultFields())) return nullptr;
    if (db::TField* f = ds->FindField(field_name_)) {
        field_ = f;
        f->FreeNotification(g);
    }
    return field_;
}

void TTzColumn::SetField(db::TField* field) {
    if (field == field_) return;
    TCustomTzGrid* g = Grid();
    if (field_ && g) field_->RemoveFreeNotification(g);
    field_ = field;
    if (!field) return;
    field_name_ = field->FieldName();
    if (g) field->FreeNotification(g);
}

void TTzColumn::SetFieldName(const std::string& name) {
    db::TField* field = nullptr;
    TCustomTzGrid* g = Grid();
    if (g && g->DataLink().DataSet() && !g->Has(ui::csLoading) && !name.empty())
        field = g->DataLink().DataSet()->FindField(name);
    field_name_ = name;
    SetField(field);
    field_name_ = field ? field->FieldName() : name;
    AssignValue(cvFieldName);
    Changed(false);
}

ui::TColor TTzColumn::DefaultColor() const {
    if (TCustomTzGrid* g = Grid()) return g->Color();
    return ui::clWindow;
}

ui::TColor TTzColumn::Color() const { return (assigned_ & cvColor) ? color_ : DefaultColor(); }

void TTzColumn::SetColor(ui::TColor v) {
    if ((assigned_ & cvColor) && v == color_) return;
    color_ = v;
    AssignValue(cvColor);
    Changed(false);
}

int TTzColumn::DefaultWidth() {
    TCustomTzGrid* g = Grid();
    if (!g) return 64;
    db::TField* f = Field();
    if (!f) return g->DefaultColWidth();
    ui::TFont* font = Font();
    const int overhang = g->Metrics(font).overhang;
    int w = (g->TextWidth(font, "0") - overhang) * f->DisplayWidth() + overhang + 4;
    if (g->Options() & dgTitles) w = std::max(w, g->TextWidth(title_->Font(), title_->Caption()) + 4);
    return w;
}

int TTzColumn::GetWidth() { return (assigned_ & cvWidth) ? width_ : DefaultWidth(); }

void TTzColumn::SetWidthValue(int v) {
    if (!(assigned_ & cvWidth) && v == DefaultWidth()) {
        Changed(false);
        return;
    }
    width_ = v;
    AssignValue(cvWidth);
    Changed(false);
}

void TTzColumn::SetWidth(int v) { SetWidthValue(v); }

ui::TFont* TTzColumn::DefaultFont() const {
    if (TCustomTzGrid* g = Grid()) return g->Font();
    return font_.get();
}

void TTzColumn::RefreshDefaultFont() {
    ui::TFont* def = DefaultFont();
    if (!def || def == font_.get() || SameFont(def, font_.get())) return;
    refreshing_ = true;
    font_->Assign(def);
    refreshing_ = false;
}

ui::TFont* TTzColumn::Font() {
    if (!(assigned_ & cvFont)) RefreshDefaultFont();
    return font_.get();
}

void TTzColumn::SetFont(ui::TFont* v) { font_->Assign(v); }

void TTzColumn::FontChanged() {
    if (refreshing_) return;
    AssignValue(cvFont);
    if (!(assigned_ & cvTitleFont)) title_->RefreshDefaultFont();
    Changed(false);
}

ui::TAlignment TTzColumn::Alignment() const { return (assigned_ & cvAlignment) ? alignment_ : DefaultAlignment(); }

void TTzColumn::SetAlignment(ui::TAlignment v) {
    if ((assigned_ & cvAlignment) && v == alignment_) return;
    alignment_ = v;
    AssignValue(cvAlignment);
    Changed(false);
}

bool TTzColumn::ReadOnly() const { return (assigned_ & cvReadOnly) ? read_only_ : DefaultReadOnly(); }

void TTzColumn::SetReadOnly(bool v) {
    if ((assigned_ & cvReadOnly) && v == read_only_) return;
    read_only_ = v;
    AssignValue(cvReadOnly);
    Changed(false);
}

ui::TStrings* TTzColumn::PickList() {
    if (!pick_list_) pick_list_ = std::make_unique<ui::TStringList>();
    return pick_list_.get();
}

void TTzColumn::SetPickList(ui::TStrings* v) {
    if (!v) {
        pick_list_.reset();
        return;
    }
    PickList()->Assign(v);
}

void TTzColumn::SetButtonStyle(TTzColumnButtonStyle v) {
    if (v == button_style_) return;
    button_style_ = v;
    Changed(false);
}

void TTzColumn::RestoreDefaults() {
    const bool font_was_set = assigned_ & cvFont;
    title_->RestoreDefaults();
    assigned_ = 0;
    RefreshDefaultFont();
    pick_list_.reset();
    button_style_ = cbsAuto;
    Changed(font_was_set);
}

bool TTzColumn::IsWidthStored() { return (assigned_ & cvWidth) && width_ != DefaultWidth(); }
bool TTzColumn::IsColorStored() const { return (assigned_ & cvColor) && color_ != DefaultColor(); }
bool TTzColumn::IsAlignmentStored() const { return (assigned_ & cvAlignment) && alignment_ != DefaultAlignment(); }
bool TTzColumn::IsReadOnlyStored() const { return (assigned_ & cvReadOnly) && read_only_ != DefaultReadOnly(); }

// ---------------------------------------------------------------- passthrough columns

TPassthroughColumn::TPassthroughColumn(ui::TCollection* collection) : TTzColumn(collection) { title_ = CreateTitle(); }

std::unique_ptr<TTzColumnTitle> TPassthroughColumn::CreateTitle() {
    return std::make_unique<TPassthroughColumnTitle>(this);
}

void TPassthroughColumn::SetIndex(int index) {
    TCustomTzGrid* g = Grid();
    if (g && g->DataLink().Active() && field_) {
        // The dataset's field order follows the grid's columns.
        if (db::TField* target = g->DataLink().Fields(index)) field_->SetIndex(target->Index());
    }
    TTzColumn::SetIndex(index);
}

void TPassthroughColumn::SetAlignment(ui::TAlignment v) {
    TCustomTzGrid* g = Grid();
    if (g && g->DataLink().Active() && Field()) return;
    TTzColumn::SetAlignment(v);
}

void TPassthroughColumn::SetField(db::TField* field) {
    TTzColumn::SetField(field);
    if (!field) field_name_.clear();
    RestoreDefaults();
}

void TPassthroughColumn::SetWidth(int v) {
    TCustomTzGrid* g = Grid();
    if (g && g->HandleAllocated() && Field()) {
        // The field's display width in average characters of the column's font.
        const ui::TextMetrics& tm = g->Metrics(Font());
        if (tm.ave_char_width > 0)
            field_->SetDisplayWidth(std::max(1, (v - tm.overhang - 3 + tm.ave_char_width / 2) / tm.ave_char_width));
    }
    if (g && g->DataLink().InLayout() && !(assigned_ & cvWidth)) return;
    TTzColumn::SetWidth(v);
}

// ---------------------------------------------------------------- the collection

TTzGridColumns::TTzGridColumns(TCustomTzGrid* grid)
    : ui::TCollection([](ui::TCollection* c) { return std::make_unique<TTzColumn>(c); }), grid_(grid) {}

TTzColumn* TTzGridColumns::GetColumn(int index) const { return static_cast<TTzColumn*>(Items(index)); }

namespace {

// A column is built under the grid's layout lock, so that the grid lays
// itself out once, with the new column in place.
template <class Make>
auto UnderLayoutLock(TCustomTzGrid* grid, Make make) {
    if (!grid) return make();
    grid->BeginLayout();
    return RunThen(make, [grid] { grid->EndLayout(); });
}

}  // namespace

TTzColumn* TTzGridColumns::Add() {
    return UnderLayoutLock(grid_, [this] { return static_cast<TTzColumn*>(ui::TCollection::Add()); });
}

TPassthroughColumn* TTzGridColumns::AddPassthrough() {
    return UnderLayoutLock(grid_, [this] {
        return static_cast<TPassthroughColumn*>(AddItem(std::make_unique<TPassthroughColumn>(this)));
    });
}

bool TTzGridColumns::Customized() const { return Count() > 0 && !dynamic_cast<TPassthroughColumn*>(Items(0)); }

void TTzGridColumns::RestoreDefaults() {
    BeginUpdate();
    RunThen(
        [this] {
            for (int i = 0; i < Count(); ++i) GetColumn(i)->RestoreDefaults();
        },
        [this] { EndUpdate(); });
}

void TTzGridColumns::Update(ui::TCollectionItem*) {
    if (grid_ && !grid_->Has(ui::csLoading)) grid_->LayoutChanged();
}

}  // namespace zurod
