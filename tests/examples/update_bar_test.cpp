// The main window's update strip: the online indicator follows the detector,
// and "Check for updates" says what it can do and fetches the version file.
#include "examples/update_bar.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "controls/httpget.hpp"
#include "tests/support/http_server.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/ui_fixture.hpp"

namespace demo {
namespace {

using testing_support::HttpRecorded;
using testing_support::HttpReply;

class UpdateBarTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        setenv("no_proxy", "*", 1);
        form = ui::Make<ui::TForm>(nullptr);
        bar = new TUpdateBar(
            form.get(), [this] { return url; }, dir / "version.txt", Probe());
        bar->SetParent(form.get());
        bar->SetAlign(ui::alTop);
    }
    void TearDown() override {
        form.reset();
        // A download's thread ends after it has reported: the process must not end under it.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (controls::THTTPGetThread::Alive() != 0 && std::chrono::steady_clock::now() < until)
            ui::Application().HandleMessage();
        UiTest::TearDown();
    }
    controls::NetProbe Probe() {
        return {[] { return std::optional<std::string>("pc"); },
                [](const std::string&) { return std::optional<std::vector<std::string>>({"127.0.1.1"}); },
                [this] {
                    std::vector<controls::NetInterface> up;
                    if (online) up.push_back({"eth0", "192.168.1.5", true, true, false, false});
                    return up;
                }};
    }
    void Poll() {
        clock_.Advance(1000);
        Pump();
    }
    // The check's outcome, once the download has ended (20 s at most).
    std::string Check() {
        bar->CheckButton()->Click();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (bar->Download()->Running() && std::chrono::steady_clock::now() < until)
            ui::Application().HandleMessage();
        return bar->StatusLabel()->Caption();
    }

    testing_support::TempDir dir;
    ui::Owned<ui::TForm> form;
    TUpdateBar* bar = nullptr;
    std::string url;
    bool online = true;
};

TEST_F(UpdateBarTest, TheIndicatorFollowsTheNetwork) {
    EXPECT_EQ(bar->OnlineLabel()->Caption(), "Offline");
    struct Step {
        bool online;
        const char* shown;
    } steps[] = {{true, "Online"}, {false, "Offline"}, {true, "Online"}};
    for (const Step& s : steps) {
        online = s.online;
        Poll();
        EXPECT_EQ(bar->OnlineLabel()->Caption(), s.shown);
    }
}

TEST_F(UpdateBarTest, TheCheckSaysWhatItFound) {
    testing_support::TestHttpServer server([](const HttpRecorded& r) {
        if (r.target == "/same.txt") return HttpReply(200, "4.0\r\n");
        if (r.target == "/newer.txt") return HttpReply(200, "4.1\r\n");
        return HttpReply(404, "no such file");
    });
    Poll();
    struct Case {
        std::string url;
        bool online;
        std::string status;
    } cases[] = {
        {"", true, "No update address is set (VERSION URL in section UPDATE CHECK of the settings file)."},
        {server.Url("/newer.txt"), false, "Not connected: the update check needs the network."},
        {server.Url("/newer.txt"), true, "Version 4.1 is published; this is version 4.0."},
        {server.Url("/same.txt"), true, "This is the latest version (4.0)."},
        {server.Url("/gone.txt"), true, "The update check failed."},
    };
    for (const Case& c : cases) {
        url = c.url;
        online = c.online;
        Poll();
        EXPECT_EQ(Check(), c.status) << c.url;
    }
}

// A server that sends more than a version file: the check stops reading it
// and says so, and a first line too long for a version is shown cut short;
// the strip's text stays a line's worth however much came.
TEST_F(UpdateBarTest, AHugeOrLongReplyIsReadAndShownBounded) {
    const std::string huge_line(2 << 20, '9');
    const std::string long_line = "4." + std::string(5000, '1');
    testing_support::TestHttpServer server([&](const HttpRecorded& r) {
        if (r.target == "/huge.txt") return HttpReply(200, huge_line);
        if (r.target == "/huge-after.txt") return HttpReply(200, "4.1\r\n" + huge_line);
        return HttpReply(200, long_line + "\r\n");
    });
    Poll();
    const std::string too_large = "The version file is too large (more than 65536 bytes).";
    struct Case {
        std::string path, status;
    } cases[] = {
        {"/huge.txt", too_large},
        {"/huge-after.txt", too_large},
        {"/long.txt", "The version file holds no version (\"4." + std::string(62, '1') + "...\")."},
    };
    for (const Case& c : cases) {
        url = server.Url(c.path);
        EXPECT_EQ(Check(), c.status) << c.path;
        EXPECT_LE(bar->StatusLabel()->Width(), bar->Width()) << c.path;
    }
}

TEST_F(UpdateBarTest, TheCheckShowsItsProgress) {
    testing_support::TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, "4.1\r\n").HoldAfter(2); });
    Poll();
    url = server.Url("/version.txt");
    bar->CheckButton()->Click();
    ASSERT_TRUE(server.WaitForHeld(1));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (bar->StatusLabel()->Caption() == "Checking for updates..." && std::chrono::steady_clock::now() < until)
        ui::Application().HandleMessage();
    EXPECT_EQ(bar->StatusLabel()->Caption(), "Checking for updates: 2 of 5 bytes");
    server.Release();
    while (bar->Download()->Running() && std::chrono::steady_clock::now() < until) ui::Application().HandleMessage();
    EXPECT_EQ(bar->StatusLabel()->Caption(), "Version 4.1 is published; this is version 4.0.");
}

// Whatever the strip's width, the button keeps to the right edge, the
// indicator before it and the outcome before that, never over each other: a
// long outcome takes two lines where one is too short.
TEST_F(UpdateBarTest, TheButtonKeepsToTheRightAndTheOutcomeBeforeTheIndicator) {
    struct Case {
        int width;
        bool two_lines;
    } cases[] = {{1000, false}, {420, true}, {900, false}};
    for (const Case& c : cases) {
        form->SetWidth(c.width);
        Pump();
        EXPECT_EQ(Check(), "No update address is set (VERSION URL in section UPDATE CHECK of the settings file).");
        ui::TControl* check = bar->CheckButton();
        ui::TLabel* online = bar->OnlineLabel();
        ui::TLabel* status = bar->StatusLabel();
        EXPECT_EQ(bar->Width(), form->ClientWidth());
        EXPECT_EQ(check->Left() + check->Width(), bar->Width() - 8) << c.width;
        EXPECT_LT(online->Left() + online->Width(), check->Left()) << c.width;
        EXPECT_LT(status->Left() + status->Width(), online->Left()) << c.width;
        EXPECT_GE(status->Left(), 0) << c.width;
        EXPECT_EQ(status->WordWrap, c.two_lines) << c.width;
        EXPECT_LE(status->Top() + status->Height(), bar->Height()) << c.width;
    }
}

}  // namespace
}  // namespace demo
