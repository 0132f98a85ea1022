#include "controls/tooledit.hpp"

#include <algorithm>

#include "controls/cvutils.hpp"
#include "framework/db/sysutils.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/sysparams.hpp"

namespace controls {

using namespace ui;

namespace {

// A control font's height in pixels (a capital and a descender).
int FontPixelHeight(const LogFont& font) {
    TBitmap b;
    b.SetSize(1, 1);
    TCanvas* c = b.Canvas();
    c->Font()->SetName(font.name);
    c->Font()->SetHeight(font.height);
    c->Font()->SetStyle(font.bold ? unsigned(fsBold) : 0u);
    return c->TextHeight("Wg");
}

int FontPixelHeight(TFont* font) { return FontPixelHeight(font->Log()); }

// The system font, what the caret and the minimum height measure against.
int SystemFontHeight() { return FontPixelHeight(LogFont{}); }

// The system's combo-box arrow: a small black triangle on the ground.
std::unique_ptr<TBitmap> ComboArrowBitmap() {
    auto b = std::make_unique<TBitmap>();
    b->SetHandle(BitmapFromArt({".........", ".#######.", "..#####..", "...###...", "....#....", "........."},
                               {{'#', RGB(0, 0, 0)}, {'.', RGB(255, 0, 255)}}));
    return b;
}

// The plain windowed control the button sits in.
class TButtonHolder : public TWinControl {
public:
    explicit TButtonHolder(TComponent* owner) : TWinControl(owner) {
        color_ = clBtnFace;
        brush_->SetColor(color_);
        parent_color_ = false;
    }
    std::string ClassName() const override { return "TButtonHolder"; }
};

}  // namespace

bool IsNullValue(const TPopupValue& v) { return std::holds_alternative<std::monostate>(v); }

std::string PopupValueText(const TPopupValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* d = std::get_if<double>(&v)) return db::DateToStr(*d);
    return {};
}

unsigned ShortCutOf(UINT key, TShiftState shift) {
    unsigned s = key & 0xFF;
    if (shift & ssShift) s |= scShift;
    if (shift & ssCtrl) s |= scCtrl;
    if (shift & ssAlt) s |= scAlt;
    return s;
}

// ---------------------------------------------------------------- TEditButton

TEditButton::TEditButton(TComponent* owner) : TCvSpeedButton(owner) { SetParentShowHint(true); }

void TEditButton::Paint() {
    TCvSpeedButton::Paint();
    if (State() == bsDown || State() == bsExclusive) return;
    // A line that parts the button from the text.
    TCanvas* c = Canvas();
    c->Pen()->SetColor(NewStyleControls() ? clBtnFace : clBtnShadow);
    c->MoveTo(0, 0);
    c->LineTo(0, Height() - 1);
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(1, 1);
    c->LineTo(1, Height() - 2);
}

// ---------------------------------------------------------------- TPopupWindow

TPopupWindow::TPopupWindow(TComponent* owner, TWinControl* editor) : TDropDownWindow(owner, editor) {
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

void TPopupWindow::InvalidateEditor() {
    TWinControl* editor = Editor();
    if (!editor || !editor->HandleAllocated()) return;
    TRect r = editor->ClientRect();
    if (dynamic_cast<TCustomComboEdit*>(editor)) SendMessage(editor->WindowHandle(), EM_GETRECT, 0, LPARAM(&r));
    InvalidateRect(editor->WindowHandle(), &r, false);
    UpdateWindow(editor->WindowHandle());
}

// ---------------------------------------------------------------- geometry

TPoint PopupOrigin(TPoint p, TSize edit, TSize popup, TSize screen, TPopupAlign align) {
    TPoint o{0, p.y + edit.cy};
    if (o.y + popup.cy > screen.cy) o.y = p.y - popup.cy;
    if (align == epaRight) {
        o.x = p.x - (popup.cx - edit.cx);
        if (o.x < 0) o.x = p.x;
    } else {
        o.x = p.x;
        if (o.x + popup.cx > screen.cx) o.x = p.x - (popup.cx - edit.cx);
    }
    if (o.x < 0)
        o.x = 0;
    else if (o.x + popup.cx > screen.cx)
        o.x = screen.cx - popup.cx;
    return o;
}

TRect ButtonHolderBounds(int width, int height, int bw, bool new_style, bool border, bool ctl3d) {
    if (!new_style) return Bounds(width - bw, 0, bw, height);
    if (!border) return Bounds(width - bw, 0, bw, height);
    if (ctl3d) return Bounds(width - bw - 4, 0, bw, height - 4);
    return Bounds(width - bw - 2, 2, bw, height - 4);
}

// ---------------------------------------------------------------- TCustomComboEdit

TCustomComboEdit::TCustomComboEdit(TComponent* owner) : TCustomMaskEdit(owner) {
    height_ = 21;
    holder_ = new TButtonHolder(this);
    holder_->SetBounds(0, 0, 21, 17);
    holder_->SetParent(this);
    button_ = new TEditButton(this);
    button_->SetBounds(0, 0, 21, 17);
    button_->SetParent(holder_);
    button_->OnClick = [this](TObject*) { EditButtonClick(); };
    constructing_ = false;
}

TCustomComboEdit::~TCustomComboEdit() = default;

void TCustomComboEdit::BeforeDestruction() {
    SetPopup(nullptr);
    TCustomMaskEdit::BeforeDestruction();
}

void TCustomComboEdit::CreateParams(ui::CreateParams& p) {
    TCustomMaskEdit::CreateParams(p);
    // Several lines, so that the formatting rectangle can leave room for the button.
    p.style |= uint32_t(ES_MULTILINE) | uint32_t(WS_CLIPCHILDREN);
    p.style &= ~uint32_t(ES_CENTER | ES_RIGHT);
    if (alignment_ == taRightJustify) p.style |= ES_RIGHT;
    if (alignment_ == taCenter) p.style |= ES_CENTER;
    if (border_style_ == bsSingle && !ctl3d_) {
        p.ex_style &= ~uint32_t(WS_EX_CLIENTEDGE);
        p.style |= WS_BORDER;
    }
}

void TCustomComboEdit::CreateHandleDone() {
    TCustomMaskEdit::CreateHandleDone();
    ApplyReadOnly();
    PlaceButton();
}

void TCustomComboEdit::SetFormattingRect() {
    if (!HandleAllocated()) return;
    const TRect client = ClientRect();
    const int holder = holder_->Visible() ? holder_->Width() : 0;
    const TRect r{0, 0, client.Width() - holder - 2, client.Height() + 1};
    SendMessage(handle_, EM_SETRECTNP, 0, LPARAM(&r));
}

void TCustomComboEdit::PlaceButton() {
    const bool border = border_style_ == bsSingle;
    const TRect b = ButtonHolderBounds(width_, height_, button_->Width(), NewStyleControls(), border, ctl3d_);
    holder_->SetBounds(b.left, b.top, b.Width(), b.Height());
    button_->SetBounds(0, 0, button_->Width(), holder_->Height());
    SetFormattingRect();
}

int TCustomComboEdit::MinHeight() {
    return std::min(SystemFontHeight(), FontPixelHeight(font_.get())) + 4 * GetSystemMetrics(SM_CYBORDER) + 1;
}

int TCustomComboEdit::ButtonWidth() const { return button_->Width(); }

int TCustomComboEdit::NaturalButtonWidth() const {
    if (glyph_kind_ == gkDefault && Glyph() && !Glyph()->Empty())
        return std::max(Glyph()->Width() / std::max(1, NumGlyphs()) + 6, 21);
    if (glyph_kind_ == gkDropDown) return GetSystemMetrics(SM_CXVSCROLL);
    return 21;
}

void TCustomComboEdit::SetButtonWidth(int v) {
    if (v == ButtonWidth()) return;
    holder_->SetVisible(v > 1);
    if (constructing_ || (ControlState & csCreating)) {
        holder_->SetWidth(v);
        button_->SetWidth(v);
    } else if (v < ClientWidth()) {
        button_->SetWidth(v);
        holder_->SetWidth(v);
        RecreateWnd();
        PlaceButton();
        if (glyph_kind_ == gkEllipsis) RecreateGlyph();
    }
    width_fixed_ = false;
}

const std::string& TCustomComboEdit::ButtonHint() const { return button_->Hint; }
void TCustomComboEdit::SetButtonHint(const std::string& v) { button_->Hint = v; }

void TCustomComboEdit::SetGlyph(TBitmap* v) {
    button_->SetGlyph(v);
    glyph_kind_ = gkCustom;
}

void TCustomComboEdit::SetNumGlyphs(int v) {
    if (glyph_kind_ == gkDropDown || glyph_kind_ == gkEllipsis)
        v = 1;
    else if (glyph_kind_ == gkDefault)
        v = default_num_glyphs_;
    button_->SetNumGlyphs(v);
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind v) {
    if (v == glyph_kind_) return;
    glyph_kind_ = v;
    RecreateGlyph();
}

void TCustomComboEdit::RecreateGlyph() {
    switch (glyph_kind_) {
    case gkCustom: return;
    case gkDefault: {
        bool caller_frees = false;
        TBitmap* b = DefaultGlyphBitmap(caller_frees);
        if (!b) return;
        button_->SetGlyph(b);
        button_->SetNumGlyphs(default_num_glyphs_);
        if (caller_frees) delete b;
        if (!Glyph()->Empty()) SetButtonWidth(std::max(Glyph()->Width() / std::max(1, NumGlyphs()) + 6, ButtonWidth()));
        return;
    }
    case gkDropDown: {
        const auto arrow = ComboArrowBitmap();
        button_->SetGlyph(arrow.get());
        button_->SetNumGlyphs(1);
        SetButtonWidth(GetSystemMetrics(SM_CXVSCROLL));
        width_fixed_ = true;
        return;
    }
    case gkEllipsis: {
        const auto dots = CreateEllipsisGlyph(ButtonWidth());
        button_->SetGlyph(dots.get());
        button_->SetNumGlyphs(1);
        return;
    }
    }
}

void TCustomComboEdit::SetReadOnly(bool v) {
    if (v == read_only_) return;
    read_only_ = v;
    ApplyReadOnly();
}

void TCustomComboEdit::SetDirectInput(bool v) {
    direct_input_ = v;
    ApplyReadOnly();
}

// The window takes typing only with direct input on and the edit not read-only.
void TCustomComboEdit::ApplyReadOnly() { TCustomEdit::SetReadOnly(!(direct_input_ && !read_only_)); }

void TCustomComboEdit::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    RecreateWnd();
}

void TCustomComboEdit::SetCtl3D(bool v) {
    if (v == ctl3d_) return;
    ctl3d_ = v;
    RecreateWnd();
    PlaceButton();
}

// ---------------------------------------------------------------- the popup

void TCustomComboEdit::SetPopup(TPopupWindow* popup) {
    if (popup_ == popup) return;
    if (popup_) {
        popup_->OnCloseUp = nullptr;
        popup_->CloseUp(false);
        Free(popup_);
    }
    popup_visible_ = false;
    popup_ = popup;
    if (popup_) {
        popup_->DropButton = button_;
        popup_->OnCloseUp = [this](TObject* sender, bool accept) { PopupCloseUp(sender, accept); };
    }
}

void TCustomComboEdit::PassValueToPopup(const TPopupValue& value) {
    if (popup_) popup_->ShowValue(value);
}

void TCustomComboEdit::ReadPopupValue(TPopupValue& value) {
    if (popup_) value = popup_->CurrentValue();
}

void TCustomComboEdit::ShowPopupAt(TPoint origin) {
    if (popup_) popup_->DropDownAt(origin);
}

void TCustomComboEdit::OpenPopup(bool disable_edit) {
    if (!popup_ || read_only_ || popup_visible_) return;
    popup_->HandleNeeded();
    const TPoint p = ClientToScreen({0, 0});
    // The edit's frame counts: the popup lies under the whole control.
    const TRect outer = HandleAllocated() ? GetWindowRect(handle_) : Bounds(p.x, p.y, width_, height_);
    const TPoint origin = PopupOrigin({outer.left, outer.top}, {width_, height_}, {popup_->Width(), popup_->Height()},
                                      {Screen().Width(), Screen().Height()}, PopupAlign);
    const std::string text = GetText();
    PassValueToPopup(text.empty() ? TPopupValue{} : TPopupValue{text});
    if (CanFocus()) SetFocus();
    ShowPopupAt(origin);
    popup_visible_ = true;
    if (disable_edit) {
        TCustomEdit::SetReadOnly(true);
        if (HandleAllocated()) HideCaret(handle_);
    }
}

void TCustomComboEdit::ClosePopup(bool accept) {
    if (popup_ && popup_visible_) popup_->FinishPopup(accept);
}

void TCustomComboEdit::PopupCloseUp(TObject*, bool accept) {
    if (!popup_visible_) return;
    if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE);
    TPopupValue value;
    ReadPopupValue(value);
    if (CanFocus()) SetFocus();
    if (Focused() && HandleAllocated()) {
        CreateCaret(handle_, font_->Style() & fsBold ? 2 : 1,
                    std::min(SystemFontHeight(), FontPixelHeight(font_.get())));
        ShowCaret(handle_);
    }
    ApplyReadOnly();
    Invalidate();
    if (accept && ConfirmPopupValue(value) && EditCanModify()) {
        TakePopupValue(value);
        if (Focused()) SelectAll();
    }
    popup_visible_ = false;
}

void TCustomComboEdit::TakePopupValue(const TPopupValue& value) {
    const std::string text = PopupValueText(value);
    if (text == GetText()) return;
    SetText(text);
    SetModified(true);
    popup_visible_ = popup_ && popup_->Dropped();
    Change();
}

void TCustomComboEdit::Change() {
    if (popup_visible_)
        PopupValueChanged();
    else
        TCustomMaskEdit::Change();
}

void TCustomComboEdit::EditButtonClick() {
    if (IsReadOnly()) return;
    ButtonClick();
}

void TCustomComboEdit::ButtonClick() {
    if (OnButtonClick) OnButtonClick(this);
    if (!popup_) return;
    if (popup_visible_)
        ClosePopup(true);
    else
        OpenPopup(true);
}

// ---------------------------------------------------------------- keys and messages

void TCustomComboEdit::KeyDown(UINT& key, TShiftState shift) {
    if (ShortCutOf(key, shift) == ClickKey && ButtonWidth() > 0) {
        EditButtonClick();
        key = 0;
        return;
    }
    if (key == VK_RETURN || key == VK_ESCAPE) {
        if (popup_visible_) {
            ClosePopup(key == VK_RETURN);
            key = 0;
            return;
        }
        // The form's default and cancel buttons come first.
        if (TCustomForm* form = GetParentForm(this); form && form->Perform(CM_DIALOGKEY, key, 0)) {
            key = 0;
            return;
        }
    }
    TCustomMaskEdit::KeyDown(key, shift);
    if (key == VK_RETURN) key = 0;
}

void TCustomComboEdit::KeyPress(char& key) {
    TCustomMaskEdit::KeyPress(key);
    // The window has several lines, but the edit keeps to one.
    if (key == '\r' || key == 27) key = 0;
}

void TCustomComboEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_SETFOCUS: {
        focused_ = true;
        const bool auto_select = AutoSelect;
        AutoSelect = auto_select && direct_input_;
        TCustomMaskEdit::WndProc(m);
        AutoSelect = auto_select;
        if (HandleAllocated() && GetFocus() == handle_) {
            // The caret as high as the text, wider for a bold font.
            const TPoint at = GetCaretPos();
            CreateCaret(handle_, font_->Style() & fsBold ? 2 : 1,
                        std::min(SystemFontHeight(), FontPixelHeight(font_.get())));
            SetCaretPos(at.x, at.y);
            if (!popup_visible_) ShowCaret(handle_);
        }
        return;
    }
    case WM_KILLFOCUS: focused_ = false; break;
    case WM_CUT:
    case WM_PASTE:
        if (!direct_input_ || read_only_) return;
        break;
    case WM_SIZE:
        TCustomMaskEdit::WndProc(m);
        if (height_ < MinHeight()) {
            SetHeight(MinHeight());
            return;
        }
        PlaceButton();
        return;
    case CM_FONTCHANGED:
        TCustomMaskEdit::WndProc(m);
        SetFormattingRect();
        return;
    case CM_ENABLEDCHANGED:
        TCustomMaskEdit::WndProc(m);
        button_->SetEnabled(enabled_);
        return;
    default: break;
    }
    TCustomMaskEdit::WndProc(m);
}

// ---------------------------------------------------------------- aligned text

void TextMarginsOf(TCustomComboEdit* editor, int& margin_x, int& margin_y) {
    const bool border = editor->BorderStyle() == bsSingle;
    if (NewStyleControls()) {
        margin_y = !border ? 0 : editor->Ctl3D() ? 1 : 2;
        const LRESULT margins = editor->HandleAllocated() ? SendMessage(editor->WindowHandle(), EM_GETMARGINS) : 0;
        margin_x = int(margins & 0xFFFF) + margin_y;
    } else {
        margin_x = margin_y = border ? std::min(SystemFontHeight(), FontPixelHeight(editor->Font())) / 4 : 0;
    }
}

bool PaintAlignedEditText(TCustomComboEdit* editor, const std::string& text, TAlignment alignment,
                          std::unique_ptr<TControlCanvas>& canvas, TMessage& paint, bool only_when_copying) {
    if (only_when_copying && !(editor->ControlState & csPaintCopy)) return false;
    if (!canvas) canvas = std::make_unique<TControlCanvas>(editor);
    PAINTSTRUCT ps;
    std::unique_ptr<DC> own;
    DC* dc = reinterpret_cast<DC*>(paint.WParam);
    if (!dc) {
        own = BeginPaint(editor->WindowHandle(), ps);
        dc = own.get();
    }
    {
        TControlCanvas::Painting scope(*canvas, dc, editor->Font(), editor->Color());
        TFont* font = canvas->Font();
        if (!editor->Enabled() && editor->Color() != clGrayText) font->SetColor(clGrayText);
        const TRect client = editor->ClientRect();
        if (editor->BorderStyle() == bsSingle && !editor->Ctl3D()) {
            canvas->Brush()->SetColor(clWindowFrame);
            canvas->FrameRect(client);
            canvas->Brush()->SetColor(editor->Color());
        }
        canvas->FillRect(client.Inflate(-1, -1));
        int mx = 0, my = 0;
        TextMarginsOf(editor, mx, my);
        const int button = editor->ButtonHolder()->Visible() ? editor->ButtonWidth() : 0;
        const int width = canvas->TextWidth(text) + (button > 0 ? 1 : 0);
        int x = mx;
        if (!editor->PopupVisible()) {
            if (alignment == taRightJustify) x = client.Width() - button - width - mx - 2;
            if (alignment == taCenter) x = (client.Width() - button - width) / 2;
        }
        canvas->TextRect(client, x, my, text);
    }
    if (own) EndPaint(editor->WindowHandle(), std::move(own));
    return true;
}

}  // namespace controls
