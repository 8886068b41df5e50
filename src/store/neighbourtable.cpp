#include "src/store/neighbourtable.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "src/store/wakeonlan.h"

namespace {

std::string Ipv4Text(std::uint32_t ip) {
    in_addr address{};
    address.s_addr = htonl(ip);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// /proc/net/arp marks an entry the kernel holds a valid address for with ATF_COM.
constexpr unsigned kArpComplete = 0x2;

}  // namespace

bool ParseIpv4(const std::string& text, std::uint32_t& ip) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return false;
    ip = ntohl(address.s_addr);
    return true;
}

bool Ipv4Interface::Neighbours(std::uint32_t ip) const {
    return ip != address && (ip & netmask) == (address & netmask);
}

std::string Ipv4Interface::AddressText() const {
    return Ipv4Text(address);
}

std::string Ipv4Interface::BroadcastText() const {
    return Ipv4Text(address | ~netmask);
}

std::vector<Ipv4Interface> LocalIpv4Interfaces() {
    std::vector<Ipv4Interface> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return interfaces;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        Ipv4Interface found;
        found.name = entry->ifa_name;
        found.address =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        if (entry->ifa_netmask != nullptr) {
            found.netmask =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        }
        interfaces.push_back(found);
    }
    freeifaddrs(list);
    return interfaces;
}

std::string NeighbourMacIn(const std::string& arpTable, const std::string& ip,
                           const std::string& interfaceName) {
    std::istringstream lines(arpTable);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string address, hardwareType, flags, mac, mask, device;
        if (!(fields >> address >> hardwareType >> flags >> mac >> mask >> device)) continue;
        if (address != ip || device != interfaceName) continue;
        if ((std::strtoul(flags.c_str(), nullptr, 16) & kArpComplete) == 0) continue;
        const auto parsed = ParseMac(mac);
        if (!parsed || *parsed == MacAddress{}) continue;
        return MacText(*parsed);
    }
    return {};
}

NeighbourFacts LookUpNeighbour(const std::vector<Ipv4Interface>& interfaces, const std::string& ip,
                               const std::string& arpTable) {
    NeighbourFacts facts;
    std::uint32_t address = 0;
    if (!ParseIpv4(ip, address)) return facts;
    for (const Ipv4Interface& local : interfaces) {
        if (!local.Neighbours(address)) continue;
        if (facts.interfaceName.empty()) facts.interfaceName = local.name;
        const std::string mac = NeighbourMacIn(arpTable, ip, local.name);
        if (!mac.empty()) return {local.name, mac};
    }
    return facts;
}

std::string ReadArpTable() {
    std::ifstream file("/proc/net/arp");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
