// The screen tests' own X server.
#include "tests/support/xvfb.hpp"

#include <gtest/gtest.h>

#include "tests/support/x_connection.hpp"

namespace {

// A key xdotool presses and releases is one press on the screen, however
// late the loaded server gets to the release.
TEST(XvfbTest, TheServerRepeatsNoKey) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "xvfb is not installed (scripts/install-deps)";
    testing_ui::Xvfb server;
    ASSERT_FALSE(server.Display().empty());
    testing_support::XConnection x(server.Display());
    ASSERT_TRUE(x.Opened());
    EXPECT_FALSE(x.RepeatsKeys());
}

}  // namespace
