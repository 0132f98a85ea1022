#include "framework/ui/controls.hpp"

#include <algorithm>
#include <unordered_map>

namespace ui {

namespace {

constexpr int kControlLong = -1000;  // window long holding the control of a handle
TControl* g_capture_control = nullptr;

std::unordered_map<HWND, TWinControl*>& HandleMap() {
    static std::unordered_map<HWND, TWinControl*> map;
    return map;
}

}  // namespace

TControl* CaptureControl() { return g_capture_control; }

void SetCaptureControl(TControl* c) {
    ReleaseCapture();
    g_capture_control = nullptr;
    if (!c) return;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        SetCapture(w->Handle());
        return;
    }
    if (c->Parent()) {
        SetCapture(c->Parent()->Handle());
        g_capture_control = c;
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

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    font_->OnChange = [this](TObject*) {
        parent_font_ = false;
        Perform(CM_FONTCHANGED);
    };
}

TControl::~TControl() {
    if (g_capture_control == this) g_capture_control = nullptr;
}

void TControl::BeforeDestruction() {
    Destroying();
    if (g_capture_control == this) SetCaptureControl(nullptr);
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

void TControl::SetAlign(TAlign v) {
    if (v == align_) return;
    align_ = v;
    if (parent_) parent_->AlignControls();
}

LRESULT TControl::Perform(UINT msg, WPARAM w, LPARAM l) {
    TMessage m{msg, w, l, 0};
    WindowProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& m) {
    const int x = LOWORD_S(m.LParam), y = HIWORD_S(m.LParam);
    const TShiftState s = KeysToShiftState(m.WParam);
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
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
    case WM_RBUTTONUP: MouseUp(mbRight, s, x, y); return;
    case WM_MBUTTONDOWN: MouseDown(mbMiddle, s, x, y); return;
    case WM_MBUTTONUP: MouseUp(mbMiddle, s, x, y); return;
    case WM_MOUSEMOVE: MouseMove(s, x, y); return;
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

// ---------------------------------------------------------------- canvases

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetPaintDC(DC* dc) {
    FreeHandle();
    SetHandle(dc);
}

TControlCanvas::Painting::Painting(TControlCanvas& canvas, DC* dc, TFont* font, std::optional<TColor> color)
    : canvas_(canvas) {
    canvas_.Lock();
    canvas_.SetPaintDC(dc);
    canvas_.Font()->Assign(font);
    if (color) canvas_.Brush()->SetColor(*color);
}

TControlCanvas::Painting::~Painting() {
    canvas_.SetPaintDC(nullptr);
    canvas_.Unlock();
}

void TControlCanvas::FreeHandle() {
    if (own_) {
        SetHandle(nullptr);
        ReleaseDC(own_window_, std::move(own_));
        own_window_ = 0;
    }
}

void TControlCanvas::CreateHandle() {
    if (auto* w = dynamic_cast<TWinControl*>(control_)) {
        own_window_ = w->Handle();
        own_ = GetDC(own_window_);
    } else if (TWinControl* p = control_->Parent()) {
        own_window_ = p->Handle();
        own_ = GetDC(own_window_);
        OffsetViewportOrg(*own_, control_->Left(), control_->Top());
        own_->IntersectClipRect({0, 0, control_->Width(), control_->Height()});
    } else {
        throw EInvalidOperation("Control '" + control_->Name() + "' has no parent window");
    }
    SetHandle(own_.get());
}

// ---------------------------------------------------------------- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& m) {
    if (m.Msg == WM_PAINT && m.WParam) {
        TControlCanvas::Painting scope(*canvas_, reinterpret_cast<DC*>(m.WParam), font_.get());
        Paint();
        return;
    }
    TControl::WndProc(m);
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner), brush_(std::make_unique<TBrush>()) {
    brush_->SetColor(color_);
}

TWinControl::~TWinControl() {
    if (handle_) HandleMap().erase(handle_);
}

void TWinControl::BeforeDestruction() {
    Destroying();
    // Children are let go, not freed: their owners free them.
    while (!controls_.empty()) controls_.back()->SetParent(nullptr);
    DestroyHandle();
    TControl::BeforeDestruction();
}

TWinControl* TWinControl::FromHandle(HWND h) {
    auto it = HandleMap().find(h);
    return it == HandleMap().end() ? nullptr : it->second;
}

void TWinControl::EnsureClass(const std::string& name) {
    if (IsWindowClassRegistered(name)) return;
    WindowClass cls;
    cls.name = name;
    cls.style = CS_DBLCLKS;
    cls.proc = [](HWND h, UINT msg, WPARAM w, LPARAM l, const NextProc&) -> LRESULT {
        TWinControl* c = FromHandle(h);
        if (!c && msg == WM_NCCREATE && l) {
            c = reinterpret_cast<TWinControl*>(l);
            c->handle_ = h;
            HandleMap()[h] = c;
        }
        if (!c) return DefWindowProc(h, msg, w, l);
        TMessage m{msg, w, l, 0};
        c->WindowProc(m);
        return m.Result;
    };
    RegisterWindowClass(std::move(cls));
}

void TWinControl::CreateParams(ui::CreateParams& p) {
    p.class_name = ClassName();
    p.caption = text_;
    p.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (!enabled_) p.style |= WS_DISABLED;
    p.rect = BoundsRect();
    p.parent = parent_ ? parent_->Handle() : 0;
    p.param = intptr_t(this);
}

void TWinControl::CreateWnd() {
    ui::CreateParams p;
    CreateParams(p);
    EnsureClass(p.class_name);
    if ((p.style & WS_CHILD) && !p.parent) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    ControlState |= csCreating;
    const HWND h = CreateWindow(p);
    ControlState &= ~csCreating;
    if (!h) throw EOutOfResources("Error creating window");
    handle_ = h;
    HandleMap()[h] = this;
    SetWindowLongPtr(h, kControlLong, intptr_t(this));
}

HWND TWinControl::Handle() {
    if (!HandleAllocated()) {
        if (handle_) HandleMap().erase(handle_), handle_ = 0;
        CreateWnd();
        // Children that already had windows follow their new parent window.
        for (TControl* c : controls_)
            if (auto* w = dynamic_cast<TWinControl*>(c); w && w->handle_ && !w->HandleAllocated()) w->handle_ = 0;
        CreateHandleDone();
        UpdateShowing();
    }
    return handle_;
}

void TWinControl::UpdateShowing() {
    if (!HandleAllocated()) return;
    if (parent_) ShowWindow(handle_, visible_ ? SW_SHOWNA : SW_HIDE);
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->visible_) w->Handle();
}

void TWinControl::UpdateStyles() {
    if (!HandleAllocated()) return;
    ui::CreateParams p;
    CreateParams(p);
    SetWindowStyle(handle_, p.style, p.ex_style);
    AlignControls();
}

void TWinControl::DestroyWnd() {
    if (!HandleAllocated()) return;
    const HWND h = handle_;
    ControlState |= csDestroyingHandle;
    DestroyWindow(h);
    ControlState &= ~csDestroyingHandle;
    HandleMap().erase(h);
    handle_ = 0;
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!HandleAllocated()) return;
    DestroyHandle();
    Handle();
}

void TWinControl::InsertControl(TControl* c) {
    controls_.push_back(c);
    c->parent_ = this;
    if (c->parent_color_) c->Perform(CM_PARENTCOLORCHANGED);
    if (c->parent_font_) c->Perform(CM_PARENTFONTCHANGED);
    if (auto* w = dynamic_cast<TWinControl*>(c); w && HandleAllocated() && w->visible_) w->Handle();
    AlignControls();
    c->Invalidate();
}

void TWinControl::RemoveControl(TControl* c) {
    auto it = std::find(controls_.begin(), controls_.end(), c);
    if (it == controls_.end()) return;
    c->InvalidateControl(c->visible_, false);
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    if (mouse_control_ == c) mouse_control_ = nullptr;
    controls_.erase(std::find(controls_.begin(), controls_.end(), c));
    c->parent_ = nullptr;
    AlignControls();
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allow_disabled) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c)) continue;
        if (c->Visible() && (allow_disabled || c->Enabled()) && c->BoundsRect().Contains(p)) return c;
    }
    return nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(0, width), height = std::max(0, height);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left, top_ = top, width_ = width, height_ = height;
    if (HandleAllocated()) SetWindowPos(handle_, 0, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    AlignControls();
    if (parent_) parent_->AlignControls();
}

TRect TWinControl::ClientRect() {
    if (HandleAllocated()) return GetClientRect(handle_);
    return {0, 0, width_, height_};
}

TPoint TWinControl::ClientOrigin() {
    if (HandleAllocated()) return ui::ClientToScreen(handle_, {0, 0});
    return TControl::ClientOrigin();
}

bool TWinControl::Showing() const { return HandleAllocated() && IsWindowVisible(handle_); }

void TWinControl::SetText(const std::string& v) {
    if (v == text_) return;
    text_ = v;
    if (HandleAllocated()) ui::SetWindowText(handle_, v);
    Perform(CM_TEXTCHANGED);
}

std::string TWinControl::GetText() const { return text_; }

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    ui::SetFocus(Handle());
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::Invalidate() {
    if (HandleAllocated()) InvalidateRect(handle_, nullptr, !(ControlStyle & csOpaque));
}

void TWinControl::Update() {
    if (HandleAllocated()) UpdateWindow(handle_);
}

void TWinControl::AlignControls() {
    TRect r = ClientRect();
    auto place = [](TControl* c, const TRect& b) {
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->SetBounds(b.left, b.top, b.Width(), b.Height());
        else
            c->SetBounds(b.left, b.top, b.Width(), b.Height());
    };
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* c : controls_) {
            if (c->Align() != a || !c->Visible()) continue;
            switch (a) {
            case alTop:
                place(c, {r.left, r.top, r.right, r.top + c->Height()});
                r.top += c->Height();
                break;
            case alBottom:
                place(c, {r.left, r.bottom - c->Height(), r.right, r.bottom});
                r.bottom -= c->Height();
                break;
            case alLeft:
                place(c, {r.left, r.top, r.left + c->Width(), r.bottom});
                r.left += c->Width();
                break;
            case alRight:
                place(c, {r.right - c->Width(), r.top, r.right, r.bottom});
                r.right -= c->Width();
                break;
            case alClient: place(c, r); break;
            default: break;
            }
        }
    }
}

void TWinControl::PaintControls(DC* dc, TControl* first) {
    auto it = controls_.begin();
    if (first) it = std::find(controls_.begin(), controls_.end(), first);
    for (; it != controls_.end(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        const TRect b = c->BoundsRect();
        if (!Intersects(b, dc->ClipBox())) continue;
        const int saved = dc->Save();
        OffsetViewportOrg(*dc, b.left, b.top);
        dc->IntersectClipRect({0, 0, b.Width(), b.Height()});
        c->Perform(WM_PAINT, WPARAM(dc), 0);
        dc->Restore(saved);
    }
}

void TWinControl::PaintHandler(TMessage& m) {
    if (m.WParam) {
        PaintWindow(reinterpret_cast<DC*>(m.WParam));
        PaintControls(reinterpret_cast<DC*>(m.WParam), nullptr);
        return;
    }
    PAINTSTRUCT ps;
    auto dc = BeginPaint(handle_, ps);
    PaintWindow(dc.get());
    PaintControls(dc.get(), nullptr);
    EndPaint(handle_, std::move(dc));
}

void TWinControl::KeyDown(UINT& key, TShiftState s) {
    if (OnKeyDown) OnKeyDown(this, key, s);
}
void TWinControl::KeyUp(UINT& key, TShiftState s) {
    if (OnKeyUp) OnKeyUp(this, key, s);
}
void TWinControl::KeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_PAINT: PaintHandler(m); return;
    case WM_ERASEBKGND:
        if (m.WParam) FillRect(*reinterpret_cast<DC*>(m.WParam), ClientRect(), Brush::Solid(ColorToRGB(color_)));
        m.Result = 1;
        return;
    case WM_SIZE: {
        TRect w = HandleAllocated() ? ui::GetWindowRect(handle_) : BoundsRect();
        width_ = w.Width(), height_ = w.Height();
        AlignControls();
        return;
    }
    case WM_SETFOCUS:
        if (OnEnter) OnEnter(this);
        return;
    case WM_KILLFOCUS:
        if (OnExit) OnExit(this);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        UINT key = UINT(m.WParam);
        KeyDown(key, KeysToShiftState(0));
        if (key == 0) return;
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        UINT key = UINT(m.WParam);
        KeyUp(key, KeysToShiftState(0));
        if (key == 0) return;
        break;
    }
    case WM_CHAR: {
        char c = char(m.WParam);
        KeyPress(c);
        if (c == 0) return;
        break;
    }
    case WM_NCDESTROY:
        DefaultHandler(m);
        HandleMap().erase(handle_);
        return;
    case CM_COLORCHANGED:
        brush_->SetColor(color_);
        for (TControl* c : controls_) c->Perform(CM_PARENTCOLORCHANGED);
        Invalidate();
        return;
    case CM_FONTCHANGED:
        for (TControl* c : controls_) c->Perform(CM_PARENTFONTCHANGED);
        Invalidate();
        return;
    case CM_ENABLEDCHANGED:
        if (HandleAllocated()) EnableWindow(handle_, enabled_);
        Invalidate();
        return;
    case CM_VISIBLECHANGED:
        if (HandleAllocated() && parent_)
            ShowWindow(handle_, m.WParam ? SW_SHOWNA : SW_HIDE);
        else if (m.WParam && parent_ && parent_->HandleAllocated())
            Handle();
        return;
    default: break;
    }
    // Mouse messages over a graphic control go to that control.
    if (m.Msg >= WM_MOUSEMOVE && m.Msg <= WM_MBUTTONUP) {
        TPoint p{LOWORD_S(m.LParam), HIWORD_S(m.LParam)};
        TControl* target = CaptureControl();
        if (target && target->Parent() != this) target = nullptr;
        if (!target && !GetCapture()) target = ControlAtPos(p, false);
        if (m.Msg == WM_MOUSEMOVE && target != mouse_control_) {
            if (mouse_control_) mouse_control_->Perform(CM_MOUSELEAVE);
            mouse_control_ = target;
            if (target) target->Perform(CM_MOUSEENTER);
        }
        if (target) {
            TMessage fwd{m.Msg, m.WParam, MAKELPARAM(p.x - target->Left(), p.y - target->Top()), 0};
            target->WindowProc(fwd);
            m.Result = fwd.Result;
            return;
        }
    }
    TControl::WndProc(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = DefWindowProc(handle_, m.Msg, m.WParam, m.LParam);
}

// ---------------------------------------------------------------- TCustomControl and panels

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(DC* dc) {
    TControlCanvas::Painting scope(*canvas_, dc, font_.get(), color_);
    Paint();
}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    ControlStyle =
        csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks | csReplicatable;
    width_ = 185, height_ = 41;
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
    if (v != bevel_inner_) bevel_inner_ = v, Invalidate();
}
void TCustomPanel::SetBevelOuter(TBevelCut v) {
    if (v != bevel_outer_) bevel_outer_ = v, Invalidate();
}
void TCustomPanel::SetBevelWidth(int v) {
    if (v != bevel_width_) bevel_width_ = std::max(1, v), Invalidate();
}
void TCustomPanel::SetBorderWidth(int v) {
    if (v != border_width_) border_width_ = std::max(0, v), Invalidate();
}
void TCustomPanel::SetBorderStyle(TBorderStyle v) {
    if (v == border_style_) return;
    border_style_ = v;
    UpdateStyles();
}
void TCustomPanel::SetAlignment(TAlignment v) {
    if (v != alignment_) alignment_ = v, Invalidate();
}

void TCustomPanel::CreateParams(ui::CreateParams& p) {
    TCustomControl::CreateParams(p);
    if (border_style_ == bsSingle) {
        if (Ctl3D)
            p.ex_style |= WS_EX_CLIENTEDGE;
        else
            p.style |= WS_BORDER;
    }
}

void TCustomPanel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    DC& dc = *c->Handle();
    auto bevel = [&](TBevelCut cut) {
        const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), sh = GetSysColor(COLOR_BTNSHADOW);
        if (cut == bvLowered)
            Frame3D(dc, r, sh, hi, bevel_width_);
        else
            Frame3D(dc, r, hi, sh, bevel_width_);
    };
    if (bevel_outer_ != bvNone) bevel(bevel_outer_);
    Frame3D(dc, r, ColorToRGB(color_), ColorToRGB(color_), border_width_);
    if (bevel_inner_ != bvNone) bevel(bevel_inner_);
    c->Brush()->SetColor(color_);
    c->FillRect(r);
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(font_.get());
    static const unsigned align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    DrawText(*c->Handle(), text_, r, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | align[alignment_]);
}

// ---------------------------------------------------------------- utility windows and timers

HWND AllocateHWnd(std::function<void(TMessage&)> proc) {
    if (!IsWindowClassRegistered("TPUtilWindow")) RegisterWindowClass({"TPUtilWindow", nullptr, 0, std::nullopt});
    const HWND h = CreateWindow({"TPUtilWindow", "", WS_POPUP, 0, {}, 0, 0, 0});
    if (!h) throw EOutOfResources("Error creating window");
    auto shared = std::make_shared<std::function<void(TMessage&)>>(std::move(proc));
    SubclassWindow(h, [shared](HWND hwnd, UINT msg, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
        if (!*shared) return next(hwnd, msg, w, l);
        TMessage m{msg, w, l, 0};
        (*shared)(m);
        return m.Result;
    });
    return h;
}

void DeallocateHWnd(HWND h) { DestroyWindow(h); }

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    window_ = AllocateHWnd([this](TMessage& m) {
        if (m.Msg == WM_TIMER) {
            if (on_timer_) on_timer_(this);
            return;
        }
        m.Result = DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
    });
}

TTimer::~TTimer() {
    KillTimer(window_, 1);
    DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
    KillTimer(window_, 1);
    if (enabled_ && interval_ != 0 && on_timer_) SetTimer(window_, 1, interval_);
}

void TTimer::SetEnabled(bool v) {
    if (v != enabled_) enabled_ = v, UpdateTimer();
}
void TTimer::SetInterval(unsigned v) {
    if (v != interval_) interval_ = v, UpdateTimer();
}
void TTimer::SetOnTimer(TNotifyEvent e) {
    on_timer_ = std::move(e);
    UpdateTimer();
}

}  // namespace ui
