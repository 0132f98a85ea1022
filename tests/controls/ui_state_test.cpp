// The user-interface state of the window system and of the control library
// has one owner: a reset starts every piece afresh, a shutdown drops it, and
// controls that outlive either find their way again.
#include <functional>

#include "controls/cvconst.hpp"
#include "controls/cvriched.hpp"
#include "controls/dateedit.hpp"
#include "controls/detail/state.hpp"
#include "framework/ui/help.hpp"
#include "framework/ui/ole_frame.hpp"
#include "framework/ui/richedit.hpp"
#include "platform/locale.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

std::unique_ptr<TBitmap> Cell() {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(16, 16);
    b->Handle()->Fill(0xFF00FF);
    b->Handle()->SetPixel(8, 8, RGB(0, 40, 200));
    b->Modified();
    return b;
}

class UiStateTest : public testing_ui::UiTest {
protected:
    struct Piece {
        const char* name;
        std::function<void()> dirty;
        std::function<bool()> fresh;
    };

    void SetUp() override {
        UiTest::SetUp();
        saved_format_ = platform::FormatSettings();
        platform::FormatSettings() = {"dd/MM/yyyy", '/'};
        RegisterControlResources();
        form_ = Make<TForm>(nullptr);
        form_->SetBounds(0, 0, 240, 120);
    }
    void TearDown() override {
        form_.reset();
        glyph_.reset();
        platform::FormatSettings() = saved_format_;
        UiTest::TearDown();
    }

    // Each piece made used, and how it looks at the start. What is made on
    // the form outlives the reset, as a control a test keeps would.
    std::vector<Piece> Pieces() {
        return {
            {"window hooks", [&] { (new TCvWindowHook(form_.get()))->SetWinControl(form_.get()); },
             [] { return HookList() == nullptr && Controls().next_hook_id == 1; }},
            {"glyph cache",
             [&] {
                 glyph_ = std::make_unique<TCvButtonGlyph>();
                 glyph_->SetGlyph(Cell().get());
                 glyph_->StateImageIndex(bsUp);
             },
             [&] { return GlyphUnit().cache == nullptr && glyph_->GlyphList() == nullptr; }},
            {"speed buttons",
             [&] {
                 auto* b = new TCvSpeedButton(form_.get());
                 b->SetParent(form_.get());
                 b->SetBounds(0, 0, 40, 30);
                 b->SetGroupIndex(1);
                 b->SetDown(true);
                 form_->Show();
                 Pump();
             },
             [] { return SpeedButtonUnit().pattern == nullptr && SpeedButtonUnit().live_buttons == 0; }},
            {"owner-drawn menus",
             [] {
                 Menus97Unit().windows_nt = false;
                 Menus97Unit().hooked = 2;
             },
             [] {
                 const Menus97UnitState& m = Menus97Unit();
                 return m.windows_nt && m.hooked == 0 && m.live.empty() && m.util_window == 0 && !m.active_bar;
             }},
            {"date formats",
             [] {
                 DateUtilSettings().two_digit_year_window = 10;
                 DateUtilSettings().system_four_digit_year = false;
             },
             [] {
                 return DateUtilSettings().two_digit_year_window == 60 && DateUtilSettings().system_four_digit_year;
             }},
            {"date edit glyph", [&] { new TDateEdit(form_.get()); },
             [] { return Controls().date_edit_glyph == nullptr; }},
            {"help units",
             [&] {
                 HelpUnitsStart({dir_ / "corvanta", {}, dir_.path(), dir_.path(), kChmLibraryName});
             },
             [] { return !HelpUnit().started && HHViewer::Instance().SearchPath().empty(); }},
            {"help event", [] { ApplicationHelpEvent() = [](uint16_t, intptr_t, bool&) { return true; }; },
             [] { return !ApplicationHelpEvent(); }},
            {"help engine", [] { FrameworkHelpEngine() = [](uint16_t, intptr_t) { return true; }; },
             [] { return !FrameworkHelpEngine(); }},
            {"accelerator tables",
             [&] {
                 table_ = CreateAcceleratorTable({{1, 'S', 7}});
             },
             [&] { return AcceleratorCount(table_) == -1 && LiveAcceleratorTables() == 0; }},
            {"rich-edit library", [] { SetRichEditLibraryVersion(1); }, [] { return RichEditLibraryVersion() == 0; }},
        };
    }

    platform::DateFormatSettings saved_format_;
    testing_support::TempDir dir_;
    Owned<TForm> form_;
    std::unique_ptr<TCvButtonGlyph> glyph_;
    ole::HACCEL table_ = 0;
};

TEST_F(UiStateTest, ResetStartsEveryPieceAfresh) {
    const std::vector<Piece> pieces = Pieces();
    for (const Piece& p : pieces) p.dirty();
    for (const Piece& p : pieces) EXPECT_FALSE(p.fresh()) << p.name << " was not used";
    UiReset();
    for (const Piece& p : pieces) EXPECT_TRUE(p.fresh()) << p.name;
}

TEST_F(UiStateTest, ShutdownDropsEveryPiece) {
    const std::vector<Piece> pieces = Pieces();
    for (const Piece& p : pieces) p.dirty();
    UiShutdown();
    // The first use after it starts the state again, with nothing kept.
    for (const Piece& p : pieces) EXPECT_TRUE(p.fresh()) << p.name;
}

TEST_F(UiStateTest, ControlsThatOutliveAResetWorkOn) {
    auto* button = new TCvSpeedButton(form_.get());
    button->SetParent(form_.get());
    TCvButtonGlyph glyph;
    glyph.SetGlyph(Cell().get());
    ASSERT_NE(glyph.StateImageIndex(bsUp), -1);
    (new TCvWindowHook(form_.get()))->SetWinControl(form_.get());
    UiReset();
    // The glyph makes its image again in a new cache, and gives it back.
    const int index = glyph.StateImageIndex(bsUp);
    ASSERT_NE(index, -1);
    EXPECT_EQ(glyph.GlyphList()->ImageSurface(index)->Pixel(8, 8), RGB(0, 40, 200));
    EXPECT_EQ(GlyphUnit().cache->Count(), 1);
    glyph.FreeImages();
    EXPECT_EQ(GlyphUnit().cache->Count(), 0);
    // The rich-edit library loads again as at start-up.
    EXPECT_EQ(RichEditVersion(), 3);
    form_.reset();  // the button and the hook go without the state they knew
    EXPECT_EQ(SpeedButtonUnit().live_buttons, 0);
}

}  // namespace
}  // namespace controls
