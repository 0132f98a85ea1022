// TControl: bounds, visibility, colour and font inherited from the parent,
// mouse messages, and the graphic control that holds the mouse capture.
#include <algorithm>

#include "framework/ui/controls.hpp"
#include "framework/ui/detail/library_state.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/menus.hpp"

namespace ui {

TControl* CaptureControl() { return detail::Library().capture_control; }

void SetCaptureControl(TControl* c) {
    ReleaseCapture();
    detail::Library().capture_control = nullptr;
    if (!c) return;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        SetCapture(w->Handle());
        return;
    }
    if (c->Parent()) {
        SetCapture(c->Parent()->Handle());
        detail::Library().capture_control = c;
    }
}

TShiftState KeysToShiftState(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    font_->OnChange = [this](TObject*) {
        parent_font_ = false;
        Perform(CM_FONTCHANGED);
    };
}

TControl::~TControl() {
    if (detail::Library().capture_control == this) detail::Library().capture_control = nullptr;
}

void TControl::BeforeDestruction() {
    Destroying();
    Application().ControlDestroying(this);
    if (detail::Library().capture_control == this) SetCaptureControl(nullptr);
    SetParent(nullptr);
    TComponent::BeforeDestruction();
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (parent_) parent_->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(0, width), height = std::max(0, height);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    InvalidateControl(visible_, false);
    left_ = left, top_ = top, width_ = width, height_ = height;
    Invalidate();
    if (parent_) parent_->AlignControls();
}

TRect TControl::ClientRect() { return {0, 0, width_, height_}; }

void TControl::ScaleBy(int m, int d) {
    if (m == d || d == 0) return;
    auto scale = [m, d](int v) { return int((int64_t(v) * m + (v < 0 ? -d / 2 : d / 2)) / d); };
    // Children first, in their parent's old coordinates scaled alike.
    if (auto* w = dynamic_cast<TWinControl*>(this))
        for (TControl* c : std::vector<TControl*>(w->Controls())) c->ScaleBy(m, d);
    if (!parent_font_) font_->SetHeight(scale(font_->Height()));
    SetBounds(scale(left_), scale(top_), scale(width_), scale(height_));
}

void TControl::SetClientSize(int w, int h) {
    TRect c = ClientRect();
    SetBounds(left_, top_, width_ + w - c.Width(), height_ + h - c.Height());
}

TPoint TControl::ClientOrigin() {
    if (!parent_) return {left_, top_};
    TPoint p = parent_->ClientOrigin();
    return {p.x + left_, p.y + top_};
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    InvalidateControl(true, false);
    visible_ = v;
    Perform(CM_VISIBLECHANGED, v);
    if (parent_) parent_->AlignControls();
    Invalidate();
}

void TControl::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const std::string& v) {
    if (v == text_) return;
    text_ = v;
    Perform(CM_TEXTCHANGED);
}

void TControl::SetColor(TColor v) {
    if (v == color_) return;
    color_ = v;
    parent_color_ = false;
    Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool v) {
    parent_color_ = v;
    if (v && parent_) {
        color_ = parent_->Color();
        Perform(CM_COLORCHANGED);
        parent_color_ = true;
    }
}

void TControl::SetParentFont(bool v) {
    if (v && parent_) {
        font_->Assign(parent_->Font());
        Perform(CM_FONTCHANGED);
    }
    parent_font_ = v;
}

void TControl::SetShowHint(bool v) {
    parent_show_hint_ = false;
    if (v == show_hint_) return;
    show_hint_ = v;
    Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool v) {
    if (v == parent_show_hint_) return;
    parent_show_hint_ = v;
    if (v && parent_) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetAlign(TAlign v) {
    if (v == align_) return;
    align_ = v;
    if (parent_) parent_->AlignControls();
}

namespace {

// A right click pops the control's menu up where it was clicked.
void PopupAt(TControl* control, TPoint client) {
    TPopupMenu* menu = control->PopupMenu();
    if (!menu || !menu->AutoPopup) return;
    if (TCustomForm* form = GetParentForm(control)) form->SendCancelMode(nullptr);
    menu->SetPopupComponent(control);
    const TPoint p = control->ClientToScreen(client);
    menu->Popup(p.x, p.y);
}

}  // namespace

int TControl::InheritedHelpContext() const {
    const TControl* c = this;
    while (c && c->HelpContext == 0) c = c->Parent();
    return c ? c->HelpContext : 0;
}

LRESULT TControl::Perform(UINT msg, WPARAM w, LPARAM l) {
    TMessage m{msg, w, l, 0};
    WindowProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& m) {
    const int x = LOWORD_S(m.LParam), y = HIWORD_S(m.LParam);
    const TShiftState s = KeysToShiftState(m.WParam);
    if (m.Msg >= WM_MOUSEMOVE && m.Msg <= WM_MBUTTONUP) {
        Application().HintMouseMessage(this, m);
        // A control built on a standard class lets the class see the mouse first.
        DefaultHandler(m);
    }
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (TCustomForm* form = GetParentForm(this)) form->SendCancelMode(this);
        if (ControlStyle & csCaptureMouse) SetCaptureControl(this);
        if (ControlStyle & csClickEvents) ControlState |= csClicked;
        ControlState |= csLButtonDown;
        if (m.Msg == WM_LBUTTONDBLCLK && (ControlStyle & csDoubleClicks)) {
            DblClick();
            MouseDown(mbLeft, s | ssDouble, x, y);
        } else {
            MouseDown(mbLeft, s, x, y);
        }
        return;
    case WM_LBUTTONUP: {
        const bool clicked = ControlState & csClicked;
        ControlState &= ~(csLButtonDown | csClicked);
        if (CaptureControl() == this || GetCapture()) SetCaptureControl(nullptr);
        MouseUp(mbLeft, s, x, y);
        if (clicked && ClientRect().Contains({x, y})) Click();
        return;
    }
    case WM_RBUTTONDOWN: MouseDown(mbRight, s, x, y); return;
    case WM_RBUTTONUP:
        MouseUp(mbRight, s, x, y);
        PopupAt(this, {x, y});
        return;
    case WM_MBUTTONDOWN: MouseDown(mbMiddle, s, x, y); return;
    case WM_MBUTTONUP: MouseUp(mbMiddle, s, x, y); return;
    case WM_MOUSEMOVE: MouseMove(s, x, y); return;
    case WM_CANCELMODE:
        ControlState &= ~(csLButtonDown | csClicked);
        if (CaptureControl()) SetCaptureControl(nullptr);
        DefaultHandler(m);
        return;
    case CM_MOUSEENTER:
        if (OnMouseEnter) OnMouseEnter(this);
        return;
    case CM_MOUSELEAVE:
        if (OnMouseLeave) OnMouseLeave(this);
        return;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED: Invalidate(); return;
    case CM_PARENTCOLORCHANGED:
        if (parent_color_ && parent_) {
            color_ = parent_->Color();
            Invalidate();
        }
        return;
    case CM_PARENTSHOWHINTCHANGED:
        if (parent_show_hint_ && parent_ && parent_->ShowHint() != show_hint_) {
            show_hint_ = parent_->ShowHint();
            Perform(CM_SHOWHINTCHANGED);
        }
        return;
    case CM_PARENTFONTCHANGED:
        if (parent_font_ && parent_) {
            auto saved = std::move(font_->OnChange);
            font_->Assign(parent_->Font());
            font_->OnChange = std::move(saved);
            Perform(CM_FONTCHANGED);
        }
        return;
    default: DefaultHandler(m);
    }
}

void TControl::SetPopupMenu(TPopupMenu* menu) { popup_menu_ = menu; }

void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}
void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}
void TControl::MouseMove(TShiftState s, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, s, x, y);
}
void TControl::Click() {
    if (OnClick) OnClick(this);
}
void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::InvalidateControl(bool was_visible, bool) {
    if (was_visible && parent_ && parent_->HandleAllocated()) {
        TRect r = BoundsRect();
        InvalidateRect(parent_->WindowHandle(), &r, true);
    }
}

void TControl::Invalidate() { InvalidateControl(visible_, ControlStyle & csOpaque); }

void TControl::Update() {
    if (parent_) parent_->Update();
}

void TControl::Repaint() {
    if (!visible_ || !parent_ || !parent_->HandleAllocated()) return;
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.push_back(this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        SetWindowPos(w->WindowHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::SendToBack() {
    if (!parent_) return;
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.insert(v.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        SetWindowPos(w->WindowHandle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

}  // namespace ui
