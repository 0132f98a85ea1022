// The menu loop driven by injected input: keys, mnemonics, WM_MENUCHAR's
// answers, the mouse, the bar, what the owner is told and in which order, the
// loop that gives up, and the drop-down's pixels.
#include <string>

#include "framework/ui/menu_handles.hpp"
#include "tests/framework/ui/menu_fixture.hpp"

namespace ui {
namespace {

using testing_ui::MenuTest;

// Open, Save, a separator, Print (greyed), Recent > (Alpha, Beta), Exit.
struct FileMenu {
    HMENU menu = CreatePopupMenu(), recent = CreatePopupMenu();
    FileMenu() {
        AppendMenu(recent, MF_STRING, 201, "&Alpha");
        AppendMenu(recent, MF_STRING, 202, "&Beta");
        AppendMenu(menu, MF_STRING, 101, "&Open");
        AppendMenu(menu, MF_STRING, 102, "&Save\tCtrl+S");
        AppendMenu(menu, MF_SEPARATOR, 0, "");
        AppendMenu(menu, MF_GRAYED, 103, "&Print");
        AppendMenu(menu, MF_POPUP, recent, "&Recent");
        AppendMenu(menu, MF_STRING, 104, "E&xit");
    }
};

// One step of input: a key (with modifiers) or a typed character.
struct Input {
    UINT vk = 0;
    char ch = 0;
};
constexpr Input K(UINT vk) { return {vk, 0}; }
constexpr Input C(char c) { return {0, c}; }

void Send(const std::vector<Input>& inputs) {
    for (const Input& i : inputs) {
        if (i.ch)
            InjectChar(i.ch);
        else
            MenuTest::Key(i.vk);
    }
}

TEST_F(MenuTest, KeysAndMnemonicsChooseItems) {
    struct Case {
        const char* name;
        std::vector<Input> inputs;
        UINT chosen;
    };
    const Case cases[] = {
        {"down, enter", {K(VK_DOWN), K(VK_RETURN)}, 101},
        {"down twice", {K(VK_DOWN), K(VK_DOWN), K(VK_RETURN)}, 102},
        {"up wraps to the last", {K(VK_UP), K(VK_RETURN)}, 104},
        {"the separator is passed over",
         {K(VK_DOWN), K(VK_DOWN), K(VK_DOWN), K(VK_DOWN), K(VK_DOWN), K(VK_RETURN)},
         104},
        {"a greyed item is never chosen", {K(VK_DOWN), K(VK_DOWN), K(VK_DOWN), K(VK_RETURN)}, 0},
        {"home, end", {K(VK_END), K(VK_HOME), K(VK_RETURN)}, 101},
        {"right opens the drop-down", {K(VK_END), K(VK_UP), K(VK_RIGHT), K(VK_DOWN), K(VK_RETURN)}, 202},
        {"left closes it again", {K(VK_END), K(VK_UP), K(VK_RIGHT), K(VK_LEFT), K(VK_DOWN), K(VK_RETURN)}, 104},
        {"enter opens it too", {K(VK_END), K(VK_UP), K(VK_RETURN), K(VK_RETURN)}, 201},
        {"escape in the drop-down closes only it",
         {K(VK_END), K(VK_UP), K(VK_RIGHT), K(VK_ESCAPE), K(VK_DOWN), K(VK_RETURN)},
         104},
        {"a mnemonic chooses", {C('s')}, 102},
        {"upper case too", {C('X')}, 104},
        {"into the drop-down", {C('r'), C('b')}, 202},
        {"escape", {K(VK_ESCAPE), K(VK_DOWN), K(VK_RETURN)}, 0},
        {"alt closes the menu", {K(VK_MENU), K(VK_DOWN), K(VK_RETURN)}, 0},
    };
    for (const Case& c : cases) {
        FileMenu f;
        Send(c.inputs);
        EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner), c.chosen) << c.name;
        EXPECT_EQ(TrackedMenu(), 0u);
        EXPECT_TRUE(OpenMenuWindows().empty());
        EXPECT_EQ(GetCapture(), 0u) << c.name;
        Pump();                                      // what the loop left
        EXPECT_EQ(Count(WM_COMMAND), 0u) << c.name;  // TPM_RETURNCMD posts nothing
        log.clear();
    }
}

TEST_F(MenuTest, TheOwnersAnswerToAnUnknownCharacterDecides) {
    struct Case {
        LRESULT answer;
        std::vector<Input> after;
        UINT chosen;
    };
    const Case cases[] = {
        {MAKELRESULT(0, MNC_IGNORE), {K(VK_DOWN), K(VK_RETURN)}, 101},  // the menu stays
        {MAKELRESULT(0, MNC_CLOSE), {K(VK_DOWN), K(VK_RETURN)}, 0},
        {MAKELRESULT(5, MNC_EXECUTE), {}, 104},
        {MAKELRESULT(1, MNC_SELECT), {K(VK_RETURN)}, 102},
        {MAKELRESULT(4, MNC_EXECUTE), {K(VK_RETURN)}, 201},  // opens the drop-down, its first item selected
    };
    for (const Case& c : cases) {
        FileMenu f;
        int asked = 0;
        handler = [&](UINT m, WPARAM w, LPARAM l, LRESULT& r) {
            if (m != WM_MENUCHAR) return false;
            ++asked;
            EXPECT_EQ(LOWORD(w), int('q'));
            EXPECT_EQ(HIWORD(w), int(MF_POPUP));
            EXPECT_EQ(HMENU(l), f.menu);
            r = c.answer;
            return true;
        };
        std::vector<Input> inputs{C('q')};
        inputs.insert(inputs.end(), c.after.begin(), c.after.end());
        Send(inputs);
        EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner), c.chosen) << HIWORD(uintptr_t(c.answer));
        EXPECT_EQ(asked, 1);
        Pump();
    }
}

TEST_F(MenuTest, TheOwnerHearsEachStepInOrderAndGetsTheCommand) {
    FileMenu f;
    Send({K(VK_DOWN), K(VK_DOWN), K(VK_RETURN)});
    log.clear();
    EXPECT_EQ(TrackPopupMenu(f.menu, 0, 150, 150, owner), 1u);
    std::vector<UINT> seen;
    for (const MSG& m : log)
        if (m.message != WM_ENTERIDLE && m.message != WM_CAPTURECHANGED) seen.push_back(m.message);
    const std::vector<UINT> expected = {WM_ENTERMENULOOP, WM_INITMENU,        WM_INITMENUPOPUP, WM_MENUSELECT,
                                        WM_MENUSELECT,    WM_UNINITMENUPOPUP, WM_MENUSELECT,    WM_EXITMENULOOP};
    EXPECT_EQ(seen, expected);
    // The selections: Open, then Save; then the menu closing.
    std::vector<WPARAM> selects;
    for (const MSG& m : log)
        if (m.message == WM_MENUSELECT) selects.push_back(m.wParam);
    ASSERT_EQ(selects.size(), 3u);
    EXPECT_EQ(LOWORD(selects[0]), 101);
    EXPECT_EQ(LOWORD(selects[1]), 102);
    EXPECT_TRUE(HIWORD(selects[1]) & MF_HILITE);
    EXPECT_EQ(HIWORD(selects[2]), 0xFFFF);
    EXPECT_EQ(Last(WM_MENUSELECT)->lParam, 0);
    EXPECT_EQ(HMENU(Last(WM_INITMENUPOPUP)->wParam), f.menu);
    EXPECT_EQ(Count(WM_COMMAND), 0u);
    Pump();  // the command is posted
    ASSERT_EQ(Count(WM_COMMAND), 1u);
    EXPECT_EQ(Last(WM_COMMAND)->wParam, 102u);
    EXPECT_EQ(Last(WM_COMMAND)->lParam, 0);
}

TEST_F(MenuTest, TheMouseChoosesOpensAndLeavesPressesOutside) {
    // A window beside the menu that a press outside reaches.
    RegisterWindowClass({"MenuTestTarget", nullptr, 0, clWhite});
    const HWND target =
        CreateWindow({"MenuTestTarget", "", WS_POPUP | WS_VISIBLE, 0, Bounds(600, 100, 100, 100), 0, 0, 0});
    int target_presses = 0;
    const SubclassToken token = SubclassWindow(target, [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
        if (m == WM_LBUTTONDOWN) ++target_presses;
        return next(h, m, w, l);
    });
    struct Case {
        const char* name;
        std::vector<std::function<void(const FileMenu&)>> steps;
        UINT flags;
        UINT chosen;
        int presses_outside;
    };
    auto click = [](int position) { return [position](const FileMenu& f) { Click(ItemCentre(f.menu, position)); }; };
    const Case cases[] = {
        {"a click on Save", {click(1)}, TPM_RETURNCMD, 102, 0},
        {"a greyed item stays open", {click(3), [](const FileMenu&) { Key(VK_ESCAPE); }}, TPM_RETURNCMD, 0, 0},
        {"hover opens the drop-down",
         {[](const FileMenu& f) { InjectMouse(MouseAction::Move, MouseButton::Left, ItemCentre(f.menu, 4)); },
          [](const FileMenu& f) { Click(ItemCentre(f.recent, 1)); }},
         TPM_RETURNCMD,
         202,
         0},
        {"the right button chooses with TPM_RIGHTBUTTON",
         {[](const FileMenu& f) { Click(ItemCentre(f.menu, 0), MouseButton::Right); }},
         TPM_RETURNCMD | TPM_RIGHTBUTTON,
         101,
         0},
        {"a press outside closes the menu and reaches the window there",
         {[](const FileMenu&) {
             Click({650, 150});
         }},
         TPM_RETURNCMD,
         0,
         1},
    };
    for (const Case& c : cases) {
        FileMenu f;
        for (const auto& step : c.steps) on_idle.push_back([&f, step] { step(f); });
        target_presses = 0;
        EXPECT_EQ(TrackPopupMenu(f.menu, c.flags, 150, 150, owner), c.chosen) << c.name;
        Pump();
        EXPECT_EQ(target_presses, c.presses_outside) << c.name;
        on_idle.clear();
    }
    RemoveSubclass(target, token);
}

TEST_F(MenuTest, DropDownsStayOnTheScreenAndSubmenusOpenBesideTheirItem) {
    FileMenu f;
    TRect menu_rect, recent_rect;
    on_idle.push_back([&] {
        menu_rect = GetWindowRect(OpenMenuWindows().at(0));
        Key(VK_END), Key(VK_UP), Key(VK_RIGHT);
    });
    on_idle.push_back([&] {
        recent_rect = GetWindowRect(OpenMenuWindows().at(1));
        Key(VK_ESCAPE), Key(VK_ESCAPE);
    });
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    TrackPopupMenu(f.menu, TPM_RETURNCMD, sw - 10, sh - 10, owner);
    // Flipped to the left of and above the point.
    EXPECT_EQ(menu_rect.right, sw - 10);
    EXPECT_EQ(menu_rect.bottom, sh - 10);
    // No room on the right: the submenu opens on the left, overlapping by the frame.
    EXPECT_EQ(recent_rect.right, menu_rect.left + 3);
    TRect item;
    on_idle.push_back([&] {
        menu_rect = GetWindowRect(OpenMenuWindows().at(0));
        Key(VK_END), Key(VK_UP), Key(VK_RIGHT);
    });
    on_idle.push_back([&] {
        GetMenuItemRect(0, f.menu, 4, item);
        recent_rect = GetWindowRect(OpenMenuWindows().at(1));
        Key(VK_ESCAPE), Key(VK_ESCAPE);
    });
    TrackPopupMenu(f.menu, TPM_RETURNCMD | TPM_RIGHTALIGN, 300, 100, owner);
    EXPECT_EQ(menu_rect.right, 300);
    EXPECT_EQ(menu_rect.top, 100);
    EXPECT_EQ(recent_rect.left, menu_rect.right - 3);
    EXPECT_EQ(recent_rect.top, item.top - GetSystemMetrics(SM_CYDLGFRAME));
}

TEST_F(MenuTest, ALoopNothingCanEndGivesUp) {
    FileMenu f;
    // No input, no display, no timer: nothing could ever end it.
    EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner), 0u);
    EXPECT_GE(Count(WM_ENTERIDLE), 1u);
    EXPECT_EQ(Count(WM_EXITMENULOOP), 1u);
    // A timer that keeps firing does not keep it open either.
    int ticks = 0;
    const UINT id = SetTimer(0, 0, 10, [&](HWND, UINT) { ++ticks; });
    EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner), 0u);
    EXPECT_GT(ticks, 100);
    KillTimer(0, id);
    // EndMenu ends it from inside, a second loop is refused meanwhile.
    on_idle.push_back([&] {
        EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 10, 10, owner), 0u);
        EXPECT_EQ(TrackedMenu(), f.menu);
        EXPECT_TRUE(EndMenu());
    });
    EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner), 0u);
    EXPECT_FALSE(EndMenu());
    // Not for a window or a menu that is not there.
    EXPECT_EQ(TrackPopupMenu(f.menu, 0, 0, 0, 0), 0u);
    EXPECT_EQ(TrackPopupMenu(0, 0, 0, 0, owner), 0u);
}

TEST_F(MenuTest, MessageFiltersSeeTheLoopsMessagesFirst) {
    FileMenu f;
    std::vector<UINT> keys;
    const HHOOK hook = SetMessageFilterHook([&](int code, MSG& m) {
        EXPECT_EQ(code, MSGF_MENU);
        if (m.message != WM_KEYDOWN) return false;
        keys.push_back(UINT(m.wParam));
        return m.wParam == VK_UP;  // takes the up key away
    });
    Send({K(VK_UP), K(VK_DOWN), K(VK_RETURN)});
    EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner), 101u);
    EXPECT_EQ(keys, (std::vector<UINT>{VK_UP, VK_DOWN, VK_RETURN}));
    EXPECT_TRUE(UnhookMessageFilter(hook));
    EXPECT_FALSE(UnhookMessageFilter(hook));
    Send({K(VK_UP), K(VK_RETURN)});
    EXPECT_EQ(TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner), 104u);
}

TEST_F(MenuTest, TheBarOpensByAltByALetterAndByTheMouse) {
    const HMENU bar = CreateMenu();
    const HMENU file = CreatePopupMenu(), edit = CreatePopupMenu();
    AppendMenu(file, MF_STRING, 11, "&Open");
    AppendMenu(file, MF_STRING, 12, "E&xit");
    AppendMenu(edit, MF_STRING, 21, "&Copy");
    AppendMenu(edit, MF_STRING, 22, "&Paste");
    AppendMenu(bar, MF_POPUP, file, "&File");
    AppendMenu(bar, MF_POPUP, edit, "&Edit");
    AppendMenu(bar, MF_STRING, 31, "&Now");
    SetMenu(owner, bar);
    Pump();
    struct Case {
        const char* name;
        std::function<void()> start;
        std::vector<std::function<void()>> steps;
        UINT command;  // 0: none
    };
    const Case cases[] = {
        {"alt, down, enter", [] { Key(VK_MENU); }, {[] { Key(VK_DOWN), Key(VK_RETURN); }}, 11},
        {"alt, right, down, enter",
         [] { Key(VK_MENU); },
         {[] { Key(VK_RIGHT), Key(VK_DOWN), Key(VK_DOWN), Key(VK_RETURN); }},
         22},
        {"alt, left wraps to the command", [] { Key(VK_MENU); }, {[] { Key(VK_LEFT), Key(VK_RETURN); }}, 31},
        {"f10 and escape", [] { Key(VK_F10); }, {[] { Key(VK_ESCAPE); }}, 0},
        {"alt+e opens Edit", [] { Key('E', kAlt); }, {[] { Key(VK_DOWN), Key(VK_RETURN); }}, 22},
        {"alt+n chooses the bar's command", [] { Key('N', kAlt); }, {}, 31},
        {"right moves on with the drop-down open", [] { Key('F', kAlt); }, {[] { Key(VK_RIGHT), Key(VK_RETURN); }}, 21},
        {"a click on the bar and one on the item",
         [&] { Click(ItemCentre(bar, 1, owner)); },
         {[&] { Click(ItemCentre(edit, 1)); }},
         22},
        {"a second click on the open item closes it",
         [&] { Click(ItemCentre(bar, 0, owner)); },
         {[&] { Click(ItemCentre(bar, 0, owner)); }},
         0},
    };
    for (const Case& c : cases) {
        log.clear();
        for (const auto& s : c.steps) on_idle.push_back(s);
        c.start();
        Pump();
        EXPECT_TRUE(on_idle.empty()) << c.name;
        on_idle.clear();
        const MSG* cmd = Last(WM_COMMAND);
        EXPECT_EQ(cmd ? UINT(cmd->wParam) : 0u, c.command) << c.name;
        EXPECT_EQ(Count(WM_ENTERMENULOOP), 1u) << c.name;
        EXPECT_EQ(GetMenuState(bar, 0, MF_BYPOSITION) & MF_HILITE, 0u);
    }
}

TEST_F(MenuTest, TheBarShowsItsItemSunkenWhileTheDropDownIsOpen) {
    const HMENU bar = CreateMenu();
    const HMENU file = CreatePopupMenu();
    AppendMenu(file, MF_STRING, 11, "&Open");
    AppendMenu(bar, MF_POPUP, file, "&File");
    SetMenu(owner, bar);
    Pump();
    const TRect wr = GetWindowRect(owner);
    TRect item;
    GetMenuItemRect(owner, bar, 0, item);
    const TRect r = item.Offset(-wr.left, -wr.top);
    COLORREF open_top_left = 0, hot_top_left = 0;
    on_idle.push_back([&] {
        Pump();
        hot_top_left = GetWindowSurface(owner)->Pixel(r.left, r.top);
        Key(VK_DOWN);
    });
    on_idle.push_back([&] {
        Pump();
        open_top_left = GetWindowSurface(owner)->Pixel(r.left, r.top);
        Key(VK_ESCAPE), Key(VK_ESCAPE);
    });
    Key(VK_MENU);
    Pump();
    EXPECT_EQ(hot_top_left, GetSysColor(COLOR_BTNHIGHLIGHT));  // raised while only selected
    EXPECT_EQ(open_top_left, GetSysColor(COLOR_BTNSHADOW));    // sunken while open
    EXPECT_EQ(GetWindowSurface(owner)->Pixel(r.left, r.top), GetSysColor(COLOR_MENU));
}

TEST_F(MenuTest, TheDropDownPaintsItsItems) {
    FileMenu f;
    CheckMenuItem(f.menu, 101, MF_CHECKED);
    SurfacePtr pixels;
    TRect window, open, save, separator;
    on_idle.push_back([&] { Key(VK_DOWN), Key(VK_DOWN); });
    on_idle.push_back([&] {
        Pump();
        const HWND h = OpenMenuWindows().at(0);
        window = GetWindowRect(h);
        GetMenuItemRect(0, f.menu, 0, open);
        GetMenuItemRect(0, f.menu, 1, save);
        GetMenuItemRect(0, f.menu, 2, separator);
        pixels = GetWindowSurface(h)->Copy();
        testing_ui::SavePicture(h, "menus-framework-dropdown");
        Key(VK_ESCAPE);
    });
    TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner);
    ASSERT_TRUE(pixels);
    auto at = [&](int x, int y) { return pixels->Pixel(x - window.left, y - window.top); };
    auto count = [&](const TRect& r, COLORREF c) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += at(x, y) == c;
        return n;
    };
    const int check = GetSystemMetrics(SM_CXMENUCHECK);
    // Items start inside the window's frame, one below the other.
    EXPECT_EQ(open.left, window.left + GetSystemMetrics(SM_CXDLGFRAME));
    EXPECT_EQ(save.top, open.bottom);
    // Open: not selected, checked: its check mark in the text colour.
    EXPECT_EQ(at(open.left + 1, open.top + 1), GetSysColor(COLOR_MENU));
    EXPECT_GT(count({open.left, open.top, open.left + check + 4, open.bottom}, GetSysColor(COLOR_MENUTEXT)), 10);
    // Save: selected, the highlight across the item, its text and shortcut in the highlight's text colour.
    EXPECT_EQ(at(save.left + 1, save.top + 1), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(at(save.right - 2, save.bottom - 2), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_GT(
        count({save.left + check, save.top, save.left + check + 40, save.bottom}, GetSysColor(COLOR_HIGHLIGHTTEXT)),
        10);
    EXPECT_GT(count({save.right - 50, save.top, save.right, save.bottom}, GetSysColor(COLOR_HIGHLIGHTTEXT)), 10);
    // The separator: a shadow line over a highlight line in its middle.
    const int mid = separator.top + separator.Height() / 2 - 1;
    EXPECT_EQ(at(separator.left + 10, mid), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(at(separator.left + 10, mid + 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    // The raised frame of the window.
    EXPECT_EQ(pixels->Pixel(0, 0), GetSysColor(COLOR_3DLIGHT));
}

TEST_F(MenuTest, OwnerDrawnItemsAreMeasuredAndDrawnByTheOwner) {
    const HMENU m = CreatePopupMenu();
    AppendMenu(m, MF_STRING, 1, "Plain");
    AppendMenu(m, MF_OWNERDRAW, 2, "", 0x1234);
    std::vector<UINT> states;
    handler = [&](UINT msg, WPARAM, LPARAM l, LRESULT& r) {
        if (msg == WM_MEASUREITEM) {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
            EXPECT_EQ(mis->itemID, 2u);
            EXPECT_EQ(mis->itemData, 0x1234u);
            mis->itemWidth = 120, mis->itemHeight = 24;
            return r = 1, true;
        }
        if (msg == WM_DRAWITEM) {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(l);
            EXPECT_EQ(dis->hwndItem, m);
            states.push_back(dis->itemState);
            FillRect(*dis->hDC, dis->rcItem,
                     Brush::Solid((dis->itemState & ODS_SELECTED) ? RGB(0, 0, 255) : RGB(255, 0, 0)));
            return r = 1, true;
        }
        return false;
    };
    TRect item;
    COLORREF before = 0, after = 0;
    on_idle.push_back([&] {
        Pump();
        GetMenuItemRect(0, m, 1, item);
        const TRect wr = GetWindowRect(OpenMenuWindows().at(0));
        before = GetWindowSurface(OpenMenuWindows().at(0))->Pixel(item.left - wr.left + 3, item.top - wr.top + 3);
        Key(VK_UP);
    });
    on_idle.push_back([&] {
        Pump();
        const TRect wr = GetWindowRect(OpenMenuWindows().at(0));
        after = GetWindowSurface(OpenMenuWindows().at(0))->Pixel(item.left - wr.left + 3, item.top - wr.top + 3);
        Key(VK_RETURN);
    });
    EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, 100, 100, owner), 2u);
    // The system keeps room for a check mark beside the owner's width.
    EXPECT_EQ(item.Width(), 120 + GetSystemMetrics(SM_CXMENUCHECK) - 1);
    EXPECT_EQ(item.Height(), 24);
    EXPECT_EQ(before, RGB(255, 0, 0));
    EXPECT_EQ(after, RGB(0, 0, 255));
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(states.front() & ODS_SELECTED, 0u);
    EXPECT_TRUE(states.back() & ODS_SELECTED);
}

// The owner's handlers may throw, also the one told the loop ended while an
// earlier failure leaves it: the caller gets the first, and the menu is gone.
TEST_F(MenuTest, AnOwnerThatThrowsEndsTheLoopCleanly) {
    struct Case {
        const char* name;
        UINT throws_at;  // besides WM_EXITMENULOOP, 0: none
        const char* error;
    };
    const Case cases[] = {
        {"only at the end", 0, "at the end"},
        {"at the start and at the end", WM_INITMENU, "at the start"},
    };
    for (const Case& c : cases) {
        handler = [&c](UINT m, WPARAM, LPARAM, LRESULT&) -> bool {
            if (c.throws_at && m == c.throws_at) throw EUiError("at the start");
            if (m == WM_EXITMENULOOP) throw EUiError("at the end");
            return false;
        };
        FileMenu f;
        Send({K(VK_ESCAPE)});
        try {
            TrackPopupMenu(f.menu, TPM_RETURNCMD, 150, 150, owner);
            ADD_FAILURE() << c.name << ": nothing thrown";
        } catch (const EUiError& e) {
            EXPECT_EQ(std::string(e.what()), c.error) << c.name;
        }
        handler = nullptr;
        EXPECT_EQ(TrackedMenu(), 0u) << c.name;
        EXPECT_TRUE(OpenMenuWindows().empty()) << c.name;
        EXPECT_EQ(GetCapture(), 0u) << c.name;
        Pump();
    }
}

}  // namespace
}  // namespace ui
