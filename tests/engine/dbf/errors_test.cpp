#include "engine/dbf/errors.hpp"

#include <gtest/gtest.h>

#include "platform/msgbox.hpp"

namespace zurod {
namespace {

class ErrorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetErrorState();
        previous_ = platform::InstallMessageBox(&box_);
    }
    void TearDown() override {
        platform::InstallMessageBox(previous_);
        ResetErrorState();
    }
    platform::ScriptedMessageBox box_;
    platform::MessageBoxService* previous_ = nullptr;
};

TEST_F(ErrorsTest, CodeTextsCoverEveryRange) {
    EXPECT_EQ(ErrorCodeText(0), "");
    EXPECT_EQ(ErrorCodeText(210), "Error # 210 (Not a dBASE data file)");
    EXPECT_EQ(ErrorCodeText(227), "Error # 227 (Insufficient disk space )");
    EXPECT_EQ(ErrorCodeText(1103), "Error # 1103 (Invalid Operation )");
    for (uint16_t code : {1203, 1250, 1299}) EXPECT_EQ(ErrorText(code), "Network Error") << code;
    EXPECT_EQ(ErrorText(1300), "File format not supported");
    for (uint16_t code : {7,   37,  49,   61,   99,   107,  149,  163,  199,  232,  238,  244,  253,  255,
                          265, 267, 1002, 1006, 1008, 1011, 1013, 1016, 1020, 1099, 1104, 1199, 1301, 65535})
        EXPECT_EQ(ErrorText(code), "Undefined error") << code;
    EXPECT_EQ(ErrorText(101), "Disk write error (probable cause: Disk Full).");
    EXPECT_EQ(ErrorText(18), "Too many open files");
}

TEST_F(ErrorsTest, RaiseModeThrowsCodeTextAndMessage) {
    RaiseModeScope raise(true);
    try {
        RunError(210, "[USE/OpenDbf]");
        FAIL() << "no exception";
    } catch (const EZurodError& e) {
        EXPECT_STREQ(e.what(), "Error # 210 (Not a dBASE data file)\r\n[USE/OpenDbf]");
    }
    EXPECT_EQ(LastErrorCode(), 210);
    // The handler took the message.
    EXPECT_EQ(LastErrorText(), "");
}

TEST_F(ErrorsTest, HandlingOffOnlyRecordsAndTextIsTakenOnce) {
    ErrorHandlingScope off(false);
    RunError(220, "Invalid workarea selected = [Select(34)]");
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorText(), "Error # 220 (Invalid parameter)\r\nInvalid workarea selected = [Select(34)]");
    EXPECT_EQ(LastErrorText(), "");
    // The code itself survives the taking of the message.
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(ErrorsTest, ScopesRestoreSwitchesWhenAnExceptionPasses) {
    ASSERT_TRUE(ErrorHandlingOn());
    ASSERT_FALSE(RaiseModeOn());
    try {
        RaiseModeScope raise(true);
        ErrorHandlingScope on(true);
        RunError(5, "x");
    } catch (const EZurodError&) {}
    EXPECT_FALSE(RaiseModeOn());
    {
        ErrorHandlingScope off(false);
        EXPECT_FALSE(ErrorHandlingOn());
    }
    EXPECT_TRUE(ErrorHandlingOn());
}

TEST_F(ErrorsTest, CodeZeroNeverEndsAnything) {
    RunError(0, "nothing");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_TRUE(box_.shown.empty());
}

using ErrorsDeathTest = ErrorsTest;

TEST_F(ErrorsDeathTest, HaltShowsBoxAndExitsWithTheCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    platform::InstallMessageBox(nullptr);  // headless: the box goes to stderr
    EXPECT_EXIT(RunError(210, "[USE/OpenDbf]"), ::testing::ExitedWithCode(210),
                "\\[Program halted.\\] Error # 210 \\(Not a dBASE data file\\)");
}

TEST_F(ErrorsDeathTest, HaltWithALargeCodeNeverReadsAsSuccess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    platform::InstallMessageBox(nullptr);  // headless: the text goes to stderr
    EXPECT_EXIT(RunError(512, "x"), ::testing::ExitedWithCode(255), "Error # 512");
    EXPECT_EXIT(RunError(1300, "x"), ::testing::ExitedWithCode(255), "File format not supported");
}

TEST_F(ErrorsTest, NothingIsShownOnceHalting) {
    // The halting flag is set before the box; a second error while the box
    // is up (or during shut-down) must stay silent.
    struct Reentrant : platform::MessageBoxService {
        int calls = 0;
        int Show(std::string_view, std::string_view, unsigned) override {
            if (++calls == 1) RunError(5, "during shut-down");
            return platform::kIdOk;
        }
    };
    Reentrant reentrant;
    platform::InstallMessageBox(&reentrant);
    EXPECT_EXIT(
        {
            RunError(2, "first");
            std::exit(0);
        },
        ::testing::ExitedWithCode(2), "");
}

TEST_F(ErrorsTest, CodePageStringConversionKeepsLength) {
    EXPECT_EQ(AnsiToOemStr(""), "");
    const std::string ansi = "M\xFCller \x80";
    const std::string oem = AnsiToOemStr(ansi);
    EXPECT_EQ(oem, "M\x81ller \xD5");
    EXPECT_EQ(OemToAnsiStr(oem), ansi);
}

}  // namespace
}  // namespace zurod
