#pragma once
// Whether the machine is on a network, as the online-state detector
// (controls/inetdetector.hpp) judges it: by the addresses of its own host
// name and interfaces, and by a dial-up link. What is looked at comes from a
// NetProbe, the system's or a test's.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace controls {

struct NetInterface {
    std::string name;
    std::string address;  // numeric text; empty for an interface without one
    bool up = false, running = false, loopback = false, point_to_point = false;
};

struct NetProbe {
    std::function<std::optional<std::string>()> host_name;  // nothing when it cannot be had
    // The addresses the name resolves to, as numeric texts; nothing when the look-up fails.
    std::function<std::optional<std::vector<std::string>>(const std::string& name)> look_up;
    std::function<std::vector<NetInterface>()> interfaces;
};
// gethostname (room for the longest host name Linux allows), getaddrinfo and getifaddrs.
NetProbe SystemNetProbe();

// 127.0.0.0/8, ::1 and IPv4-mapped 127.x addresses.
bool IsLoopbackAddress(const std::string& address);

struct HostTestResult {
    bool online = false;
    std::vector<std::string> host_entry;  // the addresses looked at, in order
    std::string local_address;            // the last of them
};
// The host name's addresses (`entry`: nothing when the look-up failed or
// has not answered) followed by those of the interfaces that are up (other
// than loopback); online when the last one is not a loopback address.
HostTestResult HostTest(const std::optional<std::string>& name, const std::optional<std::vector<std::string>>& entry,
                        const std::vector<NetInterface>& interfaces);
// The same with everything asked of the probe now, the look-up waited for.
HostTestResult HostTest(const NetProbe& probe);

// The dial-up service's state: whether a point-to-point link is up; nothing
// when the machine has no such link at all.
std::optional<bool> RemoteConnection(const std::vector<NetInterface>& interfaces);
std::optional<bool> RemoteConnection(const NetProbe& probe);

}  // namespace controls
