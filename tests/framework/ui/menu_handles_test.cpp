// Menu handles and items, the menu bar in the frame and the client area a
// window's WM_NCCALCSIZE answer gives it.
#include "framework/ui/menu_handles.hpp"
#include "tests/framework/ui/menu_fixture.hpp"

namespace ui {
namespace {

using testing_ui::MenuTest;

TEST_F(MenuTest, ItemsAreAddressedByCommandAnywhereInTheTreeOrByPosition) {
    const HMENU sub = CreatePopupMenu();
    AppendMenu(sub, MF_STRING, 201, "&Alpha");
    const HMENU m = CreatePopupMenu();
    AppendMenu(m, MF_STRING, 101, "&Open");
    AppendMenu(m, MF_SEPARATOR, 0, "ignored");
    AppendMenu(m, MF_POPUP, sub, "&Recent");
    InsertMenu(m, 0, MF_BYPOSITION | MF_GRAYED, 100, "&New");
    InsertMenu(m, 999, MF_BYPOSITION, 102, "E&xit");  // past the end: last
    ASSERT_EQ(GetMenuItemCount(m), 5);
    struct Case {
        UINT item, flags;
        std::string text;
        UINT state;
    };
    const Case cases[] = {
        {100, MF_BYCOMMAND, "&New", MF_GRAYED}, {1, MF_BYPOSITION, "&Open", 0},
        {2, MF_BYPOSITION, "", MF_SEPARATOR},   {201, MF_BYCOMMAND, "&Alpha", 0},  // inside the drop-down
        {4, MF_BYPOSITION, "E&xit", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetMenuString(m, c.item, c.flags), c.text) << c.item;
        EXPECT_EQ(GetMenuState(m, c.item, c.flags), c.state) << c.item;
    }
    EXPECT_EQ(GetMenuState(m, 3, MF_BYPOSITION), UINT(MF_POPUP | 1 << 8));  // one item in it
    EXPECT_EQ(GetMenuItemID(m, 3), UINT(-1));
    EXPECT_EQ(GetSubMenu(m, 3), sub);
    EXPECT_EQ(GetMenuItemID(m, 4), 102u);
    EXPECT_EQ(GetMenuState(m, 999, MF_BYCOMMAND), UINT(-1));
    EXPECT_FALSE(ModifyMenu(m, 999, MF_BYCOMMAND, 999, "none"));
}

TEST_F(MenuTest, ModifyRemoveAndDeleteKeepOrDestroyDropDowns) {
    const HMENU sub = CreatePopupMenu();
    AppendMenu(sub, MF_STRING, 201, "Alpha");
    const HMENU m = CreatePopupMenu();
    MENUITEMINFO info;
    info.fMask = MIIM_TYPE | MIIM_ID | MIIM_SUBMENU;
    info.fType = MFT_STRING;
    info.wID = 300;
    info.hSubMenu = sub;
    info.dwTypeData = "&Recent";
    ASSERT_TRUE(InsertMenuItem(m, 0, true, info));
    // Owner-drawn by command: no text, the item data kept, the drop-down too.
    ASSERT_TRUE(ModifyMenu(m, 300, MF_BYCOMMAND | MF_OWNERDRAW, 300, "lost", 0xBEEF));
    MENUITEMINFO got;
    got.fMask = MIIM_TYPE | MIIM_DATA | MIIM_SUBMENU | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfo(m, 0, true, got));
    EXPECT_EQ(got.fType, UINT(MFT_OWNERDRAW));
    EXPECT_EQ(got.dwItemData, 0xBEEFu);
    EXPECT_EQ(got.dwTypeData, "");
    EXPECT_EQ(got.hSubMenu, sub);
    EXPECT_EQ(got.wID, 300u);
    // And back to a string item.
    ASSERT_TRUE(ModifyMenu(m, 300, MF_BYCOMMAND | MF_STRING, 300, "&Recent"));
    EXPECT_EQ(GetMenuString(m, 0, MF_BYPOSITION), "&Recent");
    EXPECT_EQ(GetSubMenu(m, 0), sub);
    // Remove keeps the drop-down alive, delete destroys it.
    ASSERT_TRUE(RemoveMenu(m, 0, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(sub));
    AppendMenu(m, MF_POPUP, sub, "Again");
    ASSERT_TRUE(DeleteMenu(m, 0, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(sub));
    EXPECT_EQ(GetMenuItemCount(m), 0);
    // Destroying a menu destroys its drop-downs; handles are not used again.
    const HMENU sub2 = CreatePopupMenu();
    AppendMenu(m, MF_POPUP, sub2, "Sub");
    EXPECT_TRUE(DestroyMenu(m));
    EXPECT_FALSE(IsMenu(m));
    EXPECT_FALSE(IsMenu(sub2));
    EXPECT_NE(CreatePopupMenu(), m);
    EXPECT_EQ(GetMenuItemCount(m), -1);
}

TEST_F(MenuTest, CheckEnableRadioAndDefaultReturnWhatWasThere) {
    const HMENU m = CreatePopupMenu();
    for (UINT id = 1; id <= 4; ++id) AppendMenu(m, MF_STRING, id, "Item " + std::to_string(id));
    EXPECT_EQ(CheckMenuItem(m, 2, MF_CHECKED), UINT(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(m, 2, MF_UNCHECKED), UINT(MF_CHECKED));
    EXPECT_EQ(EnableMenuItem(m, 3, MF_GRAYED), UINT(MF_ENABLED));
    EXPECT_EQ(EnableMenuItem(m, 3, MF_ENABLED), UINT(MF_GRAYED));
    EXPECT_EQ(CheckMenuItem(m, 9, MF_CHECKED), UINT(-1));
    ASSERT_TRUE(CheckMenuRadioItem(m, 1, 3, 2, MF_BYCOMMAND));
    CheckMenuItem(m, 4, MF_CHECKED);
    ASSERT_TRUE(CheckMenuRadioItem(m, 0, 2, 0, MF_BYPOSITION));
    const UINT expected[] = {MF_CHECKED, 0, 0, MF_CHECKED};  // the fourth is outside the range
    for (UINT id = 1; id <= 4; ++id) EXPECT_EQ(GetMenuState(m, id, MF_BYCOMMAND) & MF_CHECKED, expected[id - 1]) << id;
    MENUITEMINFO info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfo(m, 1, false, info);
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    EXPECT_TRUE(SetMenuDefaultItem(m, 3, false));
    EXPECT_EQ(GetMenuDefaultItem(m, true), 2u);
    EXPECT_TRUE(SetMenuDefaultItem(m, 0, true));
    EXPECT_EQ(GetMenuDefaultItem(m, false), 1u);
    EXPECT_EQ(GetMenuState(m, 3, MF_BYCOMMAND) & MF_DEFAULT, 0u);
    EXPECT_TRUE(SetMenuDefaultItem(m, UINT(-1), false));
    EXPECT_EQ(GetMenuDefaultItem(m, false), UINT(-1));
}

// A bar of three items, the middle one opening a drop-down.
HMENU MakeBar() {
    const HMENU edit = CreatePopupMenu();
    AppendMenu(edit, MF_STRING, 21, "&Copy\tCtrl+C");
    AppendMenu(edit, MF_STRING, 22, "&Paste\tCtrl+V");
    const HMENU file = CreatePopupMenu();
    AppendMenu(file, MF_STRING, 11, "&Open");
    AppendMenu(file, MF_STRING, 12, "E&xit");
    const HMENU bar = CreateMenu();
    AppendMenu(bar, MF_POPUP, file, "&File");
    AppendMenu(bar, MF_POPUP, edit, "&Edit");
    AppendMenu(bar, MF_STRING, 31, "&Now");
    return bar;
}

TEST_F(MenuTest, TheBarTakesItsRowFromTheClientArea) {
    const TRect before = GetClientRect(owner);
    log.clear();
    const HMENU bar = MakeBar();
    ASSERT_TRUE(SetMenu(owner, bar));
    Pump();
    const int height = GetMenuBarHeight(owner);
    EXPECT_EQ(height, GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(GetClientRect(owner), (TRect{0, 0, before.Width(), before.Height() - height}));
    ASSERT_NE(Last(WM_SIZE), nullptr);
    EXPECT_EQ(HIWORD(uintptr_t(Last(WM_SIZE)->lParam)), before.Height() - height);
    const TRect wr = GetWindowRect(owner);
    const TRect barRect = GetMenuBarRect(owner);
    const int caption = GetSystemMetrics(SM_CYCAPTION), frame = GetSystemMetrics(SM_CXFRAME);
    EXPECT_EQ(barRect, (TRect{frame, frame + caption, wr.Width() - frame, frame + caption + height}));
    EXPECT_EQ(ClientToScreen(owner, {0, 0}).y, wr.top + barRect.bottom);
    // Hit tests: the bar, the client, the caption.
    const TPoint onFile = ItemCentre(bar, 0, owner);
    EXPECT_EQ(SendMessage(owner, WM_NCHITTEST, 0, MAKELPARAM(onFile.x, onFile.y)), HTMENU);
    EXPECT_EQ(SendMessage(owner, WM_NCHITTEST, 0, MAKELPARAM(wr.left + 50, wr.top + barRect.bottom + 5)), HTCLIENT);
    // Items from the left, each its text and some room; the bar painted.
    TRect file, edit;
    ASSERT_TRUE(GetMenuItemRect(owner, bar, 0, file));
    ASSERT_TRUE(GetMenuItemRect(owner, bar, 1, edit));
    EXPECT_EQ(file.left, wr.left + frame);
    EXPECT_EQ(edit.left, file.right);
    const SurfacePtr s = GetWindowSurface(owner);
    EXPECT_EQ(s->Pixel(barRect.right - 2, barRect.top + 1), GetSysColor(COLOR_MENU));
    int dark = 0;
    for (int y = file.top; y < file.bottom; ++y)
        for (int x = file.left; x < file.right; ++x)
            if (s->Pixel(x - wr.left, y - wr.top) == GetSysColor(COLOR_MENUTEXT)) ++dark;
    EXPECT_GT(dark, 10);  // "File" is written there
    testing_ui::SavePicture(owner, "menus-framework-bar");
    // Taking the menu away gives the row back.
    ASSERT_TRUE(SetMenu(owner, 0));
    EXPECT_EQ(GetClientRect(owner), before);
    EXPECT_TRUE(GetMenuBarRect(owner).Empty());
}

TEST_F(MenuTest, OwnerDrawnBarItemsSetTheBarsHeight) {
    const HMENU bar = CreateMenu();
    AppendMenu(bar, MF_STRING, 1, "Plain");
    AppendMenu(bar, MF_OWNERDRAW, 2, "", 77);
    handler = [](UINT m, WPARAM, LPARAM l, LRESULT& r) {
        if (m == WM_MEASUREITEM) {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
            EXPECT_EQ(mis->CtlType, UINT(ODT_MENU));
            EXPECT_EQ(mis->itemData, 77u);
            mis->itemWidth = 40, mis->itemHeight = 30;
            r = 1;
            return true;
        }
        if (m == WM_DRAWITEM) {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(l);
            FillRect(*dis->hDC, dis->rcItem, Brush::Solid(RGB(255, 0, 0)));
            r = 1;
            return true;
        }
        return false;
    };
    SetMenu(owner, bar);
    Pump();
    EXPECT_EQ(GetMenuBarHeight(owner), 30);
    TRect item;
    ASSERT_TRUE(GetMenuItemRect(owner, bar, 1, item));
    EXPECT_EQ(item.Width(), 40);
    EXPECT_EQ(item.Height(), 30);
    const TRect wr = GetWindowRect(owner);
    EXPECT_EQ(GetWindowSurface(owner)->Pixel(item.left - wr.left + 5, item.top - wr.top + 5), RGB(255, 0, 0));
}

TEST_F(MenuTest, AWindowsOwnAnswerToNcCalcSizeMovesItsClientArea) {
    const TRect before = GetClientRect(owner);
    // A window that gives its client area ten more pixels at the top.
    const SubclassToken token = SubclassWindow(owner, [](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
        const LRESULT r = next(h, m, w, l);
        if (m == WM_NCCALCSIZE) reinterpret_cast<TRect*>(l)->top -= 10;
        return r;
    });
    SetWindowPos(owner, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    EXPECT_EQ(GetClientRect(owner).Height(), before.Height() + 10);
    EXPECT_EQ(HIWORD(uintptr_t(Last(WM_SIZE)->lParam)), before.Height() + 10);
    RemoveSubclass(owner, token);
    SetWindowPos(owner, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    EXPECT_EQ(GetClientRect(owner), before);
}

}  // namespace
}  // namespace ui
