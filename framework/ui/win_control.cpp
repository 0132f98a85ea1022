// TWinControl: the window handle made on demand, child controls and their
// alignment, painting of graphic children, keys, focus and mouse routing.
#include <algorithm>

#include "framework/ui/controls.hpp"
#include "framework/ui/detail/library_state.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/list_box.hpp"
#include "framework/ui/menus.hpp"

namespace ui {

namespace {

constexpr int kControlLong = -1000;  // window long holding the control of a handle

}  // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner), brush_(std::make_unique<TBrush>()) {
    brush_->SetColor(color_);
}

TWinControl::~TWinControl() {
    if (handle_) detail::Library().handles.erase(handle_);
}

void TWinControl::BeforeDestruction() {
    Destroying();
    // Children are let go, not freed: their owners free them.
    while (!controls_.empty()) controls_.back()->SetParent(nullptr);
    DestroyHandle();
    TControl::BeforeDestruction();
}

TWinControl* TWinControl::FromHandle(HWND h) {
    auto it = detail::Library().handles.find(h);
    return it == detail::Library().handles.end() ? nullptr : it->second;
}

void TWinControl::EnsureClass(const std::string& name, uint32_t style) {
    if (IsWindowClassRegistered(name)) return;
    WindowClass cls;
    cls.name = name;
    cls.style = style;
    cls.proc = [](HWND h, UINT msg, WPARAM w, LPARAM l, const NextProc&) -> LRESULT {
        TWinControl* c = FromHandle(h);
        if (!c && msg == WM_NCCREATE && l) {
            c = reinterpret_cast<TWinControl*>(l);
            c->handle_ = h;
            detail::Library().handles[h] = c;
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
    EnsureClass(p.class_name, p.class_style);
    if ((p.style & WS_CHILD) && !p.parent) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    ControlState |= csCreating;
    const HWND h = CreateWindow(p);
    ControlState &= ~csCreating;
    if (!h) throw EOutOfResources("Error creating window");
    handle_ = h;
    detail::Library().handles[h] = this;
    SetWindowLongPtr(h, kControlLong, intptr_t(this));
}

HWND TWinControl::Handle() {
    if (!HandleAllocated()) {
        if (handle_) detail::Library().handles.erase(handle_), handle_ = 0;
        CreateWnd();
        // Children that already had windows follow their new parent window.
        for (TControl* c : controls_)
            if (auto* w = dynamic_cast<TWinControl*>(c); w && w->handle_ && !w->HandleAllocated()) w->handle_ = 0;
        CreateHandleDone();
        // The client area is known now (frame, caption, bars): aligned children take it.
        AlignControls();
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
    detail::Library().handles.erase(h);
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
    if (c->parent_show_hint_) c->Perform(CM_PARENTSHOWHINTCHANGED);
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

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
    std::vector<TWinControl*> children;
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) children.push_back(w);
    std::stable_sort(children.begin(), children.end(),
                     [](const TWinControl* a, const TWinControl* b) { return a->TabOrder < b->TabOrder; });
    for (TWinControl* w : children) {
        list.push_back(w);
        w->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool check_tab_stop) {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    const auto at = std::find(list.begin(), list.end(), current);
    size_t i = at == list.end() ? (forward ? list.size() - 1 : 0) : size_t(at - list.begin());
    for (size_t n = 0; n < list.size(); ++n) {
        i = forward ? (i + 1) % list.size() : (i + list.size() - 1) % list.size();
        TWinControl* c = list[i];
        if (c != current && c->CanFocus() && (!check_tab_stop || c->TabStop)) return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool check_tab_stop) {
    if (TWinControl* next = FindNextControl(current, forward, check_tab_stop)) next->SetFocus();
}

void TWinControl::Broadcast(TMessage& m) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
        c->WindowProc(m);
        if (m.Result) return;
        if (auto* w = dynamic_cast<TWinControl*>(c)) {
            w->Broadcast(m);
            if (m.Result) return;
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

bool TWinControl::DoKeyDown(TMessage& m) {
    UINT key = UINT(m.WParam);
    KeyDown(key, KeyboardShiftState());
    if (key == 0) return true;
    m.WParam = key;
    return false;
}

bool TWinControl::DoKeyUp(TMessage& m) {
    UINT key = UINT(m.WParam);
    KeyUp(key, KeyboardShiftState());
    if (key == 0) return true;
    m.WParam = key;
    return false;
}

bool TWinControl::DoKeyPress(TMessage& m) {
    char c = char(m.WParam);
    KeyPress(c);
    if (c == 0) return true;
    m.WParam = uint8_t(c);
    return false;
}

void TWinControl::SendFont(bool redraw) const {
    if (!HandleAllocated()) return;
    const FontPtr font = font_->Handle();
    SendMessage(handle_, WM_SETFONT, WPARAM(&font), redraw);
}

LRESULT TWinControl::ControlColors(WPARAM dc) const {
    SetTextColor(*reinterpret_cast<DC*>(dc), ColorToRGB(font_->Color()));
    SetBkColor(*reinterpret_cast<DC*>(dc), ColorToRGB(color_));
    return ColorBrush(ColorToRGB(color_));
}

LRESULT DialogKeyMask(WPARAM key) {
    switch (key) {
    case VK_TAB: return DLGC_WANTTAB;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: return DLGC_WANTARROWS;
    case VK_RETURN:
    case VK_ESCAPE: return DLGC_WANTALLKEYS;
    default: return 0;
    }
}

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_PAINT:
        if (class_paints_)
            DefaultHandler(m);
        else
            PaintHandler(m);
        return;
    case WM_ERASEBKGND:
        if (class_paints_) {
            DefaultHandler(m);
            return;
        }
        if (m.WParam) FillRect(*reinterpret_cast<DC*>(m.WParam), ClientRect(), Brush::Solid(ColorToRGB(color_)));
        m.Result = 1;
        return;
    case WM_SIZE: {
        TRect w = HandleAllocated() ? ui::GetWindowRect(handle_) : BoundsRect();
        width_ = w.Width(), height_ = w.Height();
        DefaultHandler(m);
        AlignControls();
        return;
    }
    case WM_SETFOCUS:
        DefaultHandler(m);
        if (TCustomForm* form = GetParentForm(this); form && form != this) form->FocusChanged(this);
        if (OnEnter) OnEnter(this);
        return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
        // A menu's shortcut goes first.
        if (IsMenuKey(this, UINT(m.WParam), KeyboardShiftState())) {
            m.Result = 1;
            return;
        }
        // Keys the control does not want for itself are its form's dialog keys.
        const LRESULT mask = DialogKeyMask(m.WParam);
        m.Result = 0;
        if (mask && !(Perform(WM_GETDLGCODE) & mask))
            if (TCustomForm* form = GetParentForm(this)) m.Result = form->Perform(CM_DIALOGKEY, m.WParam, m.LParam);
        return;
    }
    case CN_CHAR:
    case CN_SYSCHAR:
        // Alt+letter, or a letter for a control that takes no characters, may be an accelerator.
        m.Result = 0;
        if (m.Msg == CN_SYSCHAR || !(Perform(WM_GETDLGCODE) & DLGC_WANTCHARS))
            if (TCustomForm* form = GetParentForm(this)) m.Result = form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam);
        return;
    case WM_KILLFOCUS:
        DefaultHandler(m);
        if (OnExit) OnExit(this);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        UINT key = UINT(m.WParam);
        // A form that previews keys sees them before the control.
        if (TCustomForm* form = GetParentForm(this);
            form && form != this && form->PreviewKeyDown(key, KeyboardShiftState()))
            return;
        m.WParam = key;  // as the preview left it
        if (DoKeyDown(m)) return;
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (DoKeyUp(m)) return;
        break;
    case WM_CHAR:
        if (DoKeyPress(m)) return;
        break;
    case WM_DRAWITEM:
    case WM_MEASUREITEM: {
        // Owner drawing goes back to the control the item belongs to; a menu's is the tracking window's own.
        HWND item = 0;
        if (m.Msg == WM_DRAWITEM) {
            const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
            if (dis && dis->CtlType != ODT_MENU) item = dis->hwndItem;
        } else if (const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(m.LParam);
                   mis && mis->CtlType != ODT_MENU && handle_) {
            item = GetDlgItem(handle_, int(mis->CtlID));
        }
        if (TWinControl* child = item ? FromHandle(item) : nullptr; child && child != this) {
            m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
            return;
        }
        break;
    }
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        // A child control's notification goes back to that control.
        if (TWinControl* child = m.LParam ? FromHandle(HWND(m.LParam)) : nullptr; child && child != this) {
            m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
            return;
        }
        break;
    case WM_NCDESTROY:
        DefaultHandler(m);
        detail::Library().handles.erase(handle_);
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
    case CM_SHOWHINTCHANGED:
        for (TControl* c : controls_) c->Perform(CM_PARENTSHOWHINTCHANGED);
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
    if (m.Msg == WM_MOUSELEAVE) {
        if (mouse_control_) std::exchange(mouse_control_, nullptr)->Perform(CM_MOUSELEAVE);
        if (std::exchange(mouse_inside_, false)) Perform(CM_MOUSELEAVE);
        DefaultHandler(m);
        return;
    }
    if (m.Msg == WM_SETCURSOR && LOWORD_S(m.LParam) == HTCLIENT && HWND(m.WParam) == handle_) {
        // The screen's cursor, else that of the control under the pointer.
        int cursor = Screen().Cursor();
        if (cursor == crDefault) {
            const TPoint p = ui::ScreenToClient(handle_, GetCursorPos());
            const TControl* under = ControlAtPos(p, false);
            cursor = under && under->Cursor() != crDefault ? under->Cursor() : cursor_;
        }
        if (cursor != crDefault) {
            ui::SetCursor(Screen().Cursors(cursor));
            m.Result = 1;
            return;
        }
    }
    if (m.Msg == WM_MOUSEMOVE && !std::exchange(mouse_inside_, true)) Perform(CM_MOUSEENTER);
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

}  // namespace ui
