// The popup variant: finding the popup list's hidden window, hooking it by
// token while any popup component lives, and answering its measure, draw,
// initialisation and character messages; the banner of a popup.
#include <algorithm>

#include "controls/menus97.hpp"

namespace controls {

using namespace ui;

namespace {

// Asks every hidden window of the popup list's class whether it knows a
// probe popup menu's item: the popup list's window sets the application's
// hint to that item's hint.
HWND FindUtilWindow() {
    auto probe = Make<TPopupMenu>(nullptr);
    probe->SetName("TPUtilPopup");
    auto* item = new TMenuItem(probe.get());
    item->SetName("TPUtilItem");
    item->SetCaption("TPUtilWindow");
    item->SetHint("TPUtilWindow");
    probe->Items()->Add(item);
    HWND found = 0;
    for (HWND h : GetTopLevelWindows()) {
        if (GetClassName(h) != "TPUtilWindow") continue;
        Application().SetHint("");
        SendMessage(h, WM_MENUSELECT, MAKEWPARAM(int(item->Command()), 0), LPARAM(probe->Handle()));
        const bool answered = Application().Hint() == "TPUtilWindow";
        Application().SetHint("");
        if (answered) {
            found = h;
            break;
        }
    }
    return found;
}

}  // namespace

TCustomPopupMenus97::TCustomPopupMenus97(TComponent* owner) : TCustomMenus97(owner) { HookUtilWindow(); }

TCustomPopupMenus97::~TCustomPopupMenus97() { TCustomPopupMenus97::BeforeDestruction(); }

void TCustomPopupMenus97::BeforeDestruction() {
    UnhookUtilWindow();
    TCustomMenus97::BeforeDestruction();
}

HWND TCustomPopupMenus97::UtilWindow() { return Menus97Unit().util_window; }
int TCustomPopupMenus97::HookedCount() { return Menus97Unit().hooked; }

void TCustomPopupMenus97::HookUtilWindow() {
    Menus97UnitState& unit = Menus97Unit();
    ++unit.hooked;
    if (unit.hooked == 1 || !IsWindow(unit.util_window)) {
        unit.util_window = FindUtilWindow();
        // Not found: the next component tries again.
        if (!unit.util_window) --unit.hooked;
    }
    unit.popups.push_back(this);
    if (!unit.util_window || unit.hooked <= 0) return;
    hooked_window_ = unit.util_window;
    // The newest component sees the messages first; each leaves by its own
    // token, so the others keep their places whatever the order of leaving.
    token_ = SubclassWindow(hooked_window_, [this](HWND h, UINT msg, WPARAM w, LPARAM l, const NextProc& next) {
        LRESULT result = 0;
        if (menu_ && !Has(csDestroying) && UtilWndProc(h, msg, w, l, next, result)) return result;
        return next(h, msg, w, l);
    });
    if (!token_) --unit.hooked, hooked_window_ = 0;
}

void TCustomPopupMenus97::UnhookUtilWindow() {
    Menus97UnitState& unit = Menus97Unit();
    auto& list = unit.popups;
    if (std::find(list.begin(), list.end(), this) == list.end()) return;  // done already
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (token_) {
        RemoveSubclass(hooked_window_, token_);
        token_ = 0;
        --unit.hooked;
    }
    if (unit.hooked <= 0) {
        unit.hooked = 0;
        unit.util_window = 0;
    }
}

bool TCustomPopupMenus97::UtilWndProc(HWND h, UINT msg, WPARAM w, LPARAM l, const NextProc& next, LRESULT& result) {
    switch (msg) {
    case WM_DRAWITEM: {
        auto& dis = *reinterpret_cast<DRAWITEMSTRUCT*>(l);
        if (dis.CtlType != ODT_MENU || !dis.itemData) return false;
        TCustomMenus97* target = FromItemData(dis.itemData);
        if (!target) return false;
        result = target->DrawRequest(dis);
        return true;
    }
    case WM_MEASUREITEM: {
        auto& mis = *reinterpret_cast<MEASUREITEMSTRUCT*>(l);
        if (w != 0 || mis.CtlType != ODT_MENU || !mis.itemData) return false;
        TCustomMenus97* target = FromItemData(mis.itemData);
        if (!target) return false;
        result = target->MeasureRequest(mis);
        return true;
    }
    case WM_INITMENU:
    case CM_MENUCHANGED:
        result = next(h, msg, w, l);
        if (menu_) ConvertItems(menu_->Items(), false);
        return true;
    case WM_INITMENUPOPUP:
        next(h, msg, w, l);
        result = 0;
        if (menu_) ConvertItems(menu_->Items(), false);
        banner_dirty_ = true;
        return true;
    case WM_MENUCHAR:
        if (const LRESULT r = MenuCharResult(char(LOWORD(w)), HMENU(l))) {
            result = r;
            return true;
        }
        return false;
    default: return false;
    }
}

bool TCustomPopupMenus97::IsBannerItem(TMenuItem* item) const {
    return menu_ && item && item->Parent() == menu_->Items();
}

void TCustomPopupMenus97::CalcBannerRect(TMenuItem*) {
    if (menu_) BannerRectFromMenu(menu_->Items()->Handle());
}

}  // namespace controls
