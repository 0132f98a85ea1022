#include "framework/db/dbnavigator.hpp"

#include <algorithm>

#include "framework/ui/dialogs.hpp"
#include "framework/ui/forms.hpp"

namespace db {

namespace {

// Glyphs, one character a pixel: '#' drawn, anything else left alone.
// clang-format off
const std::array<std::vector<std::string>, kNavButtonCount> kGlyphs = {{
    {"#....#", "#...##", "#..###", "#.####", "#..###", "#...##", "#....#"},              // first
    {"...#", "..##", ".###", "####", ".###", "..##", "...#"},                        // prior
    {"#...", "##..", "###.", "####", "###.", "##..", "#..."},                        // next
    {"#....#", "##...#", "###..#", "####.#", "###..#", "##...#", "#....#"},              // last
    {"..##..", "..##..", "######", "######", "..##..", "..##.."},                    // insert
    {"######", "######"},                                                            // delete
    {"...#...", "..###..", ".#####.", "#######"},                                    // edit
    {"......#", ".....##", "#...##.", "##.##..", ".###...", "..#...."},              // post
    {"#....#", "##..##", ".####.", "..##..", ".####.", "##..##", "#....#"},          // cancel
    {"..####.#", ".#....##", "#....###", "#.......", "#......#", ".#....#.", "..####.."},  // refresh
}};
const std::array<const char*, kNavButtonCount> kDefaultHints = {
    "First record", "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data",
};
// clang-format on
constexpr unsigned kInitRepeatPause = 400, kRepeatPause = 100;

void DrawGlyph(ui::DC& dc, const std::vector<std::string>& rows, int x, int y, ui::COLORREF color) {
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            if (rows[r][c] == '#') ui::SetPixel(dc, x + int(c), y + int(r), color);
}

}  // namespace

bool ConfirmQuestion(const std::string& text) {
    return ui::MessageDlg(text, ui::mtConfirmation, ui::mbOKCancel) != ui::mrCancel;
}

// ---------------------------------------------------------------- buttons

TNavButton::TNavButton(TDBNavigator* navigator, TNavigateBtn index)
    : ui::TGraphicControl(navigator), index_(index) {
    ControlStyle |= ui::csCaptureMouse;
    color_ = ui::clBtnFace;
}

void TNavButton::Paint() {
    ui::DC& dc = *Canvas()->Handle();
    ui::TRect r = ClientRect();
    ui::FillRect(dc, r, ui::Brush::Solid(ui::ColorToRGB(ui::clBtnFace)));
    ui::DrawEdge(dc, r, down_ ? ui::EDGE_SUNKEN : ui::EDGE_RAISED, ui::BF_RECT);
    const auto& rows = kGlyphs[index_];
    const int gw = int(rows[0].size()), gh = int(rows.size());
    int x = (Width() - gw) / 2, y = (Height() - gh) / 2;
    if (down_) ++x, ++y;
    if (Enabled()) {
        DrawGlyph(dc, rows, x, y, ui::ColorToRGB(ui::clBtnText));
    } else {
        DrawGlyph(dc, rows, x + 1, y + 1, ui::ColorToRGB(ui::clBtnHighlight));
        DrawGlyph(dc, rows, x, y, ui::ColorToRGB(ui::clBtnShadow));
    }
}

void TNavButton::MouseDown(ui::TMouseButton b, ui::TShiftState s, int x, int y) {
    ui::TGraphicControl::MouseDown(b, s, x, y);
    if (b != ui::mbLeft || !Enabled()) return;
    down_ = dragging_ = true;
    Invalidate();
    if (AllowTimer) {
        if (!timer_) timer_ = ui::Make<ui::TTimer>(nullptr);
        timer_->SetInterval(kInitRepeatPause);
        timer_->SetOnTimer([this](ui::TObject*) { Repeat(); });
        timer_->SetEnabled(true);
    }
}

void TNavButton::MouseMove(ui::TShiftState s, int x, int y) {
    ui::TGraphicControl::MouseMove(s, x, y);
    if (!dragging_) return;
    const bool inside = ClientRect().Contains({x, y});
    if (inside != down_) down_ = inside, Invalidate();
}

void TNavButton::MouseUp(ui::TMouseButton b, ui::TShiftState s, int x, int y) {
    if (timer_) timer_->SetEnabled(false);
    dragging_ = false;
    if (down_) down_ = false, Invalidate();
    ui::TGraphicControl::MouseUp(b, s, x, y);
}

void TNavButton::Repeat() {
    timer_->SetInterval(kRepeatPause);
    if (down_ && Enabled()) Click();
}

void TNavButton::WndProc(ui::TMessage& m) {
    if (m.Msg == ui::CM_ENABLEDCHANGED && !Enabled()) {
        if (timer_) timer_->SetEnabled(false);
        down_ = dragging_ = false;
    }
    ui::TGraphicControl::WndProc(m);
}

// ---------------------------------------------------------------- the data link

void TNavDataLink::EditingChanged() { navigator_->EditingChanged(); }
void TNavDataLink::DataSetChanged() { navigator_->DataChanged(); }
void TNavDataLink::ActiveChanged() { navigator_->ActiveChanged(); }

// ---------------------------------------------------------------- the navigator

TDBNavigator::TDBNavigator(ui::TComponent* owner) : ui::TCustomPanel(owner) {
    SetBevelOuter(ui::bvNone);
    ControlStyle &= ~ui::csSetCaption;
    for (int i = 0; i < kNavButtonCount; ++i) {
        auto* b = new TNavButton(this, TNavigateBtn(i));
        b->SetParent(this);
        b->OnClick = [this, i](ui::TObject*) { BtnClick(TNavigateBtn(i)); };
        buttons_[size_t(i)] = b;
    }
    buttons_[nbPrior]->AllowTimer = buttons_[nbNext]->AllowTimer = true;
    ApplyHints();
    width_ = 240, height_ = 25;
    AdjustButtons();
    ActiveChanged();
}

TDBNavigator::~TDBNavigator() = default;

void TDBNavigator::Notification(ui::TComponent* component, ui::TOperation op) {
    ui::TCustomPanel::Notification(component, op);
    if (op == ui::TOperation::opRemove && component == DataSource()) SetDataSource(nullptr);
}

void TDBNavigator::Loaded() {
    ui::TCustomPanel::Loaded();
    AdjustButtons();
    ActiveChanged();
}

void TDBNavigator::SetDataSource(TDataSource* source) {
    if (source == DataSource()) return;
    if (DataSource() && !DataSource()->Has(ui::csDestroying)) DataSource()->RemoveFreeNotification(this);
    link_.SetDataSource(source);
    if (source) source->FreeNotification(this);
    if (!Has(ui::csLoading)) ActiveChanged();
}

void TDBNavigator::SetVisibleButtons(TButtonSet buttons) {
    visible_ = buttons & kAllNavButtons;
    for (int i = 0; i < kNavButtonCount; ++i) buttons_[size_t(i)]->SetVisible(visible_ & (1u << i));
    AdjustButtons();
    Invalidate();
}

void TDBNavigator::SetHints(const std::vector<std::string>& hints) {
    hints_.Clear();
    for (const std::string& h : hints) hints_.Add(h);
    ApplyHints();
}

void TDBNavigator::ApplyHints() {
    for (int i = 0; i < kNavButtonCount; ++i)
        buttons_[size_t(i)]->Hint =
            i < hints_.Count() && !hints_.Get(i).empty() ? hints_.Get(i) : kDefaultHints[size_t(i)];
}

void TDBNavigator::SetBounds(int left, int top, int width, int height) {
    ui::TCustomPanel::SetBounds(left, top, width, height);
    AdjustButtons();
}

void TDBNavigator::WndProc(ui::TMessage& m) {
    ui::TCustomPanel::WndProc(m);
    if (m.Msg == ui::CM_ENABLEDCHANGED) ActiveChanged();
}

void TDBNavigator::AdjustButtons() {
    int count = 0;
    for (int i = 0; i < kNavButtonCount; ++i) count += (visible_ >> i) & 1;
    if (count == 0) return;
    // Equal buttons, the pixels left over shared out on both sides.
    const int w = width_ / count;
    int x = (width_ - w * count) / 2;
    for (int i = 0; i < kNavButtonCount; ++i) {
        if (!(visible_ & (1u << i))) continue;
        buttons_[size_t(i)]->SetBounds(x, 0, w, height_);
        x += w;
    }
}

void TDBNavigator::BtnClick(TNavigateBtn index) {
    TDataSource* source = DataSource();
    if (source && source->State() != dsInactive) {
        if (NotDesigning() && BeforeAction) BeforeAction(this, index);
        TDataSet* ds = source->DataSet();
        switch (index) {
        case nbPrior: ds->Prior(); break;
        case nbNext: ds->Next(); break;
        case nbFirst: ds->First(); break;
        case nbLast: ds->Last(); break;
        case nbInsert: ds->Insert(); break;
        case nbEdit: ds->Edit(); break;
        case nbCancel: ds->Cancel(); break;
        case nbPost: ds->Post(); break;
        case nbRefresh: ds->Refresh(); break;
        case nbDelete:
            if (!ConfirmDelete || ConfirmQuestion("Delete record?")) ds->Delete();
            break;
        }
    }
    if (NotDesigning() && OnClick) OnClick(this, index);
}

void TDBNavigator::DataChanged() {
    const bool active = Enabled() && link_.Active();
    TDataSet* ds = link_.DataSet();
    const bool up = active && !ds->Bof(), down = active && !ds->Eof();
    buttons_[nbFirst]->SetEnabled(up);
    buttons_[nbPrior]->SetEnabled(up);
    buttons_[nbNext]->SetEnabled(down);
    buttons_[nbLast]->SetEnabled(down);
    buttons_[nbDelete]->SetEnabled(active && ds->CanModify() && !(ds->Bof() && ds->Eof()));
}

void TDBNavigator::EditingChanged() {
    const bool can_modify = Enabled() && link_.Active() && link_.DataSet()->CanModify();
    const bool editing = link_.Editing();
    buttons_[nbInsert]->SetEnabled(can_modify);
    buttons_[nbEdit]->SetEnabled(can_modify && !editing);
    buttons_[nbPost]->SetEnabled(can_modify && editing);
    buttons_[nbCancel]->SetEnabled(can_modify && editing);
    buttons_[nbRefresh]->SetEnabled(can_modify);
}

void TDBNavigator::ActiveChanged() {
    if (!(Enabled() && link_.Active())) {
        for (TNavButton* b : buttons_) b->SetEnabled(false);
        return;
    }
    DataChanged();
    EditingChanged();
}

}  // namespace db
