#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where boxes sit on the local networks: this machine's IPv4 interfaces and the kernel's
// neighbour table (the MACs of addresses on directly connected subnets). Plain reads of the
// calling thread's network namespace; any thread.

struct Ipv4Interface {
    std::string name;
    std::uint32_t address = 0;  // host byte order
    std::uint32_t netmask = 0;

    // Whether ip (host byte order) is on this interface's subnet, other than its own address.
    bool Neighbours(std::uint32_t ip) const;
    std::string AddressText() const;
    // The subnet's directed broadcast, such as 10.77.1.255.
    std::string BroadcastText() const;
};

// Every interface that is up with an IPv4 address, loopback left out, in the system's order.
std::vector<Ipv4Interface> LocalIpv4Interfaces();

// The complete entry's MAC for ip on interfaceName in the text of /proc/net/arp, in lower
// case; empty when there is none.
std::string NeighbourMacIn(const std::string& arpTable, const std::string& ip,
                           const std::string& interfaceName);

struct NeighbourFacts {
    std::string interfaceName;  // empty: ip is on no directly connected subnet
    std::string mac;            // empty: no complete neighbour entry
};

// The directly connected interface of ip and its neighbour entry's MAC. A box behind a router
// gets neither: the table would hold the router's MAC.
NeighbourFacts LookUpNeighbour(const std::vector<Ipv4Interface>& interfaces, const std::string& ip,
                               const std::string& arpTable);

// The text of /proc/net/arp; empty when it cannot be read.
std::string ReadArpTable();

// Parses a dotted IPv4 address into host byte order; false on anything else.
bool ParseIpv4(const std::string& text, std::uint32_t& ip);
