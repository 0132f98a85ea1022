// The main window's gradient title bar, its speed buttons for the
// navigator's actions, the status panel and F1 help, headless: pixels at
// chosen points, presses where the buttons are, the help hook's request.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "controls/cvspeedbtn.hpp"
#include "controls/hh.hpp"
#include "examples/main_window_parts.hpp"
#include "framework/ui/inifiles.hpp"
#include "platform/process.hpp"
#include "resources/resources.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/support/ui_fixture.hpp"

namespace {

using testing_examples::MainWindowTest;
using namespace ui;

class MainWindowPartsTest : public MainWindowTest {
protected:
    controls::TCvSpeedButton* Speed(demo::TMainWindow* w, const char* glyph) {
        auto* bar = demo::FindPart<TPanel>(w, demo::kSpeedBarName);
        return bar ? demo::FindPart<controls::TCvSpeedButton>(bar, glyph) : nullptr;
    }
    void ClickAt(TPoint p) {
        InjectMouse(MouseAction::Move, MouseButton::Left, p);
        InjectMouse(MouseAction::Down, MouseButton::Left, p);
        InjectMouse(MouseAction::Up, MouseButton::Left, p);
        Pump();
    }
    COLORREF At(demo::TMainWindow* w, TPoint screen) {
        const TRect wr = GetWindowRect(w->WindowHandle());
        return GetWindowSurface(w->WindowHandle())->Pixel(screen.x - wr.left, screen.y - wr.top);
    }
};

TEST_F(MainWindowPartsTest, TheTitleBarIsTheGradientCaptionsWithTheWindowsTitle) {
    auto w = Open("");
    auto* caption = demo::FindPart<controls::TCvGradientCaption>(w.get(), demo::kCaptionName);
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(caption->Active());
    EXPECT_EQ(caption->FormCaption(), "Corvanta - Transaction History");
    EXPECT_FALSE(caption->DefaultFont());
    EXPECT_EQ(caption->Font()->Name(), "Tahoma");
    EXPECT_EQ(caption->Font()->Style(), unsigned(fsBold));
    ASSERT_TRUE(caption->WindowActive());
    // From a fifth of the way between black and the caption colour, to the caption colour.
    const TRect bar = caption->CaptionRect();
    const COLORREF end = GetSysColor(COLOR_GRADIENTACTIVECAPTION);
    EXPECT_EQ(At(w.get(), {bar.right - 1, bar.bottom - 1}), end);
    const COLORREF left = At(w.get(), {bar.left + 30, bar.bottom - 1});
    EXPECT_LT(GetRValue(left) + GetGValue(left) + GetBValue(left), GetRValue(end) + GetGValue(end) + GetBValue(end));
    EXPECT_NE(left, GetSysColor(COLOR_ACTIVECAPTION));  // not the default bar
    // The title in the caption text colour somewhere along the bar.
    int ink = 0;
    for (int x = bar.left + bar.Height(); x < bar.left + 200; ++x)
        ink += At(w.get(), {x, (bar.top + bar.bottom) / 2}) == GetSysColor(COLOR_CAPTIONTEXT);
    EXPECT_GT(ink, 10);
    testing_ui::SavePicture(w->WindowHandle(), "main-window");
}

TEST_F(MainWindowPartsTest, SpeedButtonsDoWhatTheNavigatorsButtonsDo) {
    ASSERT_NE(FindBitmapResource("CV_NEXT"), nullptr);
    auto w = Open("");
    zurod::TTzNavigator* nav = w->Navigator();
    for (size_t i = 0; i < resources::kNavigatorGlyphs.size(); ++i) {
        controls::TCvSpeedButton* b = Speed(w.get(), resources::kNavigatorGlyphs[i]);
        ASSERT_NE(b, nullptr) << resources::kNavigatorGlyphs[i];
        EXPECT_EQ(b->Hint, nav->Button(db::TNavigateBtn(i))->Hint);
        EXPECT_TRUE(b->ShowHint());
        EXPECT_FALSE(b->Glyph()->Empty());
    }
    const int count = w->History()->RecordCount();
    struct Step {
        const char* button;
        int recno;
        bool first_enabled, last_enabled;
    };
    const Step steps[] = {
        {"CV_NEXT", 2, true, true},      {"CV_NEXT", 3, true, true},   {"CV_PRIOR", 2, true, true},
        {"CV_LAST", count, true, false}, {"CV_FIRST", 1, false, true},
    };
    auto follows = [&](const char* what) {
        for (size_t i = 0; i < resources::kNavigatorGlyphs.size(); ++i)
            EXPECT_EQ(Speed(w.get(), resources::kNavigatorGlyphs[i])->Enabled(),
                      nav->Button(db::TNavigateBtn(i))->Enabled())
                << what << " " << resources::kNavigatorGlyphs[i];
    };
    follows("opened");
    for (const Step& s : steps) {
        controls::TCvSpeedButton* b = Speed(w.get(), s.button);
        ClickAt(b->ClientToScreen({b->Width() / 2, b->Height() / 2}));
        EXPECT_EQ(w->History()->RecNo(), s.recno) << s.button;
        EXPECT_EQ(Speed(w.get(), "CV_FIRST")->Enabled(), s.first_enabled) << s.button;
        EXPECT_EQ(Speed(w.get(), "CV_PRIOR")->Enabled(), s.first_enabled) << s.button;
        EXPECT_EQ(Speed(w.get(), "CV_LAST")->Enabled(), s.last_enabled) << s.button;
        EXPECT_EQ(Speed(w.get(), "CV_NEXT")->Enabled(), s.last_enabled) << s.button;
        follows(s.button);
    }
    // Drawn: the enabled next button's arrow in black, the disabled first button's embossed (no black).
    auto black = [&](controls::TCvSpeedButton* b) {
        int n = 0;
        for (int y = 0; y < b->Height(); ++y)
            for (int x = 0; x < b->Width(); ++x) n += At(w.get(), b->ClientToScreen({x, y})) == 0;
        return n;
    };
    controls::TCvSpeedButton* next = Speed(w.get(), "CV_NEXT");
    EXPECT_EQ(black(next), 2 + 3 + 4 + 5 + 6 + 6 + 5 + 4 + 3 + 2);  // the arrow's pixels
    EXPECT_EQ(black(Speed(w.get(), "CV_FIRST")), 0);
    // The bar lies above the grid.
    EXPECT_LE(next->ClientToScreen({0, next->Height()}).y, w->Grid()->ClientToScreen({0, 0}).y);
}

TEST_F(MainWindowPartsTest, TheBarFollowsTheDataWithAButtonFreed) {
    auto w = Open("");
    Free(Speed(w.get(), "CV_FIRST"));
    ASSERT_EQ(Speed(w.get(), "CV_FIRST"), nullptr);
    // Each move tells the bar, which enables the buttons left and passes over the freed one.
    const int count = w->History()->RecordCount();
    struct Step {
        const char* button;
        int recno;
        bool last_enabled;
    } steps[] = {{"CV_LAST", count, false}, {"CV_PRIOR", count - 1, true}};
    for (const Step& s : steps) {
        controls::TCvSpeedButton* b = Speed(w.get(), s.button);
        ClickAt(b->ClientToScreen({b->Width() / 2, b->Height() / 2}));
        EXPECT_EQ(w->History()->RecNo(), s.recno) << s.button;
        EXPECT_EQ(Speed(w.get(), "CV_LAST")->Enabled(), s.last_enabled) << s.button;
        EXPECT_TRUE(Speed(w.get(), "CV_PRIOR")->Enabled()) << s.button;
    }
}

TEST_F(MainWindowPartsTest, TheStatusPanelShowsInTheMiddleWhileAnOperationRuns) {
    auto w = Open("");
    auto* panel = demo::FindPart<controls::TMessagePanel>(w.get(), demo::kStatusPanelName);
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->Visible());
    {
        const demo::StatusText busy(w.get(), "Sorting. Please wait...");
        EXPECT_TRUE(panel->Visible());
        EXPECT_EQ(panel->Caption(), "Sorting. Please wait...");
        EXPECT_EQ(panel->Left(), (w->Width() - 265) / 2);
        EXPECT_EQ(panel->Top(), (w->Height() - 65) / 2);
        // Painted already, in the inactive caption colour, over the grid.
        const TPoint corner = panel->ClientToScreen({4, 4});
        EXPECT_EQ(At(w.get(), corner), ColorToRGB(clInactiveCaption));
    }
    EXPECT_FALSE(panel->Visible());
    // A title click sorts under the panel and leaves it hidden.
    bool shown_while_sorting = false;
    w->History()->AfterScroll = [&](db::TDataSet*) { shown_while_sorting |= panel->Visible(); };
    w->Grid()->OnTitleClick(w->Grid(), w->Grid()->Columns()[0]);
    EXPECT_TRUE(shown_while_sorting);
    EXPECT_FALSE(panel->Visible());
}

TEST_F(MainWindowPartsTest, F1OpensTheProgramsHelpFileAtTheWindowsContext) {
    // The help file beside the program, and a viewer program to find (never started).
    const std::string help_file = ChangeFileExt(ApplicationExeName(), ".CHM");
    const std::string bin = dir_ / "bin";
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/xchm") << "#!/bin/sh\n";
    chmod((bin + "/xchm").c_str(), 0755);
    controls::HelpUnitsStart({ApplicationExeName(), {}, dir_ / "", bin, controls::kChmLibraryName});
    platform::RecordingLauncher launcher;
    platform::ProcessLauncher* previous = platform::InstallProcessLauncher(&launcher);
    {
        auto w = Open("");
        auto* help = demo::FindPart<demo::THelpPart>(w.get(), demo::kHelpName);
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(help->Hook().HelpFile(), help_file);
        EXPECT_EQ(help->Hook().Mode(), 0);
        EXPECT_EQ(w->HelpContext, demo::kMainHelpContext);
        ASSERT_TRUE(w->Grid()->Focused());
        InjectKey(VK_F1, true);
        InjectKey(VK_F1, false);
        Pump();
        ASSERT_EQ(launcher.started.size(), 1u) << "is " << help_file << " there?";
        EXPECT_EQ(launcher.started[0], (std::vector<std::string>{bin + "/xchm", "--contextid=10", help_file}));
        EXPECT_TRUE(box_.shown.empty());
    }
    // The window gone, the hook gave the help event back.
    EXPECT_FALSE(ApplicationHelpEvent());
    platform::InstallProcessLauncher(previous);
}

TEST_F(MainWindowPartsTest, TheHelpLaunchLogWritesWhatWouldStart) {
    const std::string log = dir_ / "help.log";
    unsetenv(demo::kHelpLaunchLogVariable);
    EXPECT_EQ(demo::HelpLaunchLogFromEnvironment(), nullptr);
    setenv(demo::kHelpLaunchLogVariable, log.c_str(), 1);
    auto launcher = demo::HelpLaunchLogFromEnvironment();
    unsetenv(demo::kHelpLaunchLogVariable);
    ASSERT_NE(launcher, nullptr);
    int error = -1;
    EXPECT_GT(launcher->Start({"/bin/viewer", "--contextid=10", "/opt/my help.CHM"}, error), 0);
    EXPECT_EQ(error, 0);
    EXPECT_GT(launcher->Start({"/bin/viewer", "x"}, error), 0);
    std::ifstream in(log);
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(first, "/bin/viewer\t--contextid=10\t/opt/my help.CHM");
    EXPECT_EQ(second, "/bin/viewer\tx");
    EXPECT_FALSE(launcher->Stop(1000));
}

}  // namespace
