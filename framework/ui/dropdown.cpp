#include "framework/ui/dropdown.hpp"

#include <algorithm>

#include "framework/ui/detail/library_state.hpp"

namespace ui {

namespace {

std::vector<TDropDownWindow*>& Open() { return detail::Library().drop_downs; }

bool IsPress(UINT m) {
    switch (m) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN: return true;
    default: return false;
    }
}

bool Within(HWND h, HWND ancestor) {
    for (; h; h = GetParent(h))
        if (h == ancestor) return true;
    return false;
}

}  // namespace

TDropDownWindow::TDropDownWindow(TComponent* owner, TWinControl* editor) : TCustomControl(owner), editor_(editor) {
    visible_ = false;
    color_ = clWindow;
    brush_->SetColor(color_);
    if (editor_) editor_->FreeNotification(this);
}

TDropDownWindow::~TDropDownWindow() = default;

void TDropDownWindow::BeforeDestruction() {
    Watch(false);
    dropped_ = false;
    TCustomControl::BeforeDestruction();
}

void TDropDownWindow::CreateParams(ui::CreateParams& p) {
    TCustomControl::CreateParams(p);
    p.style = WS_POPUP | WS_CLIPCHILDREN | WS_BORDER;
    p.ex_style = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    p.class_style |= CS_SAVEBITS;
    p.parent = 0;
    p.owner = editor_ && editor_->HandleAllocated() ? GetAncestorRoot(editor_->WindowHandle()) : 0;
}

void TDropDownWindow::DropDownAt(TPoint origin) {
    const HWND h = Handle();
    left_ = origin.x, top_ = origin.y;
    visible_ = true;
    SetWindowPos(h, HWND_TOP, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (!dropped_) {
        dropped_ = true;
        Watch(true);
    }
}

void TDropDownWindow::CloseUp(bool accept) {
    if (!dropped_) return;
    dropped_ = false;
    Watch(false);
    if (HandleAllocated()) {
        if (Within(GetCapture(), handle_)) ReleaseCapture();
        SetWindowPos(handle_, 0, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    }
    visible_ = false;
    if (OnCloseUp) OnCloseUp(this, accept);
}

// The editor's window procedure is wrapped while the drop-down is open, as
// a component hooks a control it does not own.
void TDropDownWindow::Watch(bool on) {
    auto& list = Open();
    if (on) {
        if (std::find(list.begin(), list.end(), this) == list.end()) list.push_back(this);
        if (editor_ && !editor_proc_) {
            editor_proc_ = editor_->WindowProc;
            editor_->WindowProc = [this](TMessage& m) { EditorMessage(m); };
        }
        return;
    }
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (editor_ && editor_proc_) editor_->WindowProc = std::move(editor_proc_);
    editor_proc_ = nullptr;
}

bool TDropDownWindow::Inside(HWND h) const { return h && handle_ && Within(h, handle_); }

void TDropDownWindow::EditorMessage(TMessage& m) {
    const std::function<void(TMessage&)> own = editor_proc_;  // closing restores it
    switch (m.Msg) {
    case WM_KILLFOCUS:
        if (!Inside(HWND(m.WParam))) CloseUp(false);
        break;
    case CM_CANCELMODE: {
        auto* sender = reinterpret_cast<TControl*>(m.LParam);
        auto* windowed = dynamic_cast<TWinControl*>(sender);
        const bool ours = sender == editor_ || sender == this || sender == DropButton ||
            (windowed && windowed->HandleAllocated() && Inside(windowed->WindowHandle()));
        if (!ours) CloseUp(false);
        break;
    }
    case WM_CANCELMODE: CloseUp(false); break;
    default: break;
    }
    if (own) own(m);
}

void TDropDownWindow::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_MOUSEACTIVATE: m.Result = MA_NOACTIVATE; return;
    case WM_CANCELMODE:
        TCustomControl::WndProc(m);
        CloseUp(false);
        return;
    default: TCustomControl::WndProc(m);
    }
}

void TDropDownWindow::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
    TCustomControl::MouseUp(b, s, x, y);
    if (b == mbLeft && dropped_) CloseUp(ClientRect().Contains({x, y}));
}

void TDropDownWindow::Notification(TComponent* component, TOperation op) {
    TCustomControl::Notification(component, op);
    if (op == TOperation::opRemove && component == editor_) {
        editor_proc_ = nullptr;  // went with the editor
        editor_ = nullptr;
        CloseUp(false);
    }
}

bool TDropDownWindow::IsDropButton(const MSG& msg) const {
    TControl* button = DropButton;
    if (!button) return false;
    if (auto* w = dynamic_cast<TWinControl*>(button))
        return w->HandleAllocated() && Within(msg.hwnd, w->WindowHandle());
    TWinControl* parent = button->Parent();
    if (!parent || !parent->HandleAllocated() || msg.hwnd != parent->WindowHandle()) return false;
    if (msg.message < WM_MOUSEMOVE) return false;  // the parent's frame
    return button->Visible() && button->BoundsRect().Contains({LOWORD_S(msg.lParam), HIWORD_S(msg.lParam)});
}

bool TDropDownWindow::FilterPress(const MSG& msg) {
    if (!IsPress(msg.message) || Open().empty()) return false;
    bool eaten = false;
    for (TDropDownWindow* d : std::vector<TDropDownWindow*>(Open())) {
        if (std::find(Open().begin(), Open().end(), d) == Open().end()) continue;
        if (d->Inside(msg.hwnd)) continue;
        if (d->IsDropButton(msg) && msg.message != WM_RBUTTONDOWN && msg.message != WM_RBUTTONDBLCLK) {
            d->CloseUp(true);
            eaten = true;
        } else {
            d->CloseUp(false);
        }
    }
    return eaten;
}

}  // namespace ui
