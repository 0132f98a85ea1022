#include "controls/netstate.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <memory>

namespace controls {

namespace {

std::optional<std::string> NumericHost(const sockaddr* addr) {
    if (!addr || (addr->sa_family != AF_INET && addr->sa_family != AF_INET6)) return std::nullopt;
    const socklen_t len = addr->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    char text[NI_MAXHOST];
    if (getnameinfo(addr, len, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) return std::nullopt;
    return std::string(text);
}

std::optional<std::string> SystemHostName() {
    long max = sysconf(_SC_HOST_NAME_MAX);
    if (max < HOST_NAME_MAX) max = HOST_NAME_MAX;
    std::string name(size_t(max) + 1, '\0');
    if (gethostname(name.data(), name.size()) != 0) return std::nullopt;
    name.resize(strnlen(name.data(), name.size() - 1));
    return name;
}

std::optional<std::vector<std::string>> SystemLookUp(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0) return std::nullopt;
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(list, &freeaddrinfo);
    std::vector<std::string> addresses;
    for (const addrinfo* a = list; a; a = a->ai_next)
        if (auto text = NumericHost(a->ai_addr)) addresses.push_back(*text);
    return addresses;
}

std::vector<NetInterface> SystemInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    std::vector<NetInterface> result;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        NetInterface n;
        n.name = i->ifa_name ? i->ifa_name : "";
        n.address = NumericHost(i->ifa_addr).value_or("");
        n.up = i->ifa_flags & IFF_UP;
        n.running = i->ifa_flags & IFF_RUNNING;
        n.loopback = i->ifa_flags & IFF_LOOPBACK;
        n.point_to_point = i->ifa_flags & IFF_POINTOPOINT;
        result.push_back(std::move(n));
    }
    return result;
}

}  // namespace

NetProbe SystemNetProbe() { return {SystemHostName, SystemLookUp, SystemInterfaces}; }

bool IsLoopbackAddress(const std::string& address) {
    const std::string bare = address.substr(0, address.find('%'));  // without a scope
    in_addr v4{};
    if (inet_pton(AF_INET, bare.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, bare.c_str(), &v6) != 1) return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

HostTestResult HostTest(const std::optional<std::string>& name, const std::optional<std::vector<std::string>>& entry,
                        const std::vector<NetInterface>& interfaces) {
    HostTestResult r;
    if (!name) return r;
    if (entry) r.host_entry = *entry;
    // Linux answers its host name from the hosts file (127.0.1.1 on Debian),
    // not with the interfaces' addresses: those are looked at too.
    for (const NetInterface& i : interfaces)
        if (i.up && i.running && !i.loopback && !i.address.empty()) r.host_entry.push_back(i.address);
    if (!entry && r.host_entry.empty()) return r;  // the look-up failed and nothing else is known
    if (!r.host_entry.empty()) r.local_address = r.host_entry.back();
    r.online = !r.local_address.empty() && !IsLoopbackAddress(r.local_address);
    return r;
}

HostTestResult HostTest(const NetProbe& probe) {
    const auto name = probe.host_name ? probe.host_name() : std::nullopt;
    if (!name) return {};
    const auto entry = probe.look_up ? probe.look_up(*name) : std::nullopt;
    return HostTest(name, entry, probe.interfaces ? probe.interfaces() : std::vector<NetInterface>{});
}

std::optional<bool> RemoteConnection(const std::vector<NetInterface>& interfaces) {
    std::optional<bool> state;
    for (const NetInterface& i : interfaces)
        if (i.point_to_point) state = state.value_or(false) || (i.up && i.running);
    return state;
}

std::optional<bool> RemoteConnection(const NetProbe& probe) {
    if (!probe.interfaces) return std::nullopt;
    return RemoteConnection(probe.interfaces());
}

}  // namespace controls
