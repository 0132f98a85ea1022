// The list box class and the class library's list box and combo box: items
// kept across a new window, events of the user's choices, focus and dialog
// keys through the combo box's edit, owner drawing on the control's canvas.
#include <string>
#include <vector>

#include "framework/ui/list_controls.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class ListControlsTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = ui::Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 320, 240);
        form->Show();
        Pump();
    }
    template <class T>
    T* Add(int x, int y, int w, int h, int tab_order) {
        auto* c = new T(form.get());
        c->SetParent(form.get());
        c->SetBounds(x, y, w, h);
        c->TabOrder = tab_order;
        return c;
    }
    COLORREF Pixel(TWinControl* c, TPoint client) {
        const TRect w = GetWindowRect(form->Handle());
        const TPoint s = c->ClientToScreen(client);
        return GetWindowSurface(form->Handle())->Pixel(s.x - w.left, s.y - w.top);
    }
    Owned<TForm> form;
};

TEST_F(ListControlsTest, ListBoxMessages) {
    CreateParams p;
    p.class_name = "LISTBOX";
    p.style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_SORT;
    p.parent = form->Handle();
    p.rect = {10, 10, 110, 100};
    const HWND list = CreateWindow(p);
    // Five rows exactly.
    MoveWindow(list, 10, 10, 100, 5 * int(SendMessage(list, LB_GETITEMHEIGHT)));
    int changes = 0;
    SubclassWindow(form->Handle(), [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
        if (m == WM_COMMAND && HWND(l) == list && (w >> 16) == LBN_SELCHANGE) ++changes;
        return next(h, m, w, l);
    });
    for (const char* s : {"pear", "Apple", "fig", "banana", "cherry", "date", "elder"})
        SendMessage(list, LB_ADDSTRING, 0, LPARAM(s));
    std::string text;
    SendMessage(list, LB_GETTEXT, 0, LPARAM(&text));
    EXPECT_EQ(text, "Apple") << "sorted without regard to case";
    struct Case {
        UINT msg;
        WPARAM w;
        const char* l;
        LRESULT result;
    };
    const Case cases[] = {
        {LB_GETCOUNT, 0, nullptr, 7},
        {LB_FINDSTRING, WPARAM(-1), "CH", 2},
        {LB_FINDSTRING, 2, "ch", 2},  // going round from after item 2
        {LB_FINDSTRINGEXACT, WPARAM(-1), "fi", LB_ERR},
        {LB_FINDSTRINGEXACT, WPARAM(-1), "FIG", 5},
        {LB_SETCURSEL, 4, nullptr, 4},
        {LB_SETCURSEL, 7, nullptr, LB_ERR},
        {LB_GETCURSEL, 0, nullptr, -1},  // a bad index clears the selection
        {LB_SELECTSTRING, WPARAM(-1), "d", 3},
        {LB_GETCURSEL, 0, nullptr, 3},
        {LB_DELETESTRING, 1, nullptr, 6},
        {LB_GETCURSEL, 0, nullptr, 2},  // the selection moved up with its item
        {LB_DELETESTRING, 2, nullptr, 5},
        {LB_GETCURSEL, 0, nullptr, -1},  // and went with it
        {LB_GETTEXTLEN, 9, nullptr, LB_ERR},
        {LB_SETITEMHEIGHT, 0, nullptr, LB_ERR},  // a height of 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendMessage(list, c.msg, c.w, LPARAM(c.l)), c.result) << std::hex << c.msg << " " << (c.l ? c.l : "");
    EXPECT_EQ(changes, 0) << "messages are no user's choice";
    // Keys and the mouse are.
    SetFocus(list);
    Key(VK_DOWN);
    Key(VK_END);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL), 4);
    EXPECT_EQ(SendMessage(list, LB_GETTOPINDEX), 0) << "all five fit";
    SendMessage(list, LB_ADDSTRING, 0, LPARAM("zucchini"));
    Key(VK_END);
    EXPECT_EQ(SendMessage(list, LB_GETTOPINDEX), 1) << "the last item is brought into view";
    const TRect wr = GetWindowRect(list);
    Click({wr.left + 10, wr.top + 6});
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL), 1);
    InjectChar('p');
    Pump();
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL), 4);
    EXPECT_EQ(changes, 5);
    InjectMouse(MouseAction::Wheel, MouseButton::Left, {wr.left + 10, wr.top + 6}, 0, 120);
    Pump();
    EXPECT_EQ(SendMessage(list, LB_GETTOPINDEX), 0);
}

TEST_F(ListControlsTest, ComboBoxItemsAndSelectionOutliveItsWindow) {
    auto* combo = Add<TComboBox>(10, 10, 150, 21, 0);
    for (const char* s : {"one", "two", "three"}) combo->Items()->Add(s);
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->GetText(), "two");
    combo->SetStyle(csDropDownList);
    EXPECT_EQ(combo->GetText(), "two");
    combo->HandleNeeded();
    EXPECT_EQ(SendMessage(combo->Handle(), CB_GETCOUNT), 3);
    combo->Items()->Insert(0, "zero");
    EXPECT_EQ(combo->ItemIndex(), 2) << "the selection stays with its item";
    combo->Items()->Put(2, "TWO");
    EXPECT_EQ(combo->GetText(), "TWO");
    combo->SetStyle(csDropDown);  // a new window
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(combo->GetText(), "TWO");
    EXPECT_NE(combo->EditHandle(), 0u);
    combo->SetText("three");
    EXPECT_EQ(combo->ItemIndex(), -1) << "a text set in an editable style is no item's";
    combo->SetSorted(true);
    EXPECT_EQ(combo->Items()->Text(), "one\r\nthree\r\nTWO\r\nzero\r\n");
    combo->Clear();
    EXPECT_EQ(combo->GetText(), "");
    EXPECT_EQ(SendMessage(combo->Handle(), CB_GETCOUNT), 0);
}

TEST_F(ListControlsTest, EventsFollowTheUsersChoicesOnly) {
    auto* combo = Add<TComboBox>(10, 10, 150, 21, 0);
    combo->SetStyle(csDropDownList);
    for (const char* s : {"one", "two", "three"}) combo->Items()->Add(s);
    std::vector<std::string> events;
    combo->OnChange = [&](TObject*) { events.push_back("change " + combo->GetText()); };
    combo->OnClick = [&](TObject*) { events.push_back("click"); };
    combo->OnDropDown = [&](TObject*) { events.push_back("drop"); };
    combo->OnCloseUp = [&](TObject*) { events.push_back("close"); };
    combo->OnSelect = [&](TObject*) { events.push_back("select"); };
    combo->SetItemIndex(0);
    EXPECT_TRUE(events.empty());
    combo->SetFocus();
    Key(VK_DOWN);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "select", "change two"}));
    events.clear();
    combo->SetDroppedDown(true);
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(events, (std::vector<std::string>{"drop", "click", "select", "change three", "close"}));
    EXPECT_FALSE(combo->DroppedDown());
}

TEST_F(ListControlsTest, FocusAndDialogKeysThroughTheEditOfAComboBox) {
    auto* first = Add<TEdit>(10, 10, 100, 21, 0);
    auto* combo = Add<TComboBox>(10, 40, 150, 21, 1);
    auto* last = Add<TEdit>(10, 70, 100, 21, 2);
    auto* ok = Add<TButton>(200, 200, 75, 25, 3);
    ok->SetDefault(true);
    int oks = 0, enters = 0, exits = 0;
    ok->OnClick = [&](TObject*) { ++oks; };
    combo->OnEnter = [&](TObject*) { ++enters; };
    combo->OnExit = [&](TObject*) { ++exits; };
    for (const char* s : {"alpha", "beta"}) combo->Items()->Add(s);
    std::vector<UINT> keys;
    combo->OnKeyDown = [&](TObject*, UINT& key, TShiftState) { keys.push_back(key); };
    first->SetFocus();
    Pump();
    Key(VK_TAB);
    EXPECT_TRUE(combo->Focused());
    EXPECT_EQ(GetFocus(), combo->EditHandle());
    EXPECT_EQ(form->ActiveControl(), combo);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 0) << "the move on to the edit is no exit";
    InjectChar('b');
    Pump();
    EXPECT_EQ(combo->GetText(), "b");
    Key(VK_RETURN);
    EXPECT_EQ(oks, 1) << "Enter in the edit is the form's";
    Key(VK_F4);
    Key(VK_RETURN);
    EXPECT_EQ(oks, 1) << "Enter in an open list is the list's";
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(keys, (std::vector<UINT>{VK_F4, VK_RETURN})) << "a dialog key the form took is no key of the control";
    Key(VK_TAB);
    EXPECT_TRUE(last->Focused());
    EXPECT_EQ(exits, 1);
    // A click straight into the edit enters the combo box too.
    const TRect edit = GetWindowRect(combo->EditHandle());
    Click({edit.left + 5, edit.top + 5});
    EXPECT_EQ(enters, 2);
    EXPECT_EQ(form->ActiveControl(), combo);
}

TEST_F(ListControlsTest, OwnerDrawnItemsAreDrawnOnTheControlsCanvas) {
    auto* box = Add<TListBox>(10, 10, 120, 100, 0);
    auto* combo = Add<TComboBox>(150, 10, 120, 21, 1);
    std::vector<int> measured;
    combo->OnMeasureItem = [&](TWinControl*, int index, int& height) {
        measured.push_back(index);
        EXPECT_EQ(height, 17);
    };
    box->SetItemHeight(18);
    box->SetStyle(lbOwnerDrawFixed);
    combo->SetItemHeight(17);
    combo->SetStyle(csOwnerDrawFixed);
    // Each fills the item in the brush the control chose for its state, and
    // marks the items that are not selected.
    auto drawer = [](TCanvas* canvas) {
        return [canvas](TWinControl*, int, TRect r, unsigned state) {
            canvas->FillRect(r);
            if (!(state & odSelected)) canvas->FillRect({r.left + 2, r.top + 2, r.left + 6, r.top + 6});
        };
    };
    box->OnDrawItem = drawer(box->Canvas());
    combo->OnDrawItem = drawer(combo->Canvas());
    box->SetColor(clYellow);
    for (const char* s : {"a", "b", "c"}) box->Items()->Add(s), combo->Items()->Add(s);
    box->SetItemIndex(1);
    combo->SetItemIndex(2);
    Pump();
    EXPECT_EQ(measured, (std::vector<int>{-1, 0}));
    EXPECT_EQ(box->ItemHeight(), 18);
    EXPECT_EQ(combo->ItemHeight(), 17);
    EXPECT_EQ(Pixel(box, {60, 18 + 9}), ColorToRGB(clHighlight)) << "the selected item";
    EXPECT_EQ(Pixel(box, {60, 9}), ColorToRGB(clYellow)) << "the others in the control's colour";
    EXPECT_EQ(Pixel(box, {60, 80}), ColorToRGB(clYellow)) << "below the items";
    EXPECT_EQ(Pixel(combo, {30, 10}), ColorToRGB(clWindow)) << "the field of a combo box without the focus";
    combo->SetFocus();
    Pump();
    EXPECT_EQ(Pixel(combo, {30, 10}), ColorToRGB(clHighlight)) << "and with it";
    testing_ui::SavePicture(form->Handle(), "list_controls");
}

}  // namespace
}  // namespace ui
