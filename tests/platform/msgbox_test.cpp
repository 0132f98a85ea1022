#include "platform/msgbox.hpp"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(DefaultButtonTest, EachButtonSet) {
    EXPECT_EQ(DefaultButton(kMbOk), kIdOk);
    EXPECT_EQ(DefaultButton(kMbOk | kMbDefButton2), kIdOk);

    EXPECT_EQ(DefaultButton(kMbOkCancel), kIdOk);
    EXPECT_EQ(DefaultButton(kMbOkCancel | kMbDefButton2), kIdCancel);

    EXPECT_EQ(DefaultButton(kMbYesNo), kIdYes);
    EXPECT_EQ(DefaultButton(kMbYesNo | kMbDefButton2), kIdNo);

    EXPECT_EQ(DefaultButton(kMbYesNoCancel), kIdYes);
    EXPECT_EQ(DefaultButton(kMbYesNoCancel | kMbDefButton2), kIdNo);
    EXPECT_EQ(DefaultButton(kMbYesNoCancel | kMbDefButton3), kIdCancel);
}

TEST(DefaultButtonTest, IconsDoNotChangeTheButton) {
    EXPECT_EQ(DefaultButton(kMbYesNo | kMbIconQuestion | kMbDefButton2), kIdNo);
    EXPECT_EQ(DefaultButton(kMbOkCancel | kMbIconWarning), kIdOk);
    EXPECT_EQ(DefaultButton(kMbOk | kMbIconStop), kIdOk);
    EXPECT_EQ(DefaultButton(kMbYesNoCancel | kMbIconInformation | kMbDefButton3), kIdCancel);
}

class MessageBoxServiceTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = InstallMessageBox(&box_); }
    void TearDown() override { InstallMessageBox(previous_); }
    ScriptedMessageBox box_;
    MessageBoxService* previous_ = nullptr;
};

TEST_F(MessageBoxServiceTest, ScriptedAnswersInOrderThenDefaults) {
    box_.answers = {kIdNo, kIdCancel};
    EXPECT_EQ(ShowMessageBox("Delete?", "Confirm", kMbYesNo), kIdNo);
    EXPECT_EQ(ShowMessageBox("Save?", "Confirm", kMbYesNoCancel), kIdCancel);
    EXPECT_TRUE(box_.answers.empty());
    EXPECT_EQ(ShowMessageBox("Again?", "Confirm", kMbYesNo | kMbDefButton2), kIdNo);
    EXPECT_EQ(ShowMessageBox("Done", "Info", kMbOk), kIdOk);
}

TEST_F(MessageBoxServiceTest, RecordsEveryBoxShown) {
    ShowMessageBox("M\xFCller", "Program halted.", kMbOk | kMbIconStop);
    ShowMessageBox("", "", kMbOkCancel);
    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[0].text, "M\xFCller");
    EXPECT_EQ(box_.shown[0].caption, "Program halted.");
    EXPECT_EQ(box_.shown[0].flags, kMbOk | kMbIconStop);
    EXPECT_EQ(box_.shown[1].text, "");
    EXPECT_EQ(box_.shown[1].flags, kMbOkCancel);
}

TEST_F(MessageBoxServiceTest, InstallReturnsThePreviousService) {
    ScriptedMessageBox other;
    EXPECT_EQ(InstallMessageBox(&other), &box_);
    other.answers = {kIdCancel};
    EXPECT_EQ(ShowMessageBox("x", "y", kMbOkCancel), kIdCancel);
    EXPECT_TRUE(box_.shown.empty());
    EXPECT_EQ(InstallMessageBox(&box_), &other);
}

TEST_F(MessageBoxServiceTest, NullInstallsTheHeadlessBox) {
    InstallMessageBox(nullptr);
    ::testing::internal::CaptureStderr();
    const int answer = ShowMessageBox("M\xFCller", "Caption", kMbYesNo | kMbDefButton2);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, kIdNo);
    EXPECT_EQ(printed, "[Caption] M\xC3\xBCller\n");
    EXPECT_TRUE(box_.shown.empty());
}

}  // namespace
}  // namespace platform
