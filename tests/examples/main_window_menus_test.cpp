// The main window's menus: the bar's menus, the grid's popup menu drawn by
// the menus component, and what their items do, chosen through the keys.
#include <set>

#include "examples/main_window_menus.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/support/ui_fixture.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_ui::QueueKey;

TEST_F(MainWindowTest, TheMenusAreInPlaceAndDoWhatTheySay) {
    auto w = Open("");
    const demo::MainWindowMenus& m = w->Menus();
    EXPECT_EQ(w->Menu(), m.main);
    EXPECT_EQ(ui::GetMenu(w->WindowHandle()), m.main->Handle());
    EXPECT_EQ(w->Grid()->PopupMenu(), m.grid_popup);
    EXPECT_EQ(m.grid_look->PopupMenu(), m.grid_popup);
    EXPECT_TRUE(m.grid_look->Banner);
    EXPECT_EQ(m.back_up->Caption(), "Back up to &folder\x85");
    // The popup's items are owner-drawn by the component.
    ui::MENUITEMINFO info;
    info.fMask = ui::MIIM_TYPE | ui::MIIM_DATA;
    ASSERT_TRUE(ui::GetMenuItemInfo(m.grid_popup->Handle(), 0, true, info));
    EXPECT_TRUE(info.fType & ui::MFT_OWNERDRAW);
    EXPECT_EQ(info.dwItemData, uintptr_t(m.grid_look));

    // View, Row colours: the rows lose their colours, and get them back.
    zurod::TTzGrid* grid = w->Grid();
    auto inks = [&] {
        std::set<ui::TColor> seen;
        for (int row = 0; row < grid->RowCount() - 1; ++row) seen.insert(grid->RowColors(row).cell_text);
        return seen.size();
    };
    ASSERT_GT(inks(), 1u);
    QueueKey('V', ui::kAlt), QueueKey(ui::VK_DOWN), QueueKey(ui::VK_RETURN);
    Pump();
    EXPECT_FALSE(w->RowColours());
    EXPECT_FALSE(m.row_colours->Checked());
    EXPECT_EQ(inks(), 1u);

    // A right click on the grid, the keys: the last record, then back to the first by the popup's letter.
    const ui::TPoint at = grid->ClientToScreen({200, 60});
    auto popup = [&](const std::vector<ui::UINT>& keys, const std::vector<char>& chars) {
        ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Right, at);
        ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Right, at);
        for (ui::UINT k : keys) QueueKey(k);
        for (char c : chars) ui::InjectChar(c);
        Pump();
    };
    popup({ui::VK_DOWN, ui::VK_DOWN, ui::VK_RETURN}, {});
    EXPECT_EQ(w->History()->RecNo(), w->History()->RecordCount());
    popup({}, {'f'});
    EXPECT_EQ(w->History()->RecNo(), 1);
    popup({}, {'r'});  // the row colours, through the popup
    EXPECT_TRUE(w->RowColours());
    EXPECT_GT(inks(), 1u);

    // File, Exit closes the window.
    bool closed = false;
    w->OnClose = [&](ui::TObject*, ui::TCloseAction&) { closed = true; };
    QueueKey('F', ui::kAlt), ui::InjectChar('x');
    Pump();
    EXPECT_TRUE(closed);
}

}  // namespace
