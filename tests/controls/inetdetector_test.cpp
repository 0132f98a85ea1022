// The online-state detector: how the machine's addresses are judged, with
// the network state made up by the test, and polling on the timer.
#include "controls/inetdetector.hpp"

#include <gtest/gtest.h>

#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

// A machine whose network the test makes up.
struct FakeNet {
    std::optional<std::string> host = "corvanta-pc";
    std::optional<std::vector<std::string>> entry = std::vector<std::string>{"127.0.1.1"};
    std::vector<NetInterface> interfaces = {{"lo", "127.0.0.1", true, true, true, false}};
    int polls = 0;
    bool fail = false;

    NetProbe Probe() {
        return {[this]() -> std::optional<std::string> {
                    ++polls;
                    if (fail) throw std::runtime_error("no network library");
                    return host;
                },
                [this](const std::string& name) -> std::optional<std::vector<std::string>> {
                    if (name != host) return std::nullopt;
                    return entry;
                },
                [this] { return interfaces; }};
    }
};

NetInterface Eth(std::string address, bool up = true, bool running = true) {
    return {"eth0", std::move(address), up, running, false, false};
}
NetInterface Ppp(bool up) { return {"ppp0", up ? "10.64.64.64" : "", up, up, false, true}; }

TEST(NetStateTest, LoopbackAddressesAreAllOf127And1) {
    struct Case {
        std::string address;
        bool loopback;
    } cases[] = {
        {"127.0.0.1", true},
        {"127.0.1.1", true},
        {"127.255.255.254", true},
        {"::1", true},
        {"::ffff:127.0.0.5", true},
        {"128.0.0.1", false},
        {"10.0.0.2", false},
        {"::2", false},
        {"fe80::1%eth0", false},
        {"::ffff:10.0.0.1", false},
        {"", false},
        {"localhost", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsLoopbackAddress(c.address), c.loopback) << c.address;
}

TEST(NetStateTest, TheHostTestLooksAtTheLastAddressOfTheNameAndTheInterfaces) {
    using Entry = std::optional<std::vector<std::string>>;
    struct Case {
        const char* name;
        std::optional<std::string> host;
        Entry entry;
        std::vector<NetInterface> interfaces;
        bool online;
        std::string local;
    } cases[] = {
        {"no host name", std::nullopt, Entry({"10.0.0.2"}), {Eth("10.0.0.2")}, false, ""},
        {"name resolves to the loopback only", "pc", Entry({"127.0.1.1"}), {}, false, "127.0.1.1"},
        {"the name resolves to an address", "pc", Entry({"192.168.1.5"}), {}, true, "192.168.1.5"},
        {"the last address counts", "pc", Entry({"192.168.1.5", "127.0.0.1"}), {}, false, "127.0.0.1"},
        {"an interface that is up", "pc", Entry({"127.0.1.1"}), {Eth("192.168.1.5")}, true, "192.168.1.5"},
        {"an IPv6 interface", "pc", Entry({"127.0.1.1"}), {Eth("2001:db8::5")}, true, "2001:db8::5"},
        {"an interface without carrier",
         "pc",
         Entry({"127.0.1.1"}),
         {Eth("192.168.1.5", true, false)},
         false,
         "127.0.1.1"},
        {"an interface that is down",
         "pc",
         Entry({"127.0.1.1"}),
         {Eth("192.168.1.5", false, false)},
         false,
         "127.0.1.1"},
        {"the loopback interface",
         "pc",
         Entry({"127.0.1.1"}),
         {{"lo", "::1", true, true, true, false}},
         false,
         "127.0.1.1"},
        {"the name unknown, an interface up", "pc", std::nullopt, {Eth("10.0.0.2")}, true, "10.0.0.2"},
        {"the name unknown, nothing up", "pc", std::nullopt, {Eth("10.0.0.2", false, false)}, false, ""},
        {"the name resolves to nothing", "pc", Entry(std::vector<std::string>{}), {}, false, ""},
    };
    for (const Case& c : cases) {
        NetProbe probe{[&] { return c.host; }, [&](const std::string&) { return c.entry; },
                       [&] { return c.interfaces; }};
        const HostTestResult r = HostTest(probe);
        EXPECT_EQ(r.online, c.online) << c.name;
        EXPECT_EQ(r.local_address, c.local) << c.name;
    }
}

class INetDetectorTest : public testing_ui::UiTest {
protected:
    // One poll interval later, with its timer handled.
    void Poll(unsigned ms = 1000) {
        clock_.Advance(ms);
        Pump();
    }
    FakeNet net;
};

TEST_F(INetDetectorTest, AChangeFiresOnChangedOnceInTheTickThatSeesIt) {
    const auto owned_detector = ui::Make<TINetDetector>(nullptr, net.Probe());
    TINetDetector& detector = *owned_detector;
    int changes = 0;
    detector.OnChanged = [&](ui::TObject* s) {
        EXPECT_EQ(s, &detector);
        ++changes;
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        bool online;
        int changes;
    } steps[] = {
        {"only the loopback", [] {}, false, 0},
        {"a cable plugged in", [&] { net.interfaces.push_back(Eth("192.168.1.5")); }, true, 1},
        {"nothing new", [] {}, true, 1},
        {"the cable pulled", [&] { net.interfaces.back().running = false; }, false, 2},
        {"a dial-up link up", [&] { net.interfaces.push_back(Ppp(true)); }, true, 3},
        {"the dial-up link down", [&] { net.interfaces.back() = Ppp(false); }, false, 4},
        {"the host name unknown", [&] { net.entry.reset(); }, false, 4},
    };
    EXPECT_FALSE(detector.Online());
    for (const Step& s : steps) {
        s.change();
        Poll();
        EXPECT_EQ(detector.Online(), s.online) << s.what;
        EXPECT_EQ(changes, s.changes) << s.what;
    }
    detector.SetOnline(true);
    EXPECT_FALSE(detector.Online());
}

TEST_F(INetDetectorTest, PollingFollowsEnabledAndTheInterval) {
    const auto owned_detector = ui::Make<TINetDetector>(nullptr, net.Probe());
    TINetDetector& detector = *owned_detector;
    struct Step {
        const char* what;
        std::function<void()> change;
        unsigned advance;
        int polls;  // in all, afterwards
    } steps[] = {
        {"the first poll, one second after creation", [] {}, 1000, 1},
        {"not before the interval", [] {}, 999, 1},
        {"the next one", [] {}, 1, 2},
        {"interval 0 stops polling", [&] { detector.SetDispatchInterval(0); }, 5000, 2},
        {"an interval again restarts it", [&] { detector.SetDispatchInterval(250); }, 250, 3},
        {"disabled", [&] { detector.SetEnabled(false); }, 5000, 3},
        {"enabled", [&] { detector.SetEnabled(true); }, 250, 4},
    };
    for (const Step& s : steps) {
        s.change();
        Poll(s.advance);
        EXPECT_EQ(net.polls, s.polls) << s.what;
    }
}

TEST_F(INetDetectorTest, AFailedPollGoesToTheApplicationAndPollingGoesOn) {
    const auto owned_detector = ui::Make<TINetDetector>(nullptr, net.Probe());
    TINetDetector& detector = *owned_detector;
    net.fail = true;
    Poll();
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, "no network library");
    net.fail = false;
    net.interfaces.push_back(Eth("10.0.0.2"));
    Poll();
    EXPECT_TRUE(detector.Online());
}

TEST_F(INetDetectorTest, TheDetectorRunsOnTheRealMachine) {
    const auto owned_detector = ui::Make<TINetDetector>(nullptr);
    TINetDetector& detector = *owned_detector;
    Poll();
    const NetProbe probe = SystemNetProbe();
    EXPECT_FALSE(probe.host_name().value_or("").empty());
    EXPECT_EQ(detector.Online(), HostTest(probe).online || RemoteConnection(probe).value_or(false));
    EXPECT_TRUE(box_.shown.empty());
}

}  // namespace
}  // namespace controls
