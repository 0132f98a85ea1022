// Owner-drawn popup menus: converting items, measuring them, the banner's
// gradient and caption, the drawn items at chosen pixels, accelerators of
// owner-drawn items, hints and the events, and hooking the popup list's
// window and the owner form by token in any order.
#include <cstdlib>

#include "controls/cvgrdcpt.hpp"
#include "controls/cvutils.hpp"
#include "tests/controls/menus97_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class PopupMenus97Test : public Menus97Test {
protected:
    // A form with a popup menu and a component attached to it: Open
    // (Ctrl+O), a separator, Find && Replace..., Recent > (One), E&xit.
    void Build() {
        form = NewForm();
        popup = new TPopupMenu(form);
        open = Item(form, "&Open", popup->Items());
        open->SetShortCut(ShortCut('O', ssCtrl));
        Item(form, "-", popup->Items());
        find = Item(form, "Find && Replace...", popup->Items());
        recent = Item(form, "Recent", popup->Items());
        one = Item(form, "One", recent);
        exit = Item(form, "E&xit", popup->Items());
        menus = new TPopupMenus97(form);
        menus->SetPopupMenu(popup);
        form->Show();
        Pump();
    }
    // The type and data of an item in its parent's handle.
    static MENUITEMINFO Info(TMenuItem* item) {
        MENUITEMINFO info;
        info.fMask = MIIM_TYPE | MIIM_DATA;
        GetMenuItemInfo(item->Parent()->Handle(), item->Command(), false, info);
        return info;
    }
    int Measure(TMenuItem* item, int* height = nullptr) {
        MEASUREITEMSTRUCT mis{ODT_MENU, 0, item->Command(), 0, 0, uintptr_t(menus)};
        SendMessage(PopupListWindow(), WM_MEASUREITEM, 0, LPARAM(&mis));
        if (height) *height = int(mis.itemHeight);
        return int(mis.itemWidth);
    }
    TSize TextSize(const std::string& text) {
        TBitmap b;
        b.SetSize(1, 1);
        b.Canvas()->Font()->Assign(menus->Font());
        TRect r{0, 0, 0, 0};
        DrawText(*b.Canvas()->Handle(), text, r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        return {r.Width(), r.Height()};
    }
    int TextWidth(const std::string& text) { return TextSize(text).cx; }
    int TextHeight(const std::string& text) { return TextSize(text).cy; }

    TForm* form = nullptr;
    TPopupMenu* popup = nullptr;
    TPopupMenus97* menus = nullptr;
    TMenuItem *open = nullptr, *find = nullptr, *recent = nullptr, *one = nullptr, *exit = nullptr;
};

TEST_F(PopupMenus97Test, ItemsBecomeOwnerDrawnAndGoBack) {
    Build();
    EXPECT_EQ(TCustomPopupMenus97::UtilWindow(), PopupListWindow());
    for (TMenuItem* item : {open, find, recent, one, exit}) {
        const MENUITEMINFO info = Info(item);
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW) << item->Caption();
        EXPECT_EQ(info.dwItemData, uintptr_t(menus)) << item->Caption();
    }
    EXPECT_EQ(Info(popup->Items()->Items(1)).fType, UINT(MFT_SEPARATOR));  // a separator stays one
    EXPECT_EQ(GetSubMenu(popup->Items()->Handle(), 3), recent->Handle());  // and the drop-down stays
    // An item added later is converted as the menu tells of the change.
    TMenuItem* late = Item(form, "Late", popup->Items());
    EXPECT_TRUE(Info(late).fType & MFT_OWNERDRAW);
    // Detached: string items as the menu built them.
    menus->SetPopupMenu(nullptr);
    EXPECT_EQ(Info(open).fType, UINT(MFT_STRING));
    EXPECT_EQ(GetMenuString(popup->Items()->Handle(), open->Command(), MF_BYCOMMAND), "&Open\tCtrl+O");
    EXPECT_EQ(Info(one).fType, UINT(MFT_STRING));
    // Freeing the menu detaches it.
    menus->SetPopupMenu(popup);
    Free(popup);
    EXPECT_EQ(menus->PopupMenu(), nullptr);
}

TEST_F(PopupMenus97Test, ItemsMeasureTheirTextsTheirMarksAndTheBanner) {
    Build();
    int height = 0;
    const int with_amp = Measure(open, &height);
    // One width for the menu's items; a marked '&' is not counted, "&&" counts as one.
    EXPECT_EQ(Measure(find), with_amp);
    EXPECT_EQ(Measure(recent) - with_amp, TextWidth("&"));
    EXPECT_EQ(height, std::max(menus->CheckHeight(), TextHeight("&Open") + 2 + 4));
    // The widest text with a shortcut, the shortcut and two check widths.
    const int widest_with_shortcut = TextWidth("&Open");
    const int widest =
        std::max({TextWidth("Find && Replace..."), TextWidth("Recent") + menus->CheckWidth(), TextWidth("E&xit")});
    const int expected = widest_with_shortcut + TextWidth("Ctrl+O") + menus->CheckWidth() <= widest
        ? menus->CheckWidth() + widest
        : widest_with_shortcut + TextWidth("Ctrl+O") + 2 * menus->CheckWidth();
    EXPECT_EQ(Measure(recent), expected);
    // The banner widens the popup's own items, not a submenu's.
    const int sub = Measure(one);
    menus->Banner = true;
    EXPECT_EQ(Measure(open) - with_amp, menus->BannerWidth);
    EXPECT_EQ(Measure(one), sub);
    // Fixed sizes, and the event's say last.
    menus->ItemHeight = 30, menus->ItemWidth = 99;
    EXPECT_EQ(Measure(open, &height), 99);
    EXPECT_EQ(height, 30);
    menus->OnMeasureItem = [&](TMenu* m, TMenuItem* item, int& h, int& w) {
        EXPECT_EQ(m, popup);
        if (item == exit) h = 7, w = 8;
    };
    EXPECT_EQ(Measure(exit, &height), 8);
    EXPECT_EQ(height, 7);
    // An image list sets the room of the marks and the height.
    const auto owned_images = ui::Make<TImageList>(nullptr, 24, 24);
    TImageList& images = *owned_images;
    menus->ItemHeight = 0;
    menus->SetImages(&images);
    EXPECT_EQ(menus->CheckWidth(), 28);
    Measure(open, &height);
    EXPECT_EQ(height, 28);
    menus->SetImages(nullptr);
    EXPECT_EQ(menus->CheckWidth(), menus->CheckBitmap()->Width() + 4);
}

TEST_F(PopupMenus97Test, TheBannerIsAGradientInBandsWithItsCaptionRunningUp) {
    struct Case {
        int bands;
        TColor from, to;
        std::vector<std::pair<int, COLORREF>> rows;  // row of the banner, colour
    };
    const Case cases[] = {
        // 160 pixels in 16 bands of 10: band i is from + i * (to - from) / 15.
        {16,
         TColor(RGB(255, 0, 0)),
         TColor(RGB(0, 0, 150)),
         {{0, RGB(255, 0, 0)}, {9, RGB(255, 0, 0)}, {10, RGB(238, 0, 10)}, {159, RGB(0, 0, 150)}}},
        {1, TColor(RGB(255, 0, 0)), TColor(RGB(0, 0, 150)), {{0, RGB(255, 0, 0)}, {159, RGB(255, 0, 0)}}},
        {16, TColor(RGB(0, 128, 0)), TColor(RGB(0, 128, 0)), {{0, RGB(0, 128, 0)}, {159, RGB(0, 128, 0)}}},
    };
    for (const Case& c : cases) {
        forms.clear();
        Build();
        // Eight items of 20 pixels.
        Free(recent);
        Free(popup->Items()->Items(1));  // the separator
        Item(form, "Six", popup->Items());
        Item(form, "Two", popup->Items()), Item(form, "Three", popup->Items()), Item(form, "Four", popup->Items());
        Item(form, "Five", popup->Items());
        menus->ItemHeight = 20;
        menus->Banner = true;
        menus->BannerText = "Corvanta";
        menus->BannerFont()->SetColor(clWhite);
        menus->BannerFont()->SetHeight(-16);
        menus->BannerNumColors = c.bands;
        menus->BannerColor = c.from, menus->BannerEndColor = c.to;
        Shot shot;
        TRect first;
        Track(popup, {150, 150}, {[&] {
                  shot = TakeShot();
                  first = ItemRect(popup->Items()->Handle(), 0);
                  if (c.bands == 16 && c.from != c.to)
                      testing_ui::SavePicture(OpenMenuWindows().at(0), "menus-popup-banner");
                  Key(VK_ESCAPE);
              }});
        ASSERT_TRUE(shot.pixels);
        ASSERT_EQ(menus->BannerRect(), (TRect{0, 0, menus->BannerWidth, 160}));
        for (auto [row, colour] : c.rows)
            EXPECT_EQ(shot.At(first.left, first.top + row), colour) << c.bands << " " << row;
        // The caption: white pixels standing higher than they are wide.
        TRect text{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int y = first.top; y < first.top + 160; ++y)
            for (int x = first.left; x < first.left + menus->BannerWidth; ++x)
                if (shot.At(x, y) == RGB(255, 255, 255))
                    text = {std::min(text.left, x), std::min(text.top, y), std::max(text.right, x + 1),
                            std::max(text.bottom, y + 1)};
        EXPECT_GT(text.Height(), 2 * text.Width());
        // Centred on the banner's length.
        EXPECT_LE(std::abs((text.top + text.bottom) / 2 - first.top - 80), 4);
        // The items start right of it.
        EXPECT_EQ(shot.At(first.left + menus->BannerWidth + 1, first.top + 5), ColorToRGB(clBtnFace));
    }
}

TEST_F(PopupMenus97Test, DrawnItemsAtTheirCharacteristicPixels) {
    Build();
    Item(form, "-Dash", popup->Items());
    TMenuItem* off = Item(form, "Off", popup->Items());
    off->SetEnabled(false);
    exit->SetChecked(true);
    Shot shot;
    TRect r_open, r_find, r_exit, r_dash, r_off;
    std::string hint;
    open->SetHint("Opens a file");
    Track(popup, {150, 150},
          {[&] { Key(VK_DOWN); },
           [&] {
               shot = TakeShot();
               const HMENU h = popup->Items()->Handle();
               r_open = ItemRect(h, 0), r_find = ItemRect(h, 2), r_exit = ItemRect(h, 4);
               r_dash = ItemRect(h, 5), r_off = ItemRect(h, 6);
               hint = Application().Hint();
               testing_ui::SavePicture(OpenMenuWindows().at(0), "menus-popup");
               Key(VK_ESCAPE);
           }});
    ASSERT_TRUE(shot.pixels);
    EXPECT_EQ(hint, "Opens a file");  // the selected item's hint
    const COLORREF bar = ColorToRGB(clHighlight), face = ColorToRGB(clBtnFace);
    const int check = menus->CheckBitmap()->Width();
    // Open, selected: the highlight bar, its text and the shortcut in the highlight's text colour.
    EXPECT_EQ(shot.At(r_open.right - 2, r_open.top + 1), bar);
    const int text_left = r_open.left + check + 7;
    EXPECT_GT(shot.Count({text_left, r_open.top, text_left + 40, r_open.bottom}, ColorToRGB(clHighlightText)), 10);
    const int shortcut_right = r_open.right - menus->CheckWidth();
    EXPECT_GT(shot.Count({shortcut_right - 40, r_open.top, shortcut_right, r_open.bottom}, ColorToRGB(clHighlightText)),
              10);
    EXPECT_EQ(shot.Count({shortcut_right, r_open.top, r_open.right, r_open.bottom}, ColorToRGB(clHighlightText)), 0);
    // Find: the face, black text with one ampersand.
    EXPECT_EQ(shot.At(r_find.left + 1, r_find.top + 1), face);
    EXPECT_GT(shot.Count({text_left, r_find.top, r_find.right, r_find.bottom}, 0), 20);
    // Exit, checked and not selected: a sunken box with the check mark in it.
    EXPECT_EQ(shot.At(r_exit.left, r_exit.top), ColorToRGB(clBtnShadow));
    EXPECT_EQ(shot.At(r_exit.left + check + 3, r_exit.top + 2), ColorToRGB(clBtnHighlight));
    EXPECT_GT(shot.Count({r_exit.left + 1, r_exit.top + 1, r_exit.left + check + 3, r_exit.bottom}, 0), 8);
    // The dash item: a shadow line over a highlight line in its middle, no dash drawn.
    const int mid = r_dash.top + r_dash.Height() / 2;
    EXPECT_EQ(shot.At(r_dash.left + 5, mid), ColorToRGB(clBtnShadow));
    EXPECT_EQ(shot.At(r_dash.left + 5, mid + 1), ColorToRGB(clBtnHighlight));
    // Off, disabled: embossed, highlight and shadow and no text colour.
    EXPECT_GT(shot.Count(r_off, ColorToRGB(clBtnHighlight)), 5);
    EXPECT_GT(shot.Count(r_off, ColorToRGB(clBtnShadow)), 5);
    EXPECT_EQ(shot.Count(r_off, 0), 0);
}

TEST_F(PopupMenus97Test, OwnerDrawnItemsAnswerTheirAccelerators) {
    Build();
    std::vector<std::string> clicks;
    for (TMenuItem* item : {open, exit, one})
        item->OnClick = [&, item](TObject*) { clicks.push_back(item->Caption()); };
    // The items have no text the loop could match: the component answers WM_MENUCHAR.
    int asked = 0;
    const SubclassToken token =
        SubclassWindow(PopupListWindow(), [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
            const LRESULT r = next(h, m, w, l);
            if (m == WM_MENUCHAR) {
                ++asked;
                EXPECT_EQ(HIWORD(uintptr_t(r)), int(MNC_EXECUTE));
            }
            return r;
        });
    InjectChar('x');
    popup->Popup(150, 150);
    Pump();
    EXPECT_EQ(clicks, (std::vector<std::string>{"E&xit"}));
    EXPECT_EQ(asked, 1);
    RemoveSubclass(PopupListWindow(), token);
    // Without a mark nothing matches: the menu stays until escaped.
    clicks.clear();
    InjectChar('q'), Key(VK_ESCAPE);
    popup->Popup(150, 150);
    Pump();
    EXPECT_TRUE(clicks.empty());
}

TEST_F(PopupMenus97Test, EventsMayDrawAnItemAndChangeTheHint) {
    Build();
    menus->OnDrawItem = [&](TMenu*, TMenuItem* item, const TRect& r, unsigned) {
        if (item != find) return false;
        menus->Canvas()->Brush()->SetColor(clLime);
        menus->Canvas()->FillRect(r);
        return true;
    };
    menus->OnHint = [](TMenu*, TMenuItem* item, const std::string& hint) { return item->Caption() + ":" + hint; };
    find->SetHint("finds");
    Shot shot;
    TRect r;
    std::string hint;
    Track(popup, {150, 150},
          {[&] { Key(VK_DOWN), Key(VK_DOWN); },
           [&] {
               shot = TakeShot();
               r = ItemRect(popup->Items()->Handle(), 2);
               hint = Application().Hint();
               Key(VK_ESCAPE);
           }});
    EXPECT_EQ(shot.At(r.left + 3, r.top + 3), ColorToRGB(clLime));
    EXPECT_EQ(hint, "Find && Replace...:finds");
}

TEST_F(PopupMenus97Test, ComponentsOnTwoFormsLeaveTheUtilityWindowInEitherOrder) {
    const HWND util = PopupListWindow();
    const SubclassToken own = TopSubclass(util);
    for (bool first_goes_first : {true, false}) {
        forms.clear();
        TForm* f1 = NewForm();
        TForm* f2 = NewForm(200, 200);
        TPopupMenu* p1 = new TPopupMenu(f1);
        TPopupMenu* p2 = new TPopupMenu(f2);
        Item(f1, "First", p1->Items());
        Item(f2, "Second", p2->Items());
        auto* m1 = new TPopupMenus97(f1);
        auto* m2 = new TPopupMenus97(f2);
        m1->SetPopupMenu(p1), m2->SetPopupMenu(p2);
        EXPECT_EQ(TCustomPopupMenus97::HookedCount(), 2);
        int drawn1 = 0, drawn2 = 0;
        m1->OnDrawItem = [&](TMenu*, TMenuItem*, const TRect&, unsigned) { return ++drawn1, false; };
        m2->OnDrawItem = [&](TMenu*, TMenuItem*, const TRect&, unsigned) { return ++drawn2, false; };
        f1->Show(), f2->Show();
        Pump();
        Track(p1, {150, 150}, {[&] { Pump(), Key(VK_ESCAPE); }});
        Track(p2, {250, 250}, {[&] { Pump(), Key(VK_ESCAPE); }});
        EXPECT_GT(drawn1, 0);
        EXPECT_GT(drawn2, 0);
        // One goes; the other still draws its menu.
        TPopupMenus97* stays = first_goes_first ? m2 : m1;
        TPopupMenu* stays_menu = first_goes_first ? p2 : p1;
        Free(first_goes_first ? m1 : m2);
        EXPECT_EQ(TCustomPopupMenus97::HookedCount(), 1);
        drawn1 = drawn2 = 0;
        Track(stays_menu, {150, 150}, {[&] { Pump(), Key(VK_ESCAPE); }});
        EXPECT_GT(first_goes_first ? drawn2 : drawn1, 0);
        EXPECT_TRUE(Info(stays_menu->Items()->Items(0)).fType & MFT_OWNERDRAW);
        // The last one leaves the window as it was.
        Free(stays);
        EXPECT_EQ(TCustomPopupMenus97::HookedCount(), 0);
        EXPECT_EQ(TopSubclass(util), own);
    }
}

TEST_F(PopupMenus97Test, TheComponentAndAGradientCaptionLeaveTheFormInEitherOrder) {
    for (bool menus_go_first : {true, false}) {
        forms.clear();
        TForm* f = NewForm();
        f->SetBorderStyle(bsSingle);
        auto* main = new TMainMenu(f);
        TMenuItem* file = Item(f, "&File", main->Items());
        Item(f, "&Open", file);
        auto* menus = new TCustomMainMenus97(f);
        auto* caption = new TCvGradientCaption(f);
        caption->SetFormCaption("Both");
        f->SetMenu(main);
        menus->SetMainMenu(main);
        f->Show();
        Pump();
        const HWND h = f->WindowHandle();
        // The caption follows the form's activation through its hook.
        auto caption_paints = [&] {
            SendMessage(h, WM_NCACTIVATE, 0, 0);
            const bool off = !caption->WindowActive();
            SendMessage(h, WM_NCACTIVATE, 1, 0);
            return off && caption->WindowActive();
        };
        auto converts = [&] {
            TMenuItem* added = Item(f, "Added", file);
            MENUITEMINFO info;
            info.fMask = MIIM_TYPE;
            GetMenuItemInfo(file->Handle(), added->Command(), false, info);
            Free(added);
            return (info.fType & MFT_OWNERDRAW) != 0;
        };
        EXPECT_TRUE(caption_paints());
        EXPECT_TRUE(converts());
        if (menus_go_first) {
            Free(menus);
            EXPECT_TRUE(caption_paints());  // the caption's procedure is still there
            EXPECT_FALSE(converts());
            Free(caption);
        } else {
            Free(caption);
            EXPECT_TRUE(converts());  // and the component's
            Free(menus);
        }
        Pump();
        EXPECT_FALSE(converts());
        SendMessage(h, WM_NCPAINT, kWholeFrame, 0);  // nothing freed is called
    }
}

}  // namespace
}  // namespace controls
