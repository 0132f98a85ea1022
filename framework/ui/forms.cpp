#include "framework/ui/forms.hpp"

#include <algorithm>

#include "framework/ui/detail/hint_state.hpp"
#include "framework/ui/detail/library_state.hpp"
#include "framework/ui/dropdown.hpp"
#include "framework/ui/help.hpp"
#include "framework/ui/menus.hpp"
#include "platform/error.hpp"
#include "platform/msgbox.hpp"
#include "platform/regional.hpp"

namespace ui {

// ---------------------------------------------------------------- forms

TCustomForm::TCustomForm(TComponent* owner)
    : TWinControl(owner), icon_(std::make_unique<TIcon>()), canvas_(std::make_unique<TControlCanvas>(this)) {
    visible_ = false;
    color_ = clBtnFace;
    brush_->SetColor(color_);
    width_ = 320, height_ = 240;
    ControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    Screen().AddForm(this);
    icon_->OnChange = [this](TObject*) { UpdateWindowIcon(); };
}

TCustomForm::~TCustomForm() { Screen().RemoveForm(this); }

void TCustomForm::BeforeDestruction() {
    Destroying();
    if (OnDestroy) OnDestroy(this);
    Screen().RemoveForm(this);
    if (Application().MainForm == this) Application().MainForm = nullptr;
    TWinControl::BeforeDestruction();
}

void TCustomForm::CreateParams(ui::CreateParams& p) {
    TWinControl::CreateParams(p);
    p.parent = 0;
    p.style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    p.ex_style = 0;
    const bool sysmenu = border_icons_ & biSystemMenu;
    switch (border_style_) {
    case bsNone: p.style |= WS_POPUP; break;
    case bsSingle: p.style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: p.style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
        p.style |= WS_POPUP | WS_CAPTION;
        p.ex_style |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    case bsToolWindow: p.style |= WS_CAPTION | WS_BORDER, p.ex_style |= WS_EX_TOOLWINDOW; break;
    case bsSizeToolWin: p.style |= WS_CAPTION | WS_THICKFRAME, p.ex_style |= WS_EX_TOOLWINDOW; break;
    }
    if (border_style_ != bsNone && sysmenu) {
        p.style |= WS_SYSMENU;
        const bool framed = border_style_ == bsSingle || border_style_ == bsSizeable;
        if (framed && (border_icons_ & biMinimize)) p.style |= WS_MINIMIZEBOX;
        if (framed && (border_icons_ & biMaximize)) p.style |= WS_MAXIMIZEBOX;
        const bool boxes = framed && (border_icons_ & (biMinimize | biMaximize));
        const bool tool = border_style_ == bsToolWindow || border_style_ == bsSizeToolWin;
        if ((border_icons_ & biHelp) && !boxes && !tool) p.ex_style |= WS_EX_CONTEXTHELP;
    }
    if (form_style_ == fsStayOnTop) p.ex_style |= WS_EX_TOPMOST;
    if (auto* f = dynamic_cast<TCustomForm*>(Owner()); f && f->HandleAllocated()) p.owner = f->WindowHandle();
}

void TCustomForm::CreateHandleDone() {
    UpdateWindowIcon();
    if (menu_) {
        menu_->SetWindowHandle(handle_);
        ui::SetMenu(handle_, menu_->Handle());
    }
    // Children made before the window follow it now.
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) w->Handle();
}

void TCustomForm::UpdateWindowIcon() {
    if (!HandleAllocated()) return;
    TIcon* icon = icon_->Empty() ? Application().Icon() : icon_.get();
    SetWindowIcon(handle_, icon->Image(), icon->Mask());
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
    if (v == border_style_) return;
    border_style_ = v;
    UpdateStyles();
}

void TCustomForm::SetBorderIcons(unsigned v) {
    if (v == border_icons_) return;
    border_icons_ = v;
    UpdateStyles();
}

void TCustomForm::SetFormStyle(TFormStyle v) {
    if (v == form_style_) return;
    form_style_ = v;
    if (HandleAllocated())
        SetWindowPos(handle_, v == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetActiveControl(TWinControl* c) {
    active_control_ = c;
    if (c && Active() && c->CanFocus()) c->SetFocus();
}

void TCustomForm::FocusChanged(TWinControl* control) {
    active_control_ = control;
    TMessage m{CM_FOCUSCHANGED, 0, LPARAM(control), 0};
    Broadcast(m);
}

TCustomForm* GetParentForm(TControl* control) {
    while (control && control->Parent()) control = control->Parent();
    return dynamic_cast<TCustomForm*>(control);
}

bool TCustomForm::Active() const { return handle_ && GetActiveWindow() == handle_; }

bool TCustomForm::Showing() const { return HandleAllocated() && IsWindowVisible(handle_); }

void TCustomForm::Center(TCustomForm* over) {
    TRect area = over ? over->BoundsRect() : TRect{0, 0, Screen().Width(), Screen().Height()};
    SetBounds(area.left + (area.Width() - width_) / 2, area.top + (area.Height() - height_) / 2, width_, height_);
}

void TCustomForm::SendCancelMode(TControl* sender) {
    TWinControl* target = TWinControl::FromHandle(GetFocus());
    if (!target || GetParentForm(target) != this) target = active_control_;
    if (target) target->Perform(CM_CANCELMODE, 0, LPARAM(sender));
}

void TCustomForm::Show() {
    SetVisible(true);
    BringToFront();
}

void TCustomForm::Close() {
    if (in_modal_) {
        modal_result_ = mrCancel;
        return;
    }
    bool can_close = true;
    if (OnCloseQuery) OnCloseQuery(this, can_close);
    if (!can_close) return;
    TCloseAction action = caHide;
    if (OnClose) OnClose(this, action);
    if (action == caHide)
        Hide();
    else if (action == caFree)
        Release();
    if (Application().MainForm == this && action != caNone) Application().Terminate();
}

bool TCustomForm::PreviewKeyDown(UINT& key, TShiftState shift) {
    if (!KeyPreview || key == 0) return false;
    KeyDown(key, shift);
    return key == 0;
}

int TCustomForm::ShowModal() {
    if (Visible() || in_modal_) throw EInvalidOperation("Cannot make a visible window modal");
    // Every other shown form is disabled while this one runs.
    std::vector<HWND> disabled;
    for (HWND h : GetTopLevelWindows())
        if (IsWindowVisible(h) && IsWindowEnabled(h)) {
            EnableWindow(h, false);
            disabled.push_back(h);
        }
    in_modal_ = true;
    modal_result_ = mrNone;
    Show();
    while (modal_result_ == mrNone) {
        if (!Application().HandleMessage()) {
            modal_result_ = mrAbort;
            break;
        }
        if (Application().Terminated()) modal_result_ = mrCancel;
        if (modal_result_ != mrNone) {
            bool can_close = true;
            if (OnCloseQuery) OnCloseQuery(this, can_close);
            TCloseAction action = caHide;
            if (can_close && OnClose) OnClose(this, action);
            if (!can_close || action == caNone) modal_result_ = mrNone;
        }
    }
    in_modal_ = false;
    for (HWND h : disabled) EnableWindow(h, true);
    Hide();
    return modal_result_;
}

void TCustomForm::Release() {
    if (HandleAllocated()) PostMessage(handle_, CM_RELEASE);
}

void TCustomForm::PaintWindow(DC* dc) {
    if (!OnPaint) return;
    TControlCanvas::Painting scope(*canvas_, dc, font_.get(), color_);
    OnPaint(this);
}

void TCustomForm::SetMenu(TMainMenu* menu) {
    if (menu == menu_) return;
    if (menu_) {
        menu_->RemoveFreeNotification(this);
        menu_->SetWindowHandle(0);
    }
    menu_ = menu;
    if (menu_) menu_->FreeNotification(this);
    if (!HandleAllocated()) return;
    if (menu_) menu_->SetWindowHandle(handle_);
    ui::SetMenu(handle_, menu_ ? menu_->Handle() : 0);
}

void TCustomForm::Notification(TComponent* component, TOperation op) {
    TWinControl::Notification(component, op);
    if (op == TOperation::opRemove && component == menu_) {
        menu_ = nullptr;
        if (HandleAllocated()) ui::SetMenu(handle_, 0);
    }
}

void TCustomForm::WndProc(TMessage& m) {
    if (FormMenuMessage(this, m)) return;
    switch (m.Msg) {
    case CM_VISIBLECHANGED:
        if (m.WParam) {
            const bool fresh = !HandleAllocated();
            Handle();
            if (fresh || !IsWindowVisible(handle_)) {
                if (Position == poScreenCenter || Position == poDesktopCenter)
                    Center(nullptr);
                else if (Position == poOwnerFormCenter || Position == poMainFormCenter)
                    Center(dynamic_cast<TCustomForm*>(Owner()));
            }
            ShowWindow(handle_, form_style_ == fsStayOnTop || border_style_ == bsNone ? SW_SHOW : SW_SHOWNORMAL);
            if (OnShow) OnShow(this);
        } else if (HandleAllocated()) {
            if (OnHide) OnHide(this);
            ShowWindow(handle_, SW_HIDE);
        }
        return;
    case WM_ACTIVATE:
        if ((m.WParam & 0xFFFF) != WA_INACTIVE) {
            Screen().SetActiveForm(this);
            if (OnActivate) OnActivate(this);
            if (active_control_ && active_control_->CanFocus()) {
                ui::SetFocus(active_control_->Handle());
                return;
            }
        } else {
            if (Screen().ActiveForm() == this) Screen().SetActiveForm(nullptr);
            if (OnDeactivate) OnDeactivate(this);
        }
        break;
    case WM_CLOSE: Close(); return;
    case CM_DIALOGKEY:
        if (KeyPreview) {
            UINT key = UINT(m.WParam);
            if (PreviewKeyDown(key, KeyboardShiftState())) {
                m.Result = 1;
                return;
            }
        }
        if (m.WParam == VK_TAB && !(KeyboardShiftState() & (ssCtrl | ssAlt))) {
            SelectNext(active_control_, !(KeyboardShiftState() & ssShift), true);
            m.Result = 1;
            return;
        }
        Broadcast(m);
        return;
    case CM_DIALOGCHAR: Broadcast(m); return;
    case WM_HELP:
        if (m.LParam) Help(*reinterpret_cast<const HELPINFO*>(m.LParam));
        m.Result = 1;
        return;
    case CM_RELEASE: Free(this); return;
    case WM_SETFOCUS:
        if (active_control_ && active_control_->CanFocus() && active_control_ != this) {
            ui::SetFocus(active_control_->Handle());
            return;
        }
        break;
    default: break;
    }
    TWinControl::WndProc(m);
}

void TCustomForm::Help(const HELPINFO& info) {
    if (info.iContextType != HELPINFO_WINDOW) return;
    // The nearest control of the class library holding the window.
    TControl* control = nullptr;
    for (HWND h = info.hItemHandle; h && !control; h = GetParent(h)) control = TWinControl::FromHandle(h);
    const int context = control ? control->InheritedHelpContext() : 0;
    if (context == 0) return;
    if (border_icons_ & biHelp) {
        // A form with the help button shows its topics as popups beside the control.
        const TPoint at = control->ClientToScreen({0, 0});
        Application().HelpCommand(HELP_SETPOPUP_POS, MAKELPARAM(at.x, at.y));
        Application().HelpCommand(HELP_CONTEXTPOPUP, context);
    } else {
        Application().HelpContext(context);
    }
}

// ---------------------------------------------------------------- screen

TScreen& Screen() { return *detail::Library().screen; }

HCURSOR TScreen::Cursors(int index) {
    auto it = cursors_.find(index);
    if (it != cursors_.end() && it->second) return it->second;
    static const std::map<int, int> standard = {{crArrow, IDC_ARROW},    {crCross, IDC_CROSS}, {crIBeam, IDC_IBEAM},
                                                {crHourGlass, IDC_WAIT}, {crNo, IDC_NO},       {crHandPoint, IDC_HAND}};
    auto s = standard.find(index);
    return LoadStandardCursor(s == standard.end() ? IDC_ARROW : s->second);
}

void TScreen::SetCursor(int v) {
    cursor_ = v;
    ui::SetCursor(Cursors(v == crDefault ? crArrow : v));
}

void TScreen::SetCursors(int index, HCURSOR cursor) {
    if (cursor)
        cursors_[index] = cursor;
    else
        cursors_.erase(index);
}

int TScreen::Width() const {
    if (Display* d = CurrentDisplay()) return d->ScreenSize().cx;
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const {
    if (Display* d = CurrentDisplay()) return d->ScreenSize().cy;
    return GetSystemMetrics(SM_CYSCREEN);
}

void TScreen::AddForm(TCustomForm* f) {
    if (std::find(forms_.begin(), forms_.end(), f) == forms_.end()) forms_.push_back(f);
}

void TScreen::RemoveForm(TCustomForm* f) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), f), forms_.end());
    if (active_form_ == f) active_form_ = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* f) { active_form_ = f; }

void TScreen::Reset() {
    cursor_ = crDefault;
    active_form_ = nullptr;
}

// ---------------------------------------------------------------- application

TApplication::TApplication() : hints_(std::make_unique<detail::HintState>()) {
    platform::InstallEventPump([this](platform::EventFilter filter) { ProcessMessages(filter); });
    regional_listener_ = platform::AddRegionalListener([this] { SettingsChanged(); });
}

TApplication::~TApplication() {
    platform::RemoveRegionalListener(regional_listener_);
    platform::InstallEventPump(nullptr);
    hints_.reset();
}

TApplication& Application() { return *detail::Library().application; }

TIcon* TApplication::Icon() {
    if (!icon_) {
        icon_ = std::make_unique<TIcon>();
        icon_->LoadFromResourceName("MAINICON");
    }
    return icon_.get();
}

bool TApplication::HelpContext(int context) { return InvokeHelp(HELP_CONTEXT, context); }

bool TApplication::HelpCommand(unsigned command, intptr_t data) { return InvokeHelp(uint16_t(command), data); }

bool TApplication::ProcessMessage(MSG& msg, UINT flags) {
    if (!PeekMessage(msg, 0, 0, 0, PM_REMOVE | flags)) return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    CheckHintMessage(msg);
    if (TDropDownWindow::FilterPress(msg)) return true;
    bool handled = false;
    if (OnMessage) OnMessage(msg, handled);
    if (handled) return true;
    if (IsKeyMsg(msg)) return true;
    try {
        DispatchMessage(msg);
    } catch (const std::exception& e) {  // the program's errors and the standard library's
        HandleException(e);
    }
    return true;
}

namespace {

// A key for a window inside a control that is no control itself (a button a
// routine added to a dialog, a combo box's edit): the dialog keys and
// characters the window does not want for itself are its form's.
bool ForeignDialogKey(const MSG& msg) {
    TWinControl* host = nullptr;
    for (HWND h = GetParent(msg.hwnd); h && !host; h = GetParent(h)) host = TWinControl::FromHandle(h);
    TCustomForm* form = host ? GetParentForm(host) : nullptr;
    if (!form) return false;
    const LRESULT wants = SendMessage(msg.hwnd, WM_GETDLGCODE);
    if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
        if (msg.message == WM_CHAR && (wants & DLGC_WANTCHARS)) return false;
        return form->Perform(CM_DIALOGCHAR, msg.wParam, msg.lParam) != 0;
    }
    const LRESULT mask = DialogKeyMask(msg.wParam);
    if (!mask) return false;
    return !(wants & mask) && form->Perform(CM_DIALOGKEY, msg.wParam, msg.lParam) != 0;
}

}  // namespace

bool TApplication::IsKeyMsg(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN && msg.message != WM_CHAR &&
        msg.message != WM_SYSCHAR)
        return false;
    if (SystemDragActive()) return false;
    if (!TWinControl::FromHandle(msg.hwnd)) return ForeignDialogKey(msg);
    return SendMessage(msg.hwnd, CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

void TApplication::ProcessMessages(platform::EventFilter filter) {
    UINT flags = 0;
    if (filter == platform::EventFilter::PaintAndTimer) flags = PM_QS_PAINT | PM_QS_TIMER;
    if (filter == platform::EventFilter::Paint) flags = PM_QS_PAINT;
    if (Display* d = CurrentDisplay()) d->Wait(0);
    MSG msg;
    // Bounded: a timer that is always due cannot keep the caller here.
    for (int i = 0; i < 10000 && ProcessMessage(msg, flags); ++i) {}
}

bool TApplication::HandleMessage() {
    MSG msg;
    if (Display* d = CurrentDisplay()) d->Wait(0);
    if (ProcessMessage(msg, 0)) return true;
    bool done = true;
    if (OnIdle) OnIdle(done);
    if (!done) return true;
    if (WaitMessage()) return true;
    // Nothing arrived: one last look before giving up.
    return ProcessMessage(msg, 0);
}

void TApplication::Run() {
    while (!terminated_)
        if (!HandleMessage()) break;
}

void TApplication::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::HandleException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) return;
    platform::ShowMessageBox(e.what(), Title, platform::kMbOk | platform::kMbIconStop);
}

bool ApplicationWindowActive() {
    const HWND active = GetActiveWindow();
    if (!active) return false;
    const auto tops = GetTopLevelWindows();
    return std::find(tops.begin(), tops.end(), active) != tops.end();
}

}  // namespace ui
