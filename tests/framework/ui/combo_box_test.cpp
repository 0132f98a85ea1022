// The combo box class in its three styles: the field, the button, the
// drop-down list with the mouse held by it, keys, the edit, owner drawing and
// the notifications, seen from the parent and in pixels.
#include <algorithm>
#include <string>
#include <vector>

#include "framework/ui/combo_box.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class ComboBoxTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = ui::Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        other = new TButton(form.get());
        other->SetParent(form.get());
        other->SetBounds(200, 150, 75, 25);
        other->OnClick = [this](TObject*) { ++other_clicks; };
        form->Show();
        Pump();
        // The parent's point of view: every notification, and the items it draws.
        SubclassWindow(form->Handle(), [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
            if (m == WM_COMMAND && combo && HWND(l) == combo) codes.push_back(int(w >> 16));
            if (m == WM_MEASUREITEM && owner_height) {
                auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
                measured.push_back(int(mis->itemID));
                mis->itemHeight = UINT(int(mis->itemID) == -1 ? owner_height + 2 : owner_height);
                return 1;
            }
            if (m == WM_DRAWITEM && owner_height) {
                auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(l);
                if (!(dis->itemState & ODS_COMBOBOXEDIT)) drawn.push_back(int(dis->itemID));
                if (dis->itemState & ODS_COMBOBOXEDIT) field_drawn.push_back(int(dis->itemID));
                const COLORREF colour = (dis->itemState & ODS_SELECTED) ? 0x0000FF : 0x00FF00;
                FillRect(*dis->hDC, dis->rcItem, Brush::Solid((dis->itemState & ODS_COMBOBOXEDIT) ? 0xFF0000 : colour));
                return 1;
            }
            return next(h, m, w, l);
        });
    }
    HWND Make(uint32_t type, int items = 5, uint32_t extra = 0) {
        CreateParams p;
        p.class_name = "COMBOBOX";
        p.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | type | extra | CBS_HASSTRINGS;
        p.parent = form->Handle();
        p.rect = {10, 10, 160, type == CBS_SIMPLE ? 110 : 200};
        combo = CreateWindow(p);
        for (int i = 0; i < items; ++i) {
            const std::string text = "Item " + std::to_string(i);
            SendMessage(combo, CB_ADDSTRING, 0, LPARAM(text.c_str()));
        }
        Pump();
        return combo;
    }
    COMBOBOXINFO Info() const {
        COMBOBOXINFO info;
        SendMessage(combo, CB_GETCOMBOBOXINFO, 0, LPARAM(&info));
        return info;
    }
    TPoint ButtonPoint() const {
        const TRect b = Info().rcButton;
        return ClientToScreen(combo, {(b.left + b.right) / 2, (b.top + b.bottom) / 2});
    }
    // The middle of item `i` of the dropped list, on the screen.
    TPoint ItemPoint(int i) const {
        TRect r;
        SendMessage(Info().hwndList, LB_GETITEMRECT, WPARAM(i), LPARAM(&r));
        return ClientToScreen(Info().hwndList, {r.left + 20, (r.top + r.bottom) / 2});
    }
    int Sel() const { return int(SendMessage(combo, CB_GETCURSEL)); }
    bool Dropped() const { return SendMessage(combo, CB_GETDROPPEDSTATE) != 0; }

    Owned<TForm> form;
    TButton* other = nullptr;
    int other_clicks = 0;
    HWND combo = 0;
    std::vector<int> codes, measured, drawn, field_drawn;
    int owner_height = 0;
};

TEST_F(ComboBoxTest, TheThreeStylesAreMadeOfTheirParts) {
    struct Case {
        uint32_t type;
        bool edit, list_is_child;
    };
    for (const Case& c :
         {Case{CBS_SIMPLE, true, true}, Case{CBS_DROPDOWN, true, false}, Case{CBS_DROPDOWNLIST, false, false}}) {
        Make(c.type);
        const COMBOBOXINFO info = Info();
        EXPECT_EQ(info.hwndItem != 0, c.edit) << c.type;
        ASSERT_NE(info.hwndList, 0u);
        EXPECT_EQ(GetParent(info.hwndList) == combo, c.list_is_child) << c.type;
        EXPECT_EQ(IsWindowVisible(info.hwndList), c.list_is_child) << c.type;
        const int field = int(SendMessage(combo, CB_GETITEMHEIGHT, WPARAM(-1)));
        if (c.type == CBS_SIMPLE) {
            EXPECT_EQ(GetWindowRect(combo).Height(), 100);  // a simple combo box keeps the height it was given
            EXPECT_TRUE(info.rcButton.Empty());
        } else {
            EXPECT_EQ(GetWindowRect(combo).Height(), field + 6) << "as high as the field and its frame";
            EXPECT_EQ(info.rcButton.Width(), GetSystemMetrics(SM_CXVSCROLL));
        }
        EXPECT_EQ(SendMessage(combo, CB_GETCOUNT), 5);
        DestroyWindow(combo);
        EXPECT_FALSE(IsWindow(info.hwndList)) << "the list goes with its combo box";
    }
}

TEST_F(ComboBoxTest, AClickOnTheButtonDropsTheListAndAClickOnAnItemTakesIt) {
    Make(CBS_DROPDOWNLIST);
    const HWND list = Info().hwndList;
    InjectMouse(MouseAction::Down, MouseButton::Left, ButtonPoint());
    Pump();
    EXPECT_TRUE(Dropped());
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(GetCapture(), list) << "the list holds the mouse while it is open";
    EXPECT_EQ(GetFocus(), combo);
    EXPECT_EQ(GetActiveWindow(), form->Handle()) << "the list never becomes the active window";
    EXPECT_EQ(GetWindowRect(list).top, GetWindowRect(combo).bottom);
    InjectMouse(MouseAction::Up, MouseButton::Left, ButtonPoint());
    Pump();
    EXPECT_TRUE(Dropped()) << "releasing over the combo box leaves the list open";
    // Moving over the list marks the item under the pointer; a click takes it.
    InjectMouse(MouseAction::Move, MouseButton::Left, ItemPoint(3));
    Pump();
    EXPECT_EQ(WindowPixel(list, ScreenToClient(list, ItemPoint(3))), GetSysColor(COLOR_HIGHLIGHT));
    Click(ItemPoint(3));
    EXPECT_FALSE(Dropped());
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(GetCapture(), 0u);
    EXPECT_EQ(Sel(), 3);
    EXPECT_EQ(GetWindowText(combo), "Item 3");
    EXPECT_EQ(codes, (std::vector<int>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
}

TEST_F(ComboBoxTest, APressOutsideOnlyClosesTheList) {
    Make(CBS_DROPDOWNLIST);
    SendMessage(combo, CB_SETCURSEL, 1);
    Click(ButtonPoint());
    ASSERT_TRUE(Dropped());
    codes.clear();
    InjectMouse(MouseAction::Move, MouseButton::Left, ItemPoint(4));
    Click(other->ClientToScreen({10, 10}));
    EXPECT_FALSE(Dropped());
    EXPECT_EQ(other_clicks, 0) << "the press that closed the list went nowhere else";
    EXPECT_EQ(Sel(), 1) << "the item under the pointer was never taken";
    EXPECT_EQ(codes, (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
    // A second press on the button while it is open closes it too.
    Click(ButtonPoint());
    InjectMouse(MouseAction::Down, MouseButton::Left, ButtonPoint());
    Pump();
    EXPECT_FALSE(Dropped());
    InjectMouse(MouseAction::Up, MouseButton::Left, ButtonPoint());
    Pump();
    // Another window taking the mouse closes it as well.
    Click(ButtonPoint());
    ASSERT_TRUE(Dropped());
    SetCapture(other->Handle());
    EXPECT_FALSE(Dropped());
    ReleaseCapture();
}

TEST_F(ComboBoxTest, KeysOfTheDropDownList) {
    Make(CBS_DROPDOWNLIST);
    SetFocus(combo);
    Pump();
    struct Step {
        UINT vk;
        unsigned mods;
        int sel;
        bool dropped;
        int changes;  // CBN_SELCHANGE so far
    };
    const Step steps[] = {
        {VK_DOWN, 0, 0, false, 1},  // nothing selected: the first item
        {VK_DOWN, 0, 1, false, 2},   {VK_END, 0, 4, false, 3},   {VK_DOWN, 0, 4, false, 3},  // no further than the last
        {VK_HOME, 0, 0, false, 4},   {VK_F4, 0, 0, true, 4},     {VK_DOWN, 0, 1, true, 5},    {VK_DOWN, 0, 2, true, 6},
        {VK_ESCAPE, 0, 0, false, 7},  // Escape goes back to the item selected when the list opened
        {VK_DOWN, kAlt, 0, true, 7}, {VK_NEXT, 0, 4, true, 8},   {VK_RETURN, 0, 4, false, 8},  // Enter takes it
        {VK_UP, kAlt, 4, true, 8},   {VK_UP, kAlt, 4, false, 8}, {'I', 0, 4, false, 8},
    };
    for (const Step& s : steps) {
        Key(s.vk, s.mods);
        EXPECT_EQ(Sel(), s.sel) << s.vk;
        EXPECT_EQ(Dropped(), s.dropped) << s.vk;
        EXPECT_EQ(std::count(codes.begin(), codes.end(), int(CBN_SELCHANGE)), s.changes) << s.vk;
    }
    // A character selects the next item that starts with it.
    SendMessage(combo, CB_INSERTSTRING, 2, LPARAM("apple"));
    SendMessage(combo, CB_SETCURSEL, 0);
    InjectChar('A');
    Pump();
    EXPECT_EQ(Sel(), 2);
}

TEST_F(ComboBoxTest, TheEditableStylesKeepTheEditAndTheListInStep) {
    Make(CBS_DROPDOWN);
    const HWND edit = Info().hwndItem;
    SetFocus(combo);
    Pump();
    EXPECT_EQ(GetFocus(), edit) << "the focus goes on to the edit";
    for (char c : std::string("item 2")) InjectChar(c);
    Pump();
    EXPECT_EQ(GetWindowText(combo), "item 2");
    EXPECT_EQ(Sel(), -1) << "a typed text is no item's, even when it names one";
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(CBN_EDITCHANGE)), 6);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(CBN_SELCHANGE)), 0);
    Key(VK_DOWN);
    EXPECT_EQ(Sel(), 0);
    EXPECT_EQ(GetWindowText(edit), "Item 0");
    EXPECT_EQ(EditSelection(edit), (std::pair<int, int>{0, 6})) << "the text taken from the list is selected";
    Key(VK_F4);
    EXPECT_TRUE(Dropped());
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_FALSE(Dropped());
    EXPECT_EQ(GetWindowText(combo), "Item 1");
    // Setting the text from outside is no edit change, and leaves no item selected.
    codes.clear();
    SetWindowText(combo, "Item 4");
    EXPECT_EQ(Sel(), -1);
    EXPECT_TRUE(codes.empty());
    // In an open list typing shows the first item the text begins.
    SendMessage(combo, CB_SETMINVISIBLE, 2);
    SetWindowText(combo, "Item 3x");
    SendMessage(combo, CB_SETEDITSEL, 0, MAKELPARAM(7, 7));
    Key(VK_F4);
    EXPECT_EQ(SendMessage(Info().hwndList, LB_GETTOPINDEX), 0);
    InjectChar('\b');
    Pump();
    EXPECT_EQ(SendMessage(Info().hwndList, LB_GETTOPINDEX), 3);
    Key(VK_ESCAPE);
    // A click into the edit part does not open the list; the button does.
    const TRect field = Info().rcItem;
    Click(ClientToScreen(combo, {field.left + 5, field.top + 5}));
    EXPECT_FALSE(Dropped());
    Click(ButtonPoint());
    EXPECT_TRUE(Dropped());
    EXPECT_EQ(GetFocus(), edit);
}

TEST_F(ComboBoxTest, ASimpleComboBoxShowsItsListBelowTheEdit) {
    Make(CBS_SIMPLE);
    const COMBOBOXINFO info = Info();
    const TRect list = GetWindowRect(info.hwndList);
    EXPECT_EQ(list.top, GetWindowRect(info.hwndItem).bottom + 3);
    EXPECT_EQ(list.bottom, GetWindowRect(combo).bottom);
    Click(ItemPoint(2));
    EXPECT_EQ(Sel(), 2);
    EXPECT_EQ(GetWindowText(info.hwndItem), "Item 2");
    EXPECT_EQ(GetFocus(), info.hwndItem) << "a click in the list leaves the focus in the edit";
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(CBN_SELCHANGE)), 1);
    Key(VK_F4);
    EXPECT_FALSE(Dropped()) << "nothing to drop";
}

TEST_F(ComboBoxTest, OwnerDrawnItemsAreMeasuredAndDrawnByTheParent) {
    owner_height = 20;
    Make(CBS_DROPDOWNLIST, 12, CBS_OWNERDRAWFIXED);
    EXPECT_EQ(measured, (std::vector<int>{-1, 0})) << "the field, then the items";
    EXPECT_EQ(SendMessage(combo, CB_GETITEMHEIGHT, WPARAM(-1)), 22);
    EXPECT_EQ(SendMessage(combo, CB_GETITEMHEIGHT, 0), 20);
    EXPECT_EQ(GetWindowRect(combo).Height(), 28);
    // No selection: the class fills the field itself.
    InvalidateRect(combo, nullptr, false);
    Pump();
    EXPECT_TRUE(field_drawn.empty());
    SendMessage(combo, CB_SETCURSEL, 3);
    Pump();
    EXPECT_EQ(field_drawn, (std::vector<int>{3}));
    const TRect item = Info().rcItem;
    EXPECT_EQ(WindowPixel(combo, {item.left + 3, item.top + 3}), 0xFF0000u) << "the field drawn as the field";
    drawn.clear();
    Click(ButtonPoint());
    const HWND list = Info().hwndList;
    EXPECT_EQ(GetWindowRect(list).Height(), 8 * 20 + 2) << "eight items and the border";
    EXPECT_EQ(drawn, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7})) << "the items shown, each once";
    EXPECT_EQ(WindowPixel(list, ScreenToClient(list, ItemPoint(3))), 0x0000FFu) << "the selected item";
    EXPECT_EQ(WindowPixel(list, ScreenToClient(list, ItemPoint(4))), 0x00FF00u);
    // The list's own scroll bar works while the list holds the mouse, and it keeps it.
    const TRect bar = ScrollBarRect(list, SB_VERT);
    const TRect lw = GetWindowRect(list);
    const TPoint down_arrow{lw.left + bar.left + 3, lw.top + bar.bottom - 3};
    Click(down_arrow);
    EXPECT_TRUE(Dropped());
    EXPECT_EQ(SendMessage(list, LB_GETTOPINDEX), 1);
    EXPECT_EQ(GetCapture(), list);
    Click(ItemPoint(8));  // the last row shown now
    EXPECT_EQ(Sel(), 8);
}

TEST_F(ComboBoxTest, TheFieldAndTheButtonInPixels) {
    Make(CBS_DROPDOWNLIST);
    SendMessage(combo, CB_SETCURSEL, 1);
    Pump();
    const TRect item = Info().rcItem, button = Info().rcButton;
    const TPoint mid{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    struct Probe {
        const char* what;
        TPoint at;
        COLORREF colour;
    };
    auto check = [&](const std::vector<Probe>& probes, const char* state) {
        Pump();
        for (const Probe& p : probes) EXPECT_EQ(WindowPixel(combo, p.at), p.colour) << state << ": " << p.what;
    };
    check({{"field", {item.right - 3, item.top + 2}, GetSysColor(COLOR_WINDOW)},
           {"arrow", {mid.x, mid.y}, GetSysColor(COLOR_BTNTEXT)},
           {"button face", {mid.x, button.top + 3}, GetSysColor(COLOR_BTNFACE)},
           {"sunken frame", {0, 5}, GetSysColor(COLOR_BTNSHADOW)}},
          "unfocused");
    SetFocus(combo);
    check({{"field", {item.right - 3, item.top + 2}, GetSysColor(COLOR_HIGHLIGHT)}}, "focused");
    EnableWindow(combo, false);
    check({{"arrow", {mid.x, mid.y}, GetSysColor(COLOR_GRAYTEXT)}}, "disabled");
    testing_ui::SavePicture(combo, "combo_box_field");
}

}  // namespace
}  // namespace ui
