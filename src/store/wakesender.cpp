#include "src/store/wakesender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
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
    struct Route {
        int fd;
        std::string name;
        std::vector<std::uint32_t> targets;
    };
    WakeSent sent;
    sent.interfacesTried = interfaces.size();
    std::vector<Route> routes;
    for (const Ipv4Interface& via : interfaces) {
        std::string error;
        const int fd = OpenSocket(via, error);
        if (fd < 0) {
            sent.errors.push_back(error);
            continue;
        }
        routes.push_back({fd, via.name, {via.address | ~via.netmask, INADDR_BROADCAST}});
        sent.addresses.push_back(via.BroadcastText());
        sent.addresses.push_back("255.255.255.255");
    }
    std::vector<bool> went(routes.size(), false);
    for (int round = 0; round < kRounds; ++round) {
        if (round > 0) std::this_thread::sleep_for(kRoundGap);
        for (std::size_t r = 0; r < routes.size(); ++r) {
            const Route& route = routes[r];
            for (const std::uint32_t target : route.targets) {
                const sockaddr_in to = Endpoint(target, kWakePort);
                if (sendto(route.fd, packet.data(), packet.size(), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0) {
                    went[r] = true;
                } else if (round == 0) {
                    sent.errors.push_back(route.name + ": " + std::strerror(errno));
                }
            }
        }
    }
    sent.interfacesSent = static_cast<std::size_t>(std::count(went.begin(), went.end(), true));
    for (const Route& route : routes) close(route.fd);
    return sent;
}

std::vector<Ipv4Interface> WakeInterfaces(const std::string& lastSeenOn,
                                          const std::function<bool(const std::string&)>& chosen) {
    std::vector<Ipv4Interface> found;
    for (const Ipv4Interface& local : LocalIpv4Interfaces()) {
        if (!lastSeenOn.empty() && local.name == lastSeenOn) return {local};
        if (chosen(local.name)) found.push_back(local);
    }
    return found;
}
