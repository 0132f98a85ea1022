// The main-menu variant: the form's menu bar items drawn like buttons, the
// banner of the first drop-down, and the form's messages in bar mode, where
// a panel of flat buttons takes the bar's place in the client area.
#include <algorithm>

#include "controls/menus97.hpp"
#include "framework/ui/forms.hpp"

namespace controls {

using namespace ui;

namespace {

constexpr UINT kFirstCommand = 1, kLastCommand = 59999;

void Release(TMenuSpeedButton* b) {
    if (b && b->Pressed()) b->Perform(WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
}

// Moves the bar's activity from the active button to `next` and presses it
// (once the menu loop has ended) through a press posted to the panel.
void PressNext(TCustomMenuBar97* bar, TMenuSpeedButton* next, TPoint at) {
    Menus97UnitState& unit = Menus97Unit();
    Release(unit.active_button);
    unit.active_button = next;
    if (bar->HandleAllocated()) PostMessage(bar->WindowHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
}

TPoint ScreenPointOf(const MSG& m) {
    const TPoint p{LOWORD_S(m.lParam), HIWORD_S(m.lParam)};
    if (m.message >= WM_NCMOUSEMOVE && m.message <= 0x00A9) return p;
    return m.hwnd ? ui::ClientToScreen(m.hwnd, p) : m.pt;
}

// The menu loop's messages while a menu bar panel is active.
bool BarFilter(int code, MSG& m) {
    Menus97UnitState& unit = Menus97Unit();
    TCustomMenuBar97* bar = unit.active_bar;
    if (code != MSGF_MENU || !bar) return false;
    const std::vector<TMenuSpeedButton*> buttons = bar->Buttons();
    std::vector<TMenuSpeedButton*> shown;
    for (TMenuSpeedButton* b : buttons)
        if (b->Visible()) shown.push_back(b);
    const int n = int(shown.size());
    const auto active = std::find(shown.begin(), shown.end(), unit.active_button);
    const int index = active == shown.end() ? -1 : int(active - shown.begin());
    switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (m.wParam == VK_ESCAPE || m.wParam == VK_MENU) {
            MenuBarAccess::SetDropped(bar, false);
            return false;
        }
        if ((m.wParam == VK_LEFT || m.wParam == VK_RIGHT) && n > 0) {
            const int next = (index + (m.wParam == VK_LEFT ? n - 1 : 1)) % n;
            TMenuSpeedButton* b = shown[size_t(std::max(next, 0))];
            MenuBarAccess::SetCurrent(bar, std::max(next, 0));
            PressNext(bar, b, {b->Left() + 1, b->Top() + 1});
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
        const TPoint p = bar->ScreenToClient(ScreenPointOf(m));
        for (int i = 0; i < n; ++i)
            if (shown[size_t(i)] != unit.active_button && shown[size_t(i)]->BoundsRect().Contains(p)) {
                MenuBarAccess::SetCurrent(bar, i);
                PressNext(bar, shown[size_t(i)], p);
                break;
            }
        return false;
    }
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
        const TPoint p = bar->ScreenToClient(ScreenPointOf(m));
        if (!unit.active_button || !unit.active_button->BoundsRect().Contains(p)) return false;
        // A click on the open button closes its menu.
        InjectKey(VK_ESCAPE, true);
        InjectKey(VK_ESCAPE, false);
        Release(unit.active_button);
        MenuBarAccess::SetDropped(bar, false);
        return true;
    }
    default: return false;
    }
}

}  // namespace

TCustomMainMenus97::TCustomMainMenus97(TComponent* owner) : TCustomMenus97(owner) {}

TCustomMainMenus97::~TCustomMainMenus97() { TCustomMainMenus97::BeforeDestruction(); }

void TCustomMainMenus97::BeforeDestruction() {
    Menus97UnitState& unit = Menus97Unit();
    if (panel_) {
        if (unit.active_bar == panel_) {
            if (unit.filter) UnhookMessageFilter(std::exchange(unit.filter, 0));
            unit.active_bar = nullptr;
            unit.active_button = nullptr;
        }
        for (TMenuSpeedButton* b : panel_->Buttons()) Free(b);
        panel_ = nullptr;
    }
    TCustomMenus97::BeforeDestruction();
}

HWND TCustomMainMenus97::FormHandle() const {
    auto* form = dynamic_cast<TCustomForm*>(Owner());
    return form && form->HandleAllocated() ? form->WindowHandle() : 0;
}

void TCustomMainMenus97::RedrawBar() {
    if (!BarMode())
        if (const HWND h = FormHandle()) DrawMenuBar(h);
}

void TCustomMainMenus97::FontChanged() {
    TCustomMenus97::FontChanged();
    RedrawBar();
}

void TCustomMainMenus97::SetMenu(TMenu* menu) {
    TCustomMenus97::SetMenu(menu);
    if (BarMode()) UpdateMenuBar();
    RedrawBar();
}

void TCustomMainMenus97::SetMenuBar(TCustomMenuBar97* panel) {
    if (panel == panel_) return;
    if (panel_)
        for (TMenuSpeedButton* b : panel_->Buttons()) Free(b);
    panel_ = panel;
    if (panel_ && panel_->Align() == alNone) panel_->SetAlign(alTop);
    if (const HWND h = FormHandle())
        SetWindowPos(h, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UpdateMenuBar();
    RedrawBar();
}

int TCustomMainMenus97::GetItemHeight() {
    if (ItemHeight) return ItemHeight;
    if (!menu_ || menu_->Items()->Count() == 0) return check_height_;
    auto surface = Surface::Create(1, 1, PixelFormat::Color32);
    DC dc(surface);
    canvas_->Lend(&dc);
    canvas_->Font()->Assign(font_.get());
    const int height = ComputeItemHeight(menu_->Items()->Items(0));
    canvas_->Lend(nullptr);
    return height;
}

void TCustomMainMenus97::UpdateMenuBar() {
    if (!panel_ || !menu_) return;
    std::vector<TMenuItem*> top;
    for (int i = 0; i < menu_->Items()->Count(); ++i)
        if (menu_->Items()->Items(i)->Visible()) top.push_back(menu_->Items()->Items(i));
    std::vector<TMenuSpeedButton*> buttons = panel_->Buttons();
    for (size_t i = top.size(); i < buttons.size(); ++i) buttons[i]->Hide();
    const int height = GetItemHeight();
    panel_->SetHeight(height + 1);
    int x = 0;
    for (size_t i = 0; i < top.size(); ++i) {
        TMenuSpeedButton* b = i < buttons.size() ? buttons[i] : new TMenuSpeedButton(panel_);
        if (i >= buttons.size()) {
            b->SetFlat(true);
            b->SetParent(panel_);
        }
        b->CommandWindow = FormHandle();
        const std::string& caption = top[i]->Caption();
        // Six pixels a character, but never narrower than the caption needs.
        b->Canvas()->Font()->Assign(b->Font());
        const int needed = b->Canvas()->TextWidth(caption) + 12;
        b->SetBounds(x, 0, std::max(6 * int(caption.size()), needed), height);
        x += b->Width();
        b->SetCaption(caption);
        b->Hint = top[i]->Hint();
        b->SetDropDownHandle(top[i]->Count() > 0 ? top[i]->Handle() : 0);
        b->Show();
    }
}

void TCustomMainMenus97::ReconvertForeignItems() {
    const HWND form = FormHandle();
    const HMENU bar = form ? GetMenu(form) : 0;
    if (!bar || !menu_) return;
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        MENUITEMINFO info;
        info.fMask = MIIM_ID | MIIM_TYPE;
        if (!GetMenuItemInfo(bar, UINT(i), true, info) || info.wID < kFirstCommand || info.wID > kLastCommand) continue;
        TMenuItem* item = menu_->FindItem(info.wID, fkCommand);
        if (item && item->Parent() == menu_->Items()) continue;
        if (info.fType & MFT_SEPARATOR) continue;
        ModifyMenu(bar, UINT(i), MF_BYPOSITION | MF_OWNERDRAW, info.wID, "", uintptr_t(this));
    }
}

bool TCustomMainMenus97::IsBannerItem(TMenuItem* item) const {
    if (!menu_ || !item || menu_->Items()->Count() == 0) return false;
    TMenuItem* first = menu_->Items()->Items(0);
    return item->Parent() == first && first->GroupIndex() == 0;
}

void TCustomMainMenus97::CalcBannerRect(TMenuItem*) {
    if (menu_ && menu_->Items()->Count() > 0) BannerRectFromMenu(menu_->Items()->Items(0)->Handle());
}

void TCustomMainMenus97::DrawTopLevelItem(TMenuItem* item, TRect rect, unsigned state) {
    TCanvas* c = canvas_.get();
    c->Brush()->Assign(brush_.get());
    c->FillRect(rect);
    if (state & ODS_SELECTED) {
        TRect r = rect;
        Frame3D(*c->Handle(), r, ColorToRGB(popup_open_ ? clBtnShadow : clBtnHighlight),
                ColorToRGB(popup_open_ ? clBtnHighlight : clBtnShadow), 1);
    }
    TRect text = rect;
    if (item->Tag >= kTopLevelImageTag && images_) {
        images_->Draw(c, rect.left + 3, rect.top + 1, int(item->Tag - kTopLevelImageTag));
        text.left += 3 + images_->Width() + 2;
    } else {
        text.left += 5;
    }
    c->Font()->Assign(font_.get());
    c->Brush()->SetStyle(bsClear);
    DC& dc = *c->Handle();
    SetBkMode(dc, TRANSPARENT);
    DrawText(dc, item->Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS);
}

bool TCustomMainMenus97::FormWndProc(TMessage& m) {
    Menus97UnitState& unit = Menus97Unit();
    const HWND form = FormHandle();
    switch (m.Msg) {
    case WM_INITMENUPOPUP:
        m.Result = 1;
        if (!BarMode() && !popup_open_ && HIWORD(uintptr_t(m.LParam)) == 0) {
            popup_open_ = true;
            RedrawBar();
        }
        break;
    case WM_MENUSELECT: {
        const int flags = HIWORD(m.WParam);
        if (m.LParam && form && HMENU(m.LParam) == GetMenu(form) && !(flags & MF_SYSMENU) && popup_open_) {
            popup_open_ = false;
            RedrawBar();
        }
        if (BarMode() && flags == 0xFFFF && m.LParam == 0) {
            if (panel_) MenuBarAccess::SetDropped(panel_, false);
            return true;
        }
        break;
    }
    case WM_MENUCHAR:
        // A drop-down's accelerators; the bar's own go on to the form.
        if (form && HMENU(m.LParam) != GetMenu(form)) {
            if (const LRESULT r = MenuCharResult(char(LOWORD(m.WParam)), HMENU(m.LParam))) {
                m.Result = r;
                return true;
            }
        }
        return false;
    case WM_KEYDOWN:
        if (panel_ && panel_->BarActive() &&
            (m.WParam == VK_ESCAPE || m.WParam == VK_LEFT || m.WParam == VK_RIGHT || m.WParam == VK_DOWN)) {
            m.Result = panel_->Perform(m.Msg, m.WParam, m.LParam);
            return true;
        }
        break;
    case WM_SYSCOMMAND:
        if (panel_ && (m.WParam & 0xFFF0) == SC_KEYMENU && m.LParam == 0) {
            m.Result = panel_->Perform(m.Msg, m.WParam, m.LParam);
            return true;
        }
        break;
    case WM_ENTERMENULOOP:
        popup_open_ = false;
        in_loop_ = true;
        if (panel_) {
            if (!unit.filter) unit.filter = SetMessageFilterHook(BarFilter);
            unit.active_bar = panel_;
            if (!unit.active_button && !panel_->BarActive() && !panel_->Buttons().empty()) {
                unit.active_button = panel_->Buttons().front();
                unit.active_button->Perform(CM_MOUSEENTER);
            }
        }
        break;
    case WM_EXITMENULOOP:
        outside_loop_ = true;
        in_loop_ = false;
        if (panel_) {
            if (unit.filter) UnhookMessageFilter(std::exchange(unit.filter, 0));
            if (TMenuSpeedButton* b = unit.active_button) {
                Release(b);
                if (panel_->BarActive()) b->Perform(CM_MOUSEENTER);
            }
            unit.active_bar = nullptr;
            unit.active_button = nullptr;
        }
        break;
    default: break;
    }
    return TCustomMenus97::FormWndProc(m);
}

void TCustomMainMenus97::FormAfterMessage(TMessage& m) {
    auto* form = dynamic_cast<TCustomForm*>(Owner());
    switch (m.Msg) {
    case WM_WINDOWPOSCHANGED:
        if (!form || Menus97Unit().active_button) return;
        ReconvertForeignItems();
        if (panel_) UpdateMenuBar();
        ConvertItems(menu_->Items(), false);
        return;
    case WM_NCCALCSIZE:
        // The panel takes the bar's place: the client area starts where the bar does.
        if (BarMode() && form && Application().MainForm == form && m.LParam)
            reinterpret_cast<TRect*>(m.LParam)->top -= GetMenuBarHeight(form->WindowHandle());
        return;
    case WM_NCHITTEST:
        if (BarMode() && m.Result == HTMENU) m.Result = -1;
        return;
    case WM_GETDLGCODE:
        if (panel_ && panel_->BarActive()) m.Result |= DLGC_WANTARROWS;
        return;
    default: return;
    }
}

}  // namespace controls
