// The program's start on an X server of the test's own: a data folder named
// relative to the folder the program starts in, and a start that fails,
// which says why in a message window before the program ends. And its end
// when the server goes away under it.
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "examples/run_program.hpp"
#include "framework/ui/menus.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_examples::ScreenSession;

using StartScreenTest = MainWindowTest;

TEST_F(StartScreenTest, ARelativeFolderStartsTheProgramAndAFailedStartSaysWhy) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    ui::TRect file, below_file;        // File on the menu bar, and where its menu drops down
    std::vector<uint32_t> file_shown;  // File as the window draws it
    {
        auto w = Open("");
        ASSERT_TRUE(ui::GetMenuItemRect(w->WindowHandle(), w->Menus().main->Handle(), 0, file));
        below_file = ui::Bounds(file.left, file.bottom + 2, 60, 30);
        const ui::TRect at = ui::GetWindowRect(w->WindowHandle());
        const ui::SurfacePtr drawn = ui::GetWindowSurface(w->WindowHandle());
        for (int y = file.top; y < file.bottom; ++y)
            for (int x = file.left; x < file.right; ++x)
                file_shown.push_back(drawn->Row32(y - at.top)[x - at.left] & 0xFFFFFF);
    }
    ui::UiReset();
    const std::string here = dir_ / "here";
    std::filesystem::create_directories(here);
    std::ofstream(here + "/blocked") << "a file where a folder would be";
    struct Case {
        const char* folder;  // from `here`
        int status;
        const char* said;
    };
    const Case cases[] = {
        {"data", 0, "making the demo's history in data"},
        {"blocked/data", 1, "Cannot create the data folder blocked/data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        ScreenSession s(dir_ / c.folder);
        ASSERT_EQ(s.Start(c.folder, {}, here), "");
        if (c.status == 0) {
            ASSERT_FALSE(s.FocusNamed(ScreenSession::kMainWindowName).empty()) << s.Log();
            // Drawn on the screen before what lies below File is taken as the closed menu's.
            ASSERT_TRUE(s.Shows(file, file_shown)) << "the main window is not drawn";
            const std::vector<uint32_t> closed = s.Grab(below_file);
            s.Xdotool("key alt+f");
            EXPECT_TRUE(s.Changes(below_file, closed)) << "File's menu did not drop down";
            s.Xdotool("key x");
            EXPECT_TRUE(std::filesystem::exists(demo::HistoryPath(here + "/data")));
        } else {
            // The reason on the screen; Enter takes it away and the program ends.
            ASSERT_FALSE(s.FocusNamed(demo::kProgramTitle).empty()) << s.Log();
            s.Xdotool("key Return");
        }
        EXPECT_EQ(s.WaitForExit(), c.status) << s.Log();
        EXPECT_NE(s.Log().find(c.said), std::string::npos) << s.Log();
    }
}

// The server gone, the program ends at once with status 1 and says why,
// whatever window it showed; it never lingers on the dead connection.
TEST_F(StartScreenTest, TheProgramEndsWhenItsScreenGoes) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const std::string here = dir_ / "here";
    std::filesystem::create_directories(here);
    std::ofstream(here + "/blocked") << "a file where a folder would be";
    struct Case {
        const char* name;
        const char* folder;  // from `here`
        const char* window;  // what the program shows when the server goes
        int signal;          // that ends the server
    };
    const Case cases[] = {
        {"main window, server terminated", "data", ScreenSession::kMainWindowName, SIGTERM},
        {"main window, server killed", "data", ScreenSession::kMainWindowName, SIGKILL},
        {"message of a failed start, server terminated", "blocked/data", demo::kProgramTitle, SIGTERM},
        {"message of a failed start, server killed", "blocked/data", demo::kProgramTitle, SIGKILL},
    };
    // A bound for a hang, never a measure of speed.
    constexpr std::chrono::seconds kEnd{20};
    // What is left to do on the dead connection differs from run to run: each case runs a few times.
    constexpr int kRounds = 4;
    for (int n = 0; n < kRounds * int(std::size(cases)); ++n) {
        const Case& c = cases[size_t(n) % std::size(cases)];
        SCOPED_TRACE(c.name);
        ScreenSession s(dir_ / ("gone" + std::to_string(n)));
        ASSERT_EQ(s.Start(c.folder, {}, here), "");
        ASSERT_FALSE(s.FocusNamed(c.window).empty()) << s.Log();
        const std::string display = s.Display();
        s.EndServer(c.signal);
        EXPECT_EQ(s.WaitForExit(kEnd), 1) << s.Log();
        EXPECT_NE(s.Log().find("corvanta-run: the connection to the screen " + display + " was lost"),
                  std::string::npos)
            << s.Log();
    }
}

}  // namespace
