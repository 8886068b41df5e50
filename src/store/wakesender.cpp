#include "src/store/wakesender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

namespace {

constexpr int kRounds = 3;
constexpr std::chrono::milliseconds kRoundGap(100);

sockaddr_in Endpoint(std::uint32_t address, unsigned short port) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    endpoint.sin_addr.s_addr = htonl(address);
    return endpoint;
}

// A broadcast-capable socket bound to the interface's address; -1 with the reason in error.
int OpenSocket(const Ipv4Interface& via, std::string& error) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot open a UDP socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1;
    const sockaddr_in local = Endpoint(via.address, 0);
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = via.name + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

WakeSent SendWakePackets(const MacAddress& mac, const std::vector<Ipv4Interface>& interfaces) {
    const MagicPacket packet = MakeMagicPacket(mac);
    struct Target {
        std::uint32_t address;
        std::string text;
        bool went;
    };
    struct Route {
        int fd;
        std::string name;
        std::vector<Target> targets;
    };
    WakeSent sent;
    std::vector<std::string> tried;
    std::vector<std::string> wentOut;
    const auto once = [](std::vector<std::string>& names, const std::string& name) {
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    };
    std::vector<Route> routes;
    for (const Ipv4Interface& via : interfaces) {
        once(tried, via.name);
        std::string error;
        const int fd = OpenSocket(via, error);
        if (fd < 0) {
            sent.errors.push_back(error);
            continue;
        }
        routes.push_back({fd,
                          via.name,
                          {{via.address | ~via.netmask, via.BroadcastText(), false},
                           {INADDR_BROADCAST, "255.255.255.255", false}}});
    }
    for (int round = 0; round < kRounds; ++round) {
        if (round > 0) std::this_thread::sleep_for(kRoundGap);
        for (Route& route : routes) {
            for (Target& target : route.targets) {
                const sockaddr_in to = Endpoint(target.address, kWakePort);
                if (sendto(route.fd, packet.data(), packet.size(), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0) {
                    target.went = true;
                } else if (round == 0) {
                    sent.errors.push_back(route.name + ": " + std::strerror(errno));
                }
            }
        }
    }
    for (const Route& route : routes) {
        close(route.fd);
        for (const Target& target : route.targets) {
            if (!target.went) continue;
            sent.addresses.push_back(target.text);
            once(wentOut, route.name);
        }
    }
    sent.interfacesTried = tried.size();
    sent.interfacesSent = wentOut.size();
    return sent;
}

std::vector<Ipv4Interface> WakeInterfaces(const std::string& lastSeenOn, const std::string& lastIp,
                                          const std::function<bool(const std::string&)>& chosen) {
    std::uint32_t ip = 0;
    const bool known = ParseIpv4(lastIp, ip);
    std::vector<Ipv4Interface> found;
    std::optional<Ipv4Interface> seenOn;
    for (const Ipv4Interface& local : LocalIpv4Interfaces()) {
        // An interface left out by the choice carries no wake, not even the box's own.
        if (!chosen(local.name)) continue;
        if (!lastSeenOn.empty() && local.name == lastSeenOn) {
            // An interface may hold several subnets: the box's is the one to broadcast to.
            if (!seenOn || (known && local.Neighbours(ip) && !seenOn->Neighbours(ip))) {
                seenOn = local;
            }
            continue;
        }
        found.push_back(local);
    }
    if (seenOn) return {*seenOn};
    return found;
}
