// The online-state detector: how the machine's addresses are judged, with
// the network state made up by the test, and polling on the timer.
#include "controls/inetdetector.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

// The name service of a made-up machine. It is asked on the detector's
// look-up threads, which may outlive a test: they share it.
struct FakeNames {
    std::mutex mu;
    std::condition_variable cv;
    std::map<std::string, std::vector<std::string>> entries;
    bool held = false;  // look-ups wait until released
    int asked = 0;
};

// A machine whose network the test makes up.
struct FakeNet {
    std::optional<std::string> host = "corvanta-pc";
    std::vector<NetInterface> interfaces = {{"lo", "127.0.0.1", true, true, true, false}};
    int polls = 0;
    bool fail = false;
    std::shared_ptr<FakeNames> names = std::make_shared<FakeNames>();

    FakeNet() { Name("corvanta-pc", std::vector<std::string>{"127.0.1.1"}); }
    // The addresses `name` resolves to; nothing: it is unknown.
    void Name(const std::string& name, std::optional<std::vector<std::string>> entry) {
        std::lock_guard lock(names->mu);
        if (entry)
            names->entries[name] = *entry;
        else
            names->entries.erase(name);
    }
    void Hold(bool on) {
        {
            std::lock_guard lock(names->mu);
            names->held = on;
        }
        names->cv.notify_all();
    }
    int Asked() {
        std::lock_guard lock(names->mu);
        return names->asked;
    }

    NetProbe Probe() {
        return {[this]() -> std::optional<std::string> {
                    ++polls;
                    if (fail) throw std::runtime_error("no network library");
                    return host;
                },
                [names = names](const std::string& name) -> std::optional<std::vector<std::string>> {
                    std::unique_lock lock(names->mu);
                    ++names->asked;
                    names->cv.wait(lock, [&] { return !names->held; });
                    if (name == "throws") throw std::runtime_error("resolver gone");
                    const auto it = names->entries.find(name);
                    if (it == names->entries.end()) return std::nullopt;
                    return it->second;
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
    // Until the look-up has answered and the answer was taken (at most 20 s).
    bool Answered(const TINetDetector& detector) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (Pump(); detector.LookingUp(); Pump()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
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
        {"the host name unknown", [&] { net.Name("corvanta-pc", std::nullopt); }, false, 4},
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

TEST_F(INetDetectorTest, TheHostNamesAnswerComesBackFromItsThread) {
    using Entry = std::optional<std::vector<std::string>>;
    struct Case {
        const char* name;
        std::string host;
        Entry entry;
        std::vector<NetInterface> interfaces;
        bool online;
        std::vector<std::string> host_entry;
    } cases[] = {
        {"the name resolves to an address", "pc", Entry({"192.168.1.5"}), {}, true, {"192.168.1.5"}},
        {"to the loopback only", "pc", Entry({"127.0.1.1"}), {}, false, {"127.0.1.1"}},
        {"the interfaces come after",
         "pc",
         Entry({"192.168.1.5"}),
         {Eth("10.0.0.2")},
         true,
         {"192.168.1.5", "10.0.0.2"}},
        {"an unknown name", "pc", std::nullopt, {}, false, {}},
        {"a look-up that throws", "throws", std::nullopt, {Eth("10.0.0.2")}, true, {"10.0.0.2"}},
    };
    for (const Case& c : cases) {
        FakeNet machine;
        machine.host = c.host;
        machine.Name(c.host, c.entry);
        machine.interfaces = c.interfaces;
        const auto owned_detector = ui::Make<TINetDetector>(nullptr, machine.Probe());
        TINetDetector& detector = *owned_detector;
        int changes = 0;
        detector.OnChanged = [&](ui::TObject*) { ++changes; };
        Poll();
        ASSERT_TRUE(Answered(detector)) << c.name;
        EXPECT_EQ(detector.Online(), c.online) << c.name;
        EXPECT_EQ(changes, c.online ? 1 : 0) << "once, at the poll or at the answer: " << c.name;
        EXPECT_EQ(detector.HostEntry(), c.host_entry) << c.name;
        EXPECT_TRUE(box_.shown.empty()) << c.name;
    }
}

TEST_F(INetDetectorTest, OneLookUpAtATimeAndALateAnswerForAnotherNameIsDropped) {
    net.Name("pc-one", std::vector<std::string>{"192.168.1.5"});
    net.Name("pc-two", std::vector<std::string>{"127.0.1.1"});
    net.host = "pc-one";
    net.Hold(true);
    const auto owned_detector = ui::Make<TINetDetector>(nullptr, net.Probe());
    TINetDetector& detector = *owned_detector;
    Poll();
    Poll();
    EXPECT_TRUE(detector.LookingUp());
    net.host = "pc-two";  // renamed while the look-up of the old name waits
    Poll();
    net.Hold(false);
    ASSERT_TRUE(Answered(detector));
    EXPECT_FALSE(detector.Online()) << "pc-one's address is not pc-two's";
    EXPECT_EQ(net.Asked(), 1) << "no second look-up while one waits";
    Poll();
    ASSERT_TRUE(Answered(detector));
    EXPECT_EQ(net.Asked(), 2);
    EXPECT_EQ(detector.HostEntry(), std::vector<std::string>{"127.0.1.1"});
}

// A name server that takes every query and never answers.
class SilentNameServer {
public:
    SilentNameServer() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        address_.sin_family = AF_INET;
        address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof address_;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address_), len) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &len) != 0)
            throw std::runtime_error("no loopback port for the name server");
    }
    ~SilentNameServer() { close(fd_); }
    // Queries received so far.
    int Queries() {
        char packet[512];
        while (recv(fd_, packet, sizeof packet, MSG_DONTWAIT) > 0) ++queries_;
        return queries_;
    }
    // The system's resolver, asking this server only and waiting `seconds` for its answer.
    std::function<std::optional<std::vector<std::string>>(const std::string&)> LookUp(int seconds) const {
        return [server = address_, seconds](const std::string& name) -> std::optional<std::vector<std::string>> {
            struct __res_state state {};
            if (res_ninit(&state) != 0) return std::nullopt;
            state.nscount = 1;
            state.nsaddr_list[0] = server;
            state.retrans = seconds;
            state.retry = 1;
            unsigned char answer[512];
            const int n = res_nquery(&state, name.c_str(), C_IN, T_A, answer, sizeof answer);
            res_nclose(&state);
            if (n < 0) return std::nullopt;
            return std::vector<std::string>{};
        };
    }

private:
    int fd_ = -1;
    sockaddr_in address_{};
    int queries_ = 0;
};

TEST_F(INetDetectorTest, TheLoopGoesOnWhileTheNameServerIsSilent) {
    // Real time: the loop's gaps are measured. A look-up waits 10 s, as one
    // to a name server that is gone does: any wait on it shows as seconds.
    ui::InstallClock(nullptr);
    SilentNameServer server;
    NetProbe probe = SystemNetProbe();
    probe.look_up = server.LookUp(10);
    auto detector = ui::Make<TINetDetector>(nullptr, probe);
    detector->SetDispatchInterval(20);
    // A beat every 5 ms: the loop's gaps are those between beats.
    using Time = std::chrono::steady_clock::time_point;
    const Time start = std::chrono::steady_clock::now();
    std::vector<Time> beats{start};
    const ui::UINT beat =
        ui::SetTimer(0, 0, 5, [&](ui::HWND, ui::UINT) { beats.push_back(std::chrono::steady_clock::now()); });
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(600) || server.Queries() == 0) {
        ASSERT_TRUE(ui::Application().HandleMessage());
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30))
            << "the name server was never asked";
    }
    ui::KillTimer(0, beat);
    beats.push_back(std::chrono::steady_clock::now());
    std::chrono::steady_clock::duration gap{};
    for (size_t i = 1; i < beats.size(); ++i) gap = std::max(gap, beats[i] - beats[i - 1]);
    EXPECT_LT(gap, std::chrono::milliseconds(100))
        << "the loop's longest gap: " << std::chrono::duration_cast<std::chrono::milliseconds>(gap).count() << " ms";
    EXPECT_TRUE(detector->LookingUp()) << "the look-up still waits";

    const Time end = std::chrono::steady_clock::now();
    detector.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - end, std::chrono::seconds(2)) << "the end waits for no look-up";
}

TEST_F(INetDetectorTest, TheDetectorRunsOnTheRealMachine) {
    const auto owned_detector = ui::Make<TINetDetector>(nullptr);
    TINetDetector& detector = *owned_detector;
    Poll();
    ASSERT_TRUE(Answered(detector));
    const NetProbe probe = SystemNetProbe();
    EXPECT_FALSE(probe.host_name().value_or("").empty());
    EXPECT_EQ(detector.Online(), HostTest(probe).online || RemoteConnection(probe).value_or(false));
    EXPECT_TRUE(box_.shown.empty());
}

}  // namespace
}  // namespace controls
