// The class library's menus: items as their menu handles show them, changes
// and their notifications, dispatching, shortcuts and accelerators, a form's
// main menu and a control's popup menu driven by injected input, and the
// popup list's window.
#include "framework/ui/menus.hpp"
#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

using testing_ui::QueueKey;

class MenusTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = Make<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override {
        form.reset();
        UiTest::TearDown();
    }
    TMenuItem* Item(TComponent* owner, const std::string& caption, TMenuItem* parent,
                    std::vector<std::string>* clicks = nullptr) {
        auto* item = new TMenuItem(owner);
        item->SetCaption(caption);
        if (clicks) item->OnClick = [clicks, caption](TObject*) { clicks->push_back(caption); };
        parent->Add(item);
        return item;
    }
    Owned<TForm> form;
};

TEST_F(MenusTest, ShortcutTextsAndAccelerators) {
    struct Case {
        TShortCut shortcut;
        std::string text;
    };
    const Case cases[] = {
        {TShortCut('S' | scCtrl), "Ctrl+S"},
        {TShortCut(0x79 | scShift), "Shift+F10"},
        {TShortCut(VK_DELETE), "Del"},
        {TShortCut(VK_RETURN | scAlt | scCtrl), "Ctrl+Alt+Enter"},
        {TShortCut('5' | scShift | scCtrl | scAlt), "Shift+Ctrl+Alt+5"},
        {TShortCut(VK_PRIOR), "PgUp"},
        {0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShortCutToText(c.shortcut), c.text);
        EXPECT_EQ(TextToShortCut(c.text), c.shortcut) << c.text;
    }
    EXPECT_EQ(TextToShortCut("alt+ctrl+enter"), TShortCut(VK_RETURN | scAlt | scCtrl));
    EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
    EXPECT_EQ(TextToShortCut("Ctrl+Nothing"), 0);
    EXPECT_EQ(ShortCutToText(TShortCut(0xE9)), "");  // no name for the key
    UINT key = 0;
    TShiftState shift = 0;
    ShortCutToKey(ShortCut('S', ssCtrl | ssShift), key, shift);
    EXPECT_EQ(key, UINT('S'));
    EXPECT_EQ(shift, TShiftState(ssCtrl | ssShift));

    struct Hot {
        std::string caption, stripped;
        char hotkey;
    };
    const Hot hots[] = {
        {"&File", "File", 'F'},       {"Find && &Replace...", "Find & Replace...", 'R'},
        {"E&xit", "Exit", 'X'},       {"No mark", "No mark", 0},
        {"Trailing&", "Trailing", 0}, {"&&&a", "&a", 'A'},
    };
    for (const Hot& h : hots) {
        EXPECT_EQ(StripHotkey(h.caption), h.stripped) << h.caption;
        EXPECT_EQ(GetHotkey(h.caption), h.hotkey) << h.caption;
        if (h.hotkey) {
            EXPECT_TRUE(IsAccel(UINT(h.hotkey), h.caption));
            EXPECT_TRUE(IsAccel(UINT(std::tolower(h.hotkey)), h.caption));
        }
    }
    EXPECT_FALSE(IsAccel('F', "No mark"));
}

TEST_F(MenusTest, ItemsShowInTheirParentsHandle) {
    auto menu = Make<TPopupMenu>(nullptr);
    TMenuItem* root = menu->Items();
    TMenuItem* open = Item(menu.get(), "&Open", root);
    open->SetShortCut(ShortCut('O', ssCtrl));
    open->SetDefault(true);
    Item(menu.get(), "-", root);
    TMenuItem* hidden = Item(menu.get(), "Hidden", root);
    hidden->SetVisible(false);
    TMenuItem* grey = Item(menu.get(), "Grey", root);
    grey->SetEnabled(false);
    grey->SetBreak(mbBarBreak);
    TMenuItem* view = Item(menu.get(), "&View", root);
    TMenuItem* a = Item(menu.get(), "A", view);
    TMenuItem* b = Item(menu.get(), "B", view);
    a->SetRadioItem(true), b->SetRadioItem(true);
    a->SetChecked(true);
    b->SetChecked(true);  // unchecks a: one group
    const HMENU h = menu->Handle();
    ASSERT_EQ(GetMenuItemCount(h), 4);  // the hidden item is not there
    struct Case {
        int position;
        std::string text;
        UINT state;
    };
    const Case cases[] = {
        {0, "&Open\tCtrl+O", MF_DEFAULT},
        {1, "", MF_SEPARATOR},
        {2, "Grey", UINT(MFS_GRAYED) | UINT(MF_MENUBARBREAK)},  // greyed and disabled
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetMenuString(h, UINT(c.position), MF_BYPOSITION), c.text);
        EXPECT_EQ(GetMenuState(h, UINT(c.position), MF_BYPOSITION), c.state) << c.position;
    }
    EXPECT_EQ(GetMenuItemID(h, 0), open->Command());
    EXPECT_EQ(GetSubMenu(h, 3), view->Handle());
    EXPECT_EQ(GetMenuState(view->Handle(), a->Command(), MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(view->Handle(), b->Command(), MF_BYCOMMAND) & MF_CHECKED, UINT(MF_CHECKED));
    EXPECT_FALSE(a->Checked());
    // Changes reach the handle: visible again, moved, removed.
    hidden->SetVisible(true);
    EXPECT_EQ(GetMenuItemCount(h), 5);
    hidden->SetMenuIndex(0);
    EXPECT_EQ(GetMenuString(h, 0, MF_BYPOSITION), "Hidden");
    root->Remove(hidden);
    EXPECT_EQ(GetMenuItemCount(h), 4);
    EXPECT_EQ(hidden->Parent(), nullptr);
    Free(hidden);
    // Captions are found without their marks and case.
    EXPECT_EQ(root->Find("open"), open);
    EXPECT_EQ(root->Find("view"), view);
    EXPECT_EQ(root->Find("none"), nullptr);
    EXPECT_THROW(root->Add(a), EInvalidOperation);  // already in a menu
    EXPECT_THROW(root->Items(9), EListError);
}

TEST_F(MenusTest, CommandsAreUniqueAndFreedWithTheirItems) {
    auto menu = Make<TMainMenu>(nullptr);
    TMenuItem* x = Item(menu.get(), "X", menu->Items());
    TMenuItem* y = Item(menu.get(), "Y", x);
    EXPECT_NE(x->Command(), y->Command());
    const UINT freed = y->Command();
    EXPECT_EQ(menu->FindItem(freed, fkCommand), y);
    Free(y);  // leaves its parent
    EXPECT_EQ(x->Count(), 0);
    EXPECT_EQ(menu->FindItem(freed, fkCommand), nullptr);
    auto* z = new TMenuItem(menu.get());
    EXPECT_EQ(z->Command(), freed);
    x->Add(z);
    // Freeing a parent frees its items, whoever owns them.
    menu->Items()->Delete(0);
    EXPECT_EQ(menu->Items()->Count(), 0);
    EXPECT_EQ(menu->FindItem(freed, fkCommand), nullptr);
}

TEST_F(MenusTest, DispatchingFindsItemsByCommandHandleAndShortcut) {
    auto menu = Make<TMainMenu>(nullptr);
    std::vector<std::string> clicks;
    TMenuItem* file = Item(menu.get(), "&File", menu->Items(), &clicks);
    TMenuItem* save = Item(menu.get(), "&Save", file, &clicks);
    save->SetShortCut(ShortCut('S', ssCtrl));
    TMenuItem* off = Item(menu.get(), "&Off", file, &clicks);
    off->SetShortCut(ShortCut('O', ssCtrl));
    off->SetEnabled(false);
    EXPECT_TRUE(menu->DispatchCommand(save->Command()));
    EXPECT_TRUE(menu->DispatchPopup(file->Handle()));
    EXPECT_FALSE(menu->DispatchCommand(60000));
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Save", "&File"}));
    clicks.clear();
    EXPECT_EQ(menu->FindItem(file->Handle(), fkHandle), file);
    EXPECT_EQ(menu->FindItem(ShortCut('S', ssCtrl), fkShortCut), save);
    EXPECT_TRUE(menu->IsShortCut('S', ssCtrl));
    EXPECT_FALSE(menu->IsShortCut('S', ssShift));
    EXPECT_FALSE(menu->IsShortCut('O', ssCtrl));  // disabled
    file->SetVisible(false);
    EXPECT_FALSE(menu->IsShortCut('S', ssCtrl));  // its parent is hidden
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Save"}));
    // WM_MENUCHAR: the enabled, visible item the character marks.
    file->SetVisible(true);
    EXPECT_EQ(menu->ProcessMenuChar('s', file->Handle()), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(menu->ProcessMenuChar('o', file->Handle()), 0);  // disabled
    EXPECT_EQ(menu->ProcessMenuChar('q', file->Handle()), 0);
}

TEST_F(MenusTest, AFormShowsItsMainMenuAndRunsItsCommands) {
    auto menu = Make<TMainMenu>(form.get());
    std::vector<std::string> clicks;
    TMenuItem* file = Item(form.get(), "&File", menu->Items(), &clicks);
    TMenuItem* open = Item(form.get(), "&Open", file, &clicks);
    Item(form.get(), "E&xit", file, &clicks)->SetShortCut(ShortCut('Q', ssCtrl));
    open->SetHint("Open|Opens a file");
    form->Show();
    Pump();
    const int client = form->ClientHeight();
    form->SetMenu(menu.get());
    Pump();
    const HWND h = form->WindowHandle();
    EXPECT_EQ(GetMenu(h), menu->Handle());
    EXPECT_EQ(form->ClientHeight(), client - GetMenuBarHeight(h));
    // Alt+F, down, enter: the drop-down's parent clicked as it opens, then Open.
    std::string hint_seen;
    Application().OnHint = [&](TObject*) {
        if (!Application().Hint().empty()) hint_seen = Application().Hint();
    };
    QueueKey('F', kAlt);
    QueueKey(VK_DOWN);  // from Open to Exit and back
    QueueKey(VK_UP);
    QueueKey(VK_RETURN);
    Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"&File", "&Open"}));
    EXPECT_EQ(hint_seen, "Opens a file");
    EXPECT_EQ(Application().Hint(), "");  // cleared as the menu closed
    Application().OnHint = nullptr;
    // A shortcut without the menu.
    clicks.clear();
    QueueKey('Q', kControl);
    Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"E&xit"}));
    // A new top-level item shows on the bar at once; freeing the menu takes the bar away.
    Item(form.get(), "&Help", menu->Items());
    TRect help;
    EXPECT_TRUE(GetMenuItemRect(h, menu->Handle(), 1, help));
    menu.reset();
    EXPECT_EQ(form->Menu(), nullptr);
    EXPECT_EQ(GetMenu(h), 0u);
    EXPECT_EQ(form->ClientHeight(), client);
}

TEST_F(MenusTest, ChangesAreTold) {
    auto main_menu = Make<TMainMenu>(form.get());
    TMenuItem* top = Item(form.get(), "&Top", main_menu->Items());
    form->SetMenu(main_menu.get());
    form->Show();
    Pump();
    int form_told = 0, list_told = 0;
    SubclassWindow(form->WindowHandle(), [&](HWND hw, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
        if (m == CM_MENUCHANGED) ++form_told;
        return next(hw, m, w, l);
    });
    auto popup = Make<TPopupMenu>(nullptr);
    TMenuItem* p = Item(popup.get(), "P", popup->Items());
    SubclassWindow(PopupListWindow(), [&](HWND hw, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
        if (m == CM_MENUCHANGED) ++list_told;
        return next(hw, m, w, l);
    });
    struct Case {
        const char* name;
        std::function<void()> change;
        int form, list;
    };
    const Case cases[] = {
        {"caption", [&] { top->SetCaption("&Other"); }, 1, 0},
        {"the same caption again", [&] { top->SetCaption("&Other"); }, 0, 0},
        {"checked", [&] { p->SetChecked(true); }, 0, 1},
        {"a new item", [&] { Item(popup.get(), "Q", popup->Items()); }, 0, 1},
        {"shortcut", [&] { top->SetShortCut(ShortCut(VK_F1, 0)); }, 1, 0},
    };
    for (const Case& c : cases) {
        form_told = list_told = 0;
        c.change();
        EXPECT_EQ(form_told, c.form) << c.name;
        EXPECT_EQ(list_told, c.list) << c.name;
    }
    EXPECT_EQ(GetMenuString(form->Menu()->Handle(), 0, MF_BYPOSITION), "&Other\tF1");
}

TEST_F(MenusTest, ARightClickPopsTheControlsMenuUp) {
    auto popup = Make<TPopupMenu>(form.get());
    std::vector<std::string> clicks;
    Item(form.get(), "&Copy", popup->Items(), &clicks);
    Item(form.get(), "&Paste", popup->Items(), &clicks);
    auto* panel = new TPanel(form.get());
    panel->SetBounds(10, 10, 200, 100);
    panel->SetParent(form.get());
    panel->SetPopupMenu(popup.get());
    int popped = 0;
    popup->OnPopup = [&](TObject*) { ++popped; };
    form->Show();
    Pump();
    const TPoint at = panel->ClientToScreen({50, 40});
    InjectMouse(MouseAction::Down, MouseButton::Right, at);
    InjectMouse(MouseAction::Up, MouseButton::Right, at);
    QueueKey(VK_DOWN), QueueKey(VK_DOWN), QueueKey(VK_RETURN);
    Pump();
    EXPECT_EQ(popped, 1);
    EXPECT_EQ(popup->PopupComponent(), panel);
    EXPECT_EQ(popup->PopupPoint(), at);
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Paste"}));
    // No automatic popup: nothing happens.
    popup->AutoPopup = false;
    InjectMouse(MouseAction::Down, MouseButton::Right, at);
    InjectMouse(MouseAction::Up, MouseButton::Right, at);
    Pump();
    EXPECT_EQ(popped, 1);
    // Freeing the menu clears the control's link.
    popup.reset();
    EXPECT_EQ(panel->PopupMenu(), nullptr);
}

TEST_F(MenusTest, ThePopupListWindowSetsTheHintOfTheItemSelected) {
    // The hidden window answers WM_MENUSELECT for any popup menu's item,
    // which is how a component can tell it from other hidden windows.
    auto popup = Make<TPopupMenu>(nullptr);
    TMenuItem* item = Item(popup.get(), "Probe", popup->Items());
    item->SetHint("TPUtilWindow");
    const HWND list = PopupListWindow();
    EXPECT_EQ(GetClassName(list), "TPUtilWindow");
    int hidden_windows = 0, answering = 0;
    for (HWND h : GetTopLevelWindows()) {
        if (GetClassName(h) != "TPUtilWindow") continue;
        ++hidden_windows;
        Application().SetHint("");
        SendMessage(h, WM_MENUSELECT, MAKEWPARAM(int(item->Command()), 0), LPARAM(popup->Handle()));
        if (Application().Hint() == "TPUtilWindow") {
            ++answering;
            EXPECT_EQ(h, list);
        }
    }
    EXPECT_GE(hidden_windows, 1);
    EXPECT_EQ(answering, 1);
    // Its commands run the item (posted after a popup closes).
    int clicked = 0;
    item->OnClick = [&](TObject*) { ++clicked; };
    PostMessage(list, WM_COMMAND, item->Command(), 0);
    Pump();
    EXPECT_EQ(clicked, 1);
}

TEST_F(MenusTest, AnItemShowsItsImageBesideTheCaption) {
    const auto owned_images = ui::Make<TImageList>(nullptr, 12, 12);
    TImageList& images = *owned_images;
    TBitmap red;
    red.SetSize(12, 12);
    red.Canvas()->Brush()->SetColor(clRed);
    red.Canvas()->FillRect({0, 0, 12, 12});
    images.Add(&red, nullptr);
    auto popup = Make<TPopupMenu>(nullptr);
    popup->SetImages(&images);
    TMenuItem* pictured = Item(popup.get(), "Pictured", popup->Items());
    Item(popup.get(), "Plain", popup->Items());
    pictured->SetImageIndex(0);
    form->Show();
    Pump();
    int red_pixels = -1, plain_red = -1;
    const SubclassToken token =
        SubclassWindow(PopupListWindow(), [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
            if (m != WM_ENTERIDLE || red_pixels >= 0) return next(h, m, w, l);
            const HWND window = OpenMenuWindows().at(0);
            const TRect wr = GetWindowRect(window);
            auto count = [&](int position) {
                TRect r;
                GetMenuItemRect(0, popup->Handle(), UINT(position), r);
                int n = 0;
                for (int y = r.top; y < r.bottom; ++y)
                    for (int x = r.left; x < r.left + GetSystemMetrics(SM_CXMENUCHECK) + 4; ++x)
                        n += GetWindowSurface(window)->Pixel(x - wr.left, y - wr.top) == RGB(255, 0, 0);
                return n;
            };
            red_pixels = count(0), plain_red = count(1);
            EndMenu();
            return LRESULT(0);
        });
    popup->Popup(150, 150);
    RemoveSubclass(PopupListWindow(), token);
    EXPECT_EQ(red_pixels, 12 * 12);  // the whole image, in the check mark's place
    EXPECT_EQ(plain_red, 0);
    // Taking the images away takes the picture away.
    popup->SetImages(nullptr);
    MENUITEMINFO info;
    info.fMask = MIIM_BITMAP;
    GetMenuItemInfo(popup->Handle(), pictured->Command(), false, info);
    EXPECT_FALSE(info.hbmpItem);
}

}  // namespace
}  // namespace ui
