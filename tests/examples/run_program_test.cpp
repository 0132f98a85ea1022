// The program's start headless: what keeps it from starting is on standard
// error, and in a message window when it has a screen.
#include <filesystem>
#include <fstream>

#include "examples/run_program.hpp"
#include "platform/file.hpp"
#include "tests/examples/main_window_fixture.hpp"

namespace {

using testing_examples::MainWindowTest;

TEST_F(MainWindowTest, WhatKeepsTheProgramFromStartingIsShownOnTheScreen) {
    struct Case {
        const char* what;
        std::string folder;
        bool held, on_screen;
        const char* said;  // in the message and on standard error
    };
    const std::string blocked = dir_ / "blocked";
    std::ofstream(blocked) << "a file where the folder would be";
    const Case cases[] = {
        {"another copy holds the history", folder_, true, true, "Error # 32 (File sharing violation)"},
        {"the folder cannot be made", blocked + "/data", false, true, "Cannot create the data folder"},
        {"the same without a screen", blocked + "/data", false, false, "Cannot create the data folder"},
        {"no screen", dir_ / "new", false, false, "no screen to show the window on"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        box_.shown.clear();
        platform::File holder;
        if (c.held) {
            ASSERT_EQ(holder.Open(demo::HistoryPath(c.folder), platform::Access::ReadWrite, platform::Share::Exclusive),
                      0);
        }
        testing::internal::CaptureStderr();
        const int rc = demo::RunProgram(c.folder, "", c.on_screen);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(rc, 1);
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        if (c.on_screen) {
            ASSERT_EQ(box_.shown.size(), 1u);
            EXPECT_NE(box_.shown[0].text.find(c.said), std::string::npos) << box_.shown[0].text;
            EXPECT_EQ(box_.shown[0].caption, demo::kProgramTitle);
            EXPECT_EQ(box_.shown[0].flags, unsigned(platform::kMbIconStop));
        } else {
            EXPECT_TRUE(box_.shown.empty()) << "no screen: standard error only";
        }
    }
    EXPECT_TRUE(std::filesystem::exists(demo::HistoryPath(dir_ / "new"))) << "the demo's history is made first";
}

}  // namespace
