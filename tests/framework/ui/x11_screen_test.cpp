// The screen's connection lost while a thread other than the screen's is
// the first to meet it (SDL wakes the loop over a connection of its own
// from other threads).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "framework/ui/sdl_display.hpp"
#include "framework/ui/x11_screen.hpp"
#include "tests/support/x_connection.hpp"
#include "tests/support/xvfb.hpp"

namespace ui {
namespace {

std::atomic<bool> gone{false};
std::thread::id screen_thread;

// In a child of the test: a worker meets the loss first, then the screen's
// thread. Exit handlers run on another thread end the child with status 3.
[[noreturn]] void LoseTheScreenOnAWorkerFirst() {
    testing_ui::Xvfb server;
    if (server.Display().empty()) _exit(10);
    setenv("DISPLAY", server.Display().c_str(), 1);
    const std::unique_ptr<Display> display = OpenSdlDisplay();
    if (!display) _exit(11);
    screen_thread = std::this_thread::get_id();
    x11::EndWhenServerGoes([] { gone = true; });
    std::atexit([] {
        if (std::this_thread::get_id() != screen_thread) _exit(3);
    });
    testing_support::XConnection worker(server.Display()), screen(server.Display());
    if (!worker.Opened() || !screen.Opened()) _exit(12);
    server.End(SIGKILL);
    std::thread([&worker] {
        worker.RepeatsKeys();  // a round trip on the broken connection
        _exit(4);
    }).detach();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);  // a bound for a hang
    while (!gone) {
        if (std::chrono::steady_clock::now() > deadline) _exit(5);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    screen.RepeatsKeys();
    _exit(6);
}

TEST(ScreenGoneTest, OnlyTheScreensThreadEndsTheProgram) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps)";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(LoseTheScreenOnAWorkerFirst(), testing::ExitedWithCode(1),
                "the connection to the screen :[0-9]+ was lost");
}

}  // namespace
}  // namespace ui
