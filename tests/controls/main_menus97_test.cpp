// The owner-drawn main menu: its bar items drawn like buttons, raised while
// selected and sunken while their drop-down is open, the banner on the first
// drop-down only; and bar mode, where a panel of flat buttons takes the bar's
// place and the keys and the mouse drive it like a bar.
#include "tests/controls/menus97_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class MainMenus97Test : public Menus97Test {
protected:
    // File (Open, Exit) and Edit (Copy), every click logged.
    void Build(bool bar_mode) {
        form = NewForm();
        form->SetBorderStyle(bsSingle);
        main = new TMainMenu(form);
        file = Item(form, "&File", main->Items());
        open = Item(form, "&Open", file);
        Item(form, "E&xit", file);
        edit = Item(form, "&Edit", main->Items());
        copy = Item(form, "&Copy", edit);
        for (TMenuItem* item : {open, copy})
            item->OnClick = [this, item](TObject*) { clicks.push_back(item->Caption()); };
        menus = new TCustomMainMenus97(form);
        menus->SetMainMenu(main);
        menus->MarkMenuItems();
        form->SetMenu(main);
        if (bar_mode) {
            Application().MainForm = form;
            panel = new TCustomMenuBar97(form);
            panel->SetParent(form);
            menus->SetMenuBar(panel);
        }
        form->Show();
        Pump();
    }
    void TearDown() override {
        Application().MainForm = nullptr;
        Menus97Test::TearDown();
    }
    COLORREF BarPixel(int item, int dx, int dy) {
        Pump();
        TRect r;
        GetMenuItemRect(form->WindowHandle(), main->Handle(), UINT(item), r);
        const TRect wr = GetWindowRect(form->WindowHandle());
        return GetWindowSurface(form->WindowHandle())->Pixel(r.left - wr.left + dx, r.top - wr.top + dy);
    }
    void Run(Steps steps, const std::function<void()>& start) {
        WhileOpen(form->WindowHandle(), std::move(steps), [&] {
            start();
            Pump();
        });
        Pump();
    }

    TForm* form = nullptr;
    TMainMenu* main = nullptr;
    TCustomMainMenus97* menus = nullptr;
    TCustomMenuBar97* panel = nullptr;
    TMenuItem *file = nullptr, *open = nullptr, *edit = nullptr, *copy = nullptr;
    std::vector<std::string> clicks;
};

TEST_F(MainMenus97Test, TheBarsItemsAreOwnerDrawnLikeButtons) {
    Build(false);
    EXPECT_EQ(file->Tag, kTopLevelTag);
    EXPECT_EQ(open->Tag, kNoImageTag);
    const HWND h = form->WindowHandle();
    MENUITEMINFO info;
    info.fMask = MIIM_TYPE | MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfo(GetMenu(h), 0, true, info));
    EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
    EXPECT_EQ(info.dwItemData, uintptr_t(menus));
    // Measured: the text and five pixels (the marking '&' not counted).
    TRect r;
    ASSERT_TRUE(GetMenuItemRect(h, main->Handle(), 0, r));
    TBitmap b;
    b.SetSize(1, 1);
    b.Canvas()->Font()->Assign(menus->Font());
    EXPECT_EQ(r.Width(), b.Canvas()->TextWidth("File") + 5);
    EXPECT_EQ(GetMenuBarHeight(h), std::max(GetSystemMetrics(SM_CYMENU), r.Height()));
    // Alt selects File: raised; Down opens it: sunken.
    COLORREF selected = 0, opened = 0;
    menus->Banner = true;
    int file_item_width = 0;
    Run({[&] {
             selected = BarPixel(0, 0, 0);
             Key(VK_DOWN);
         },
         [&] {
             opened = BarPixel(0, 0, 0);
             EXPECT_TRUE(menus->PopupOpen());
             file_item_width = ItemRect(file->Handle(), 0).Width();
             testing_ui::SavePicture(form->WindowHandle(), "menus-bar");
             Key(VK_RIGHT);
         },
         [&] {
             // Edit's items carry no banner.
             EXPECT_LT(ItemRect(edit->Handle(), 0).Width(), file_item_width);
             EXPECT_TRUE(menus->BannerRect().Height() > 0);
             Key(VK_RETURN);
         }},
        [] { Key(VK_MENU); });
    EXPECT_EQ(selected, ColorToRGB(clBtnHighlight));
    EXPECT_EQ(opened, ColorToRGB(clBtnShadow));
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Copy"}));
    EXPECT_FALSE(menus->InMenuLoop());
    EXPECT_EQ(BarPixel(0, 0, 0), ColorToRGB(clBtnFace));
}

TEST_F(MainMenus97Test, BarModePutsFlatButtonsWhereTheBarWas) {
    Build(true);
    const HWND h = form->WindowHandle();
    ASSERT_TRUE(menus->BarMode());
    // The client area starts where the bar does, the panel at its top.
    EXPECT_EQ(ClientToScreen(h, {0, 0}).y - GetWindowRect(h).top, GetMenuBarRect(h).top);
    EXPECT_EQ(panel->Top(), 0);
    EXPECT_EQ(panel->Height(), menus->GetItemHeight() + 1);
    const auto buttons = panel->Buttons();
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0]->Caption(), "&File");
    // Six pixels a character, or what the caption needs when that is more.
    TBitmap b;
    b.SetSize(1, 1);
    b.Canvas()->Font()->Assign(buttons[0]->Font());
    EXPECT_EQ(buttons[0]->Width(), std::max(6 * 5, b.Canvas()->TextWidth("&File") + 12));
    EXPECT_EQ(buttons[1]->Left(), buttons[0]->Width());
    EXPECT_EQ(buttons[1]->DropDownHandle(), edit->Handle());
    EXPECT_TRUE(buttons[0]->Flat());
    // A hidden top-level item hides its button.
    edit->SetVisible(false);
    menus->UpdateMenuBar();
    EXPECT_EQ(panel->VisibleButtonCount(), 1);
    edit->SetVisible(true);
    menus->UpdateMenuBar();
    testing_ui::SavePicture(h, "menus-bar-buttons");
}

TEST_F(MainMenus97Test, TheKeysDriveThePanelLikeABar) {
    Build(true);
    const auto buttons = panel->Buttons();
    Key(VK_MENU);
    Pump();
    EXPECT_TRUE(panel->BarActive());
    EXPECT_TRUE(buttons[0]->MouseInside());
    Key(VK_RIGHT);
    Pump();
    EXPECT_EQ(panel->CurrentIndex(), 1);
    EXPECT_FALSE(buttons[0]->MouseInside());
    // Down drops Edit's menu below its button, nothing selected in it yet.
    TRect drop;
    Run({[&] {
            drop = GetWindowRect(OpenMenuWindows().at(0));
            Key(VK_DOWN), Key(VK_RETURN);
        }},
        [] { Key(VK_DOWN); });
    EXPECT_EQ(drop.left, buttons[1]->ClientToScreen({0, 0}).x);
    EXPECT_EQ(drop.top, buttons[1]->ClientToScreen({0, buttons[1]->Height()}).y);
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Copy"}));
    EXPECT_FALSE(buttons[1]->Pressed());
    // Alt again gives the keyboard back.
    Key(VK_MENU);
    Pump();
    EXPECT_FALSE(panel->BarActive());
    // Alt and a button's letter press it.
    clicks.clear();
    HMENU opened = 0;
    Run({[&] {
            opened = TrackedMenu();
            Key(VK_DOWN), Key(VK_RETURN);
        }},
        [] { Key('E', kAlt); });
    EXPECT_EQ(opened, edit->Handle());
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Copy"}));
}

TEST_F(MainMenus97Test, TheMouseOpensButtonsAndMovesBetweenThem) {
    Build(true);
    const auto buttons = panel->Buttons();
    const TPoint on_file = buttons[0]->ClientToScreen({5, 5});
    std::vector<HMENU> opened;
    auto click = [](TPoint p) {
        InjectMouse(MouseAction::Move, MouseButton::Left, p);
        InjectMouse(MouseAction::Down, MouseButton::Left, p);
        InjectMouse(MouseAction::Up, MouseButton::Left, p);
    };
    // File opens; Right moves to Edit through a press on its button; Enter chooses Copy.
    Run({[&] {
             opened.push_back(TrackedMenu());
             Key(VK_RIGHT);
         },
         [&] {
             opened.push_back(TrackedMenu());
             Key(VK_DOWN), Key(VK_RETURN);
         }},
        [&] { click(on_file); });
    EXPECT_EQ(opened, (std::vector<HMENU>{file->Handle(), edit->Handle()}));
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Copy"}));
    // Moving over the other button opens its menu; a click on the open button closes it.
    opened.clear();
    Run({[&] {
             opened.push_back(TrackedMenu());
             InjectMouse(MouseAction::Move, MouseButton::Left, buttons[1]->ClientToScreen({5, 5}));
         },
         [&] {
             opened.push_back(TrackedMenu());
             click(buttons[1]->ClientToScreen({5, 5}));
         }},
        [&] { click(on_file); });
    EXPECT_EQ(opened, (std::vector<HMENU>{file->Handle(), edit->Handle()}));
    EXPECT_EQ(TrackedMenu(), 0u);
    EXPECT_EQ(Menus97Unit().active_button, nullptr);
    EXPECT_FALSE(buttons[0]->Pressed());
    EXPECT_FALSE(buttons[1]->Pressed());
}

TEST_F(MainMenus97Test, AFreedPanelIsForgotten) {
    const struct {
        const char* name;
        bool replaced;  // another panel took its place first
    } cases[] = {{"the panel freed", false}, {"a panel freed after another took its place", true}};
    for (const auto& c : cases) {
        Build(true);
        TCustomMenuBar97* other = nullptr;
        if (c.replaced) {
            other = new TCustomMenuBar97(form);
            other->SetParent(form);
            menus->SetMenuBar(other);
        }
        Free(panel);
        EXPECT_EQ(menus->MenuBar(), other) << c.name;
        EXPECT_EQ(menus->BarMode(), c.replaced) << c.name;
        Key(VK_MENU);  // the keys go on without the panel
        Pump();
        Key(VK_MENU);
        Pump();
        form->Hide();
    }
}

}  // namespace
}  // namespace controls
