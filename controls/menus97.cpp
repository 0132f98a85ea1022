// The owner-drawn menus' shared part: creation and the component's fonts,
// brush and images, attaching a menu and converting its items to owner-drawn
// ones, tags, the owner form's hook, and the measure and draw requests.
#include "controls/menus97.hpp"

#include <algorithm>

#include "controls/detail/state.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/sysparams.hpp"

namespace controls {

using namespace ui;

namespace {

constexpr UINT WM_SETTINGCHANGE = 0x001A;

bool IsLine(const TMenuItem* item) { return item->Caption() == cLineCaption; }

}  // namespace

Menus97UnitState& Menus97Unit() { return Controls().menus; }

// ---------------------------------------------------------------- creation

TCustomMenus97::TCustomMenus97(TComponent* owner)
    : TComponent(owner), canvas_(std::make_unique<TBorrowedCanvas>()), font_(std::make_unique<TFont>()),
      hilite_font_(std::make_unique<TFont>()), banner_font_(std::make_unique<TFont>()),
      brush_(std::make_unique<TBrush>()), check_bitmap_(std::make_unique<TBitmap>()),
      radio_bitmap_(std::make_unique<TBitmap>()) {
    Menus97Unit().live.push_back(this);
    Menus97Unit().windows_nt = GetSystemVersion().platform == VER_PLATFORM_WIN32_NT;
    if (auto* form = dynamic_cast<TCustomForm*>(owner)) {
        // The form's messages come through a window hook, which leaves the
        // form by its own token whatever else hooks the form and in any order.
        form_hook_ = new TCvWindowHook(this);
        form_hook_->BeforeMessage = [this](TObject*, TMessage& m, bool& handled) {
            if (menu_ && !Has(csDestroying)) handled = FormWndProc(m);
        };
        form_hook_->AfterMessage = [this](TObject*, TMessage& m, bool&) {
            if (menu_ && !Has(csDestroying)) FormAfterMessage(m);
        };
        form_hook_->SetWinControl(form);
    }
    AssignMenuFont(font_.get());
    hilite_font_->Assign(font_.get());
    hilite_font_->SetColor(clHighlightText);
    banner_font_->SetName("Arial");
    banner_font_->SetSize(12);
    brush_->SetColor(clBtnFace);
    check_bitmap_->LoadFromResourceName("CheckMark");
    radio_bitmap_->LoadFromResourceName("RadioMark");
    const int system_w = GetSystemMetrics(SM_CXMENUCHECK), system_h = GetSystemMetrics(SM_CYMENUCHECK);
    check_width_ = system_w < check_bitmap_->Width() ? check_bitmap_->Width() + 4 : system_w;
    check_height_ = system_h < check_bitmap_->Height() ? check_bitmap_->Height() + 4 : system_h;
    font_->OnChange = [this](TObject*) { FontChanged(); };
    hilite_font_->OnChange = [this](TObject*) { HiliteFontChanged(); };
    brush_->OnChange = [this](TObject*) { BrushChanged(); };
}

TCustomMenus97::~TCustomMenus97() { TCustomMenus97::BeforeDestruction(); }

void TCustomMenus97::BeforeDestruction() {
    auto& live = Menus97Unit().live;
    if (std::find(live.begin(), live.end(), this) == live.end()) return;  // done already
    if (menu_ && !menu_->Has(csDestroying)) ConvertItems(menu_->Items(), true);
    menu_ = nullptr;
    SetImages(nullptr);
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    Destroying();
    // The hook leaves the form before anything it calls goes.
    if (form_hook_) {
        form_hook_->SetActive(false);
        form_hook_->SetWinControl(nullptr);
    }
    TComponent::BeforeDestruction();
    form_hook_ = nullptr;
}

TCustomMenus97* TCustomMenus97::FromItemData(uintptr_t data) {
    // Only a live component is trusted: item data is anybody's.
    for (TCustomMenus97* c : Menus97Unit().live)
        if (uintptr_t(c) == data) return c;
    return nullptr;
}

void TCustomMenus97::Notification(TComponent* component, TOperation op) {
    TComponent::Notification(component, op);
    if (op == TOperation::opRemove && component == images_) SetImages(nullptr);
}

// ---------------------------------------------------------------- properties

void TCustomMenus97::AssignMenuFont(TFont* font) {
    NonClientMetrics metrics;
    if (!GetNonClientMetrics(metrics)) return;
    const LogFont& lf = metrics.menu_font;
    font->SetName(lf.name);
    font->SetHeight(lf.height);
    unsigned style = 0;
    if (lf.bold) style |= fsBold;
    if (lf.italic) style |= fsItalic;
    if (lf.underline) style |= fsUnderline;
    if (lf.strike_out) style |= fsStrikeOut;
    font->SetStyle(style);
    font->SetCharset(1);
}

void TCustomMenus97::SetImages(TCustomImageList* images) {
    if (images == images_) return;
    if (images_) images_->RemoveFreeNotification(this);
    images_ = images;
    if (images_) {
        images_->FreeNotification(this);
        check_width_ = images_->Width() + 4;
        check_height_ = images_->Height() + 4;
    } else {
        check_width_ = check_bitmap_->Width() + 4;
        check_height_ = check_bitmap_->Height() + 4;
    }
}

void TCustomMenus97::SetFont(TFont* font) {
    default_font_ = false;
    font_->Assign(font);
}

void TCustomMenus97::SetHiliteFont(TFont* font) {
    default_font_ = false;
    hilite_font_->Assign(font);
}

void TCustomMenus97::SetDefaultFont(bool v) {
    if (v) {
        AssignMenuFont(font_.get());
        // The selected item keeps the highlight's text colour.
        auto keep = std::move(hilite_font_->OnChange);
        hilite_font_->Assign(font_.get());
        hilite_font_->SetColor(clHighlightText);
        hilite_font_->OnChange = std::move(keep);
    }
    default_font_ = v;
}

void TCustomMenus97::SetMenus97Look(TMenus97Look v) {
    look_ = v;
    LookChanged();
}

void TCustomMenus97::FontChanged() { default_font_ = false; }
void TCustomMenus97::HiliteFontChanged() { default_font_ = false; }

// ---------------------------------------------------------------- the menu

void TCustomMenus97::SetMenu(TMenu* menu) {
    if (menu == menu_) return;
    if (menu_) ConvertItems(menu_->Items(), true);
    menu_ = menu;
    if (menu_) ConvertItems(menu_->Items(), false);
}

void TCustomMenus97::ConvertItems(TMenuItem* items, bool restore) {
    if (!items) return;
    for (int i = 0; i < items->Count(); ++i) {
        TMenuItem* item = items->Items(i);
        ConvertItems(item, restore);
        if (IsLine(item)) continue;
        const HMENU parent = items->Handle();
        MENUITEMINFO info;
        info.fMask = MIIM_TYPE;
        if (!GetMenuItemInfo(parent, item->Command(), false, info)) continue;  // hidden
        UINT flags = MF_BYCOMMAND | (item->Enabled() ? MF_ENABLED : MF_GRAYED);
        if (item->Break() == mbBreak) flags |= MF_MENUBREAK;
        if (item->Break() == mbBarBreak) flags |= MF_MENUBARBREAK;
        if (restore) {
            // Back as the menu built it.
            std::string text = item->Caption();
            if (const std::string s = ShortCutToText(item->ShortCut()); !s.empty()) text += "\t" + s;
            if (item->Checked()) flags |= MF_CHECKED;
            if (item->Default()) flags |= MF_DEFAULT;
            if (item->RadioItem()) flags |= MFT_RADIOCHECK;
            ModifyMenu(parent, item->Command(), flags | MF_STRING, item->Command(), text);
        } else {
            if (Menus97Unit().windows_nt && (info.fType & MFT_OWNERDRAW)) continue;
            ModifyMenu(parent, item->Command(), flags | MF_OWNERDRAW, item->Command(), "", uintptr_t(this));
        }
    }
}

TMenuItem* TCustomMenus97::FindMenuItem(UINT command) const {
    return menu_ ? menu_->FindItem(command, fkCommand) : nullptr;
}

void TCustomMenus97::MarkItems(TMenuItem* items, bool nested) {
    if (!items) return;
    for (int i = 0; i < items->Count(); ++i) {
        TMenuItem* item = items->Items(i);
        MarkItems(item, true);
        if (item->Tag == 0) item->Tag = (nested || IsPopupVariant()) ? kNoImageTag : kTopLevelTag;
    }
}

void TCustomMenus97::MarkMenuItems() {
    if (menu_) MarkItems(menu_->Items(), false);
}

LRESULT TCustomMenus97::MenuCharResult(char c, HMENU menu) const {
    if (Has(csDesigning) || !menu_) return 0;
    // The submenu being navigated, reached through enabled items only.
    std::function<const TMenuItem*(const TMenuItem*)> find = [&](const TMenuItem* parent) -> const TMenuItem* {
        if (parent->HandleAllocated() && const_cast<TMenuItem*>(parent)->Handle() == menu) return parent;
        for (int i = 0; i < parent->Count(); ++i)
            if (parent->Items(i)->Enabled())
                if (const TMenuItem* found = find(parent->Items(i))) return found;
        return nullptr;
    };
    const TMenuItem* parent = find(menu_->Items());
    if (!parent) return 0;
    int position = 0;
    for (int i = 0; i < parent->Count(); ++i) {
        const TMenuItem* item = parent->Items(i);
        if (!item->Visible()) continue;
        if (item->Enabled() && IsAccel(uint8_t(c), item->Caption())) return MAKELRESULT(position, MNC_EXECUTE);
        ++position;
    }
    return 0;
}

// ---------------------------------------------------------------- the form

bool TCustomMenus97::FormWndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_SETTINGCHANGE:
        if (default_font_) SetDefaultFont(true);
        return false;
    case WM_DRAWITEM: {
        auto& dis = *reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
        if (dis.CtlType != ODT_MENU || !dis.itemData) return false;
        TCustomMenus97* target = FromItemData(dis.itemData);
        if (!target) return false;
        m.Result = target->DrawRequest(dis);
        return true;
    }
    case WM_MEASUREITEM: {
        auto& mis = *reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
        if (m.WParam != 0 || mis.CtlType != ODT_MENU || !mis.itemData) return false;
        TCustomMenus97* target = FromItemData(mis.itemData);
        if (!target) return false;
        m.Result = target->MeasureRequest(mis);
        return true;
    }
    case WM_MENUCHAR:
        if (const LRESULT r = MenuCharResult(char(LOWORD(m.WParam)), HMENU(m.LParam))) {
            m.Result = r;
            return true;
        }
        return false;
    case WM_ENTERMENULOOP: window_list_built_ = false; return false;
    case CM_MENUCHANGED: ConvertItems(menu_->Items(), false); return false;
    case WM_INITMENUPOPUP:
        // The framework has no multiple-document forms, so there is no window
        // list to add to the window menu.
        banner_dirty_ = true;
        return false;
    default: return false;
    }
}

// ---------------------------------------------------------------- requests

bool TCustomMenus97::MeasureRequest(MEASUREITEMSTRUCT& mis) {
    if (!menu_) return false;
    // A context of the menu's kind, for measuring texts.
    auto surface = Surface::Create(1, 1, PixelFormat::Color32);
    DC dc(surface);
    canvas_->Lend(&dc);
    canvas_->Font()->Assign(font_.get());
    if (TMenuItem* item = FindMenuItem(mis.itemID)) {
        int height = 0, width = 0;
        MeasureItemEvent(item, height, width);
        if (OnMeasureItem) OnMeasureItem(menu_, item, height, width);
        mis.itemHeight = UINT(std::max(0, height));
        mis.itemWidth = UINT(std::max(0, width));
    }
    canvas_->Lend(nullptr);
    return true;
}

void TCustomMenus97::MeasureItemEvent(TMenuItem* item, int& height, int& width) {
    height = ItemHeight ? ItemHeight : ComputeItemHeight(item);
    width = ItemWidth ? ItemWidth : ComputeItemWidth(item);
}

bool TCustomMenus97::DrawRequest(DRAWITEMSTRUCT& dis) {
    if (!menu_ || !dis.hDC) return false;
    DC& dc = *dis.hDC;
    const int saved = dc.Save();
    canvas_->Lend(&dc);
    canvas_->Font()->Assign(font_.get());
    canvas_->Brush()->Assign(brush_.get());
    if (dis.itemState & ODS_SELECTED) {
        canvas_->Brush()->SetColor(clHighlight);
        canvas_->Font()->SetColor(clHighlightText);
    }
    if (TMenuItem* item = FindMenuItem(dis.itemID)) DrawItem(item, dis.rcItem, dis.itemState);
    if (dis.itemState & ODS_FOCUS) canvas_->DrawFocusRect(dis.rcItem);
    canvas_->Lend(nullptr);
    dc.Restore(saved);
    return true;
}

void TCustomMenus97::DrawItem(TMenuItem* item, TRect rect, unsigned state) {
    // The hint the event makes is shown; the item keeps its own.
    if (state & ODS_SELECTED) Application().SetHint(OnHint ? OnHint(menu_, item, item->Hint()) : item->Hint());
    if (OnDrawItem && OnDrawItem(menu_, item, rect, state)) return;
    if (banner_dirty_ && IsBannerItem(item)) {
        banner_bitmap_.reset();
        banner_dirty_ = false;
        CalcBannerRect(item);
    }
    // Only the banner's own items carry it; a submenu's items never do.
    if (Banner && IsBannerItem(item)) DrawBanner(rect);
    if (item->Tag != kTopLevelTag && item->Tag <= 255)
        DrawMenuItemBody(item, rect, state);
    else
        DrawTopLevelItem(item, rect, state);
}

bool TCustomMenus97::IsBannerItem(TMenuItem*) const { return false; }
void TCustomMenus97::CalcBannerRect(TMenuItem*) {}

void TCustomMenus97::BannerRectFromMenu(HMENU menu) {
    const int n = GetMenuItemCount(menu);
    TRect first;
    if (n <= 0 || !GetMenuItemRect(0, menu, 0, first)) {
        banner_rect_ = {};
        return;
    }
    for (int i = 1; i < n; ++i) {
        TRect r;
        if (GetMenuItemRect(0, menu, UINT(i), r)) first.bottom = std::max(first.bottom, r.bottom);
    }
    first.left += BannerWidth + 2;
    banner_rect_ = {0, 0, BannerWidth, first.Height()};
}

}  // namespace controls
