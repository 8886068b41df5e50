#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "src/store/neighbourtable.h"
#include "src/store/wakeonlan.h"

// Sends the magic packet from an ordinary UDP socket with SO_BROADCAST: no privilege needed.
// Used by nas-search and the window; blocks the calling thread for about 200 ms.

struct WakeSent {
    std::vector<std::string> addresses;  // where the packet went: "10.77.1.255", "255.255.255.255"
    std::vector<std::string> errors;     // what could not be sent, in words
    std::size_t interfacesTried = 0;     // the interfaces it was to go out of
    std::size_t interfacesSent = 0;      // those it went out of
};

// Out of each interface, three times 100 ms apart: to its directed broadcast and to
// 255.255.255.255 (a socket bound to the interface's address sends the limited broadcast out
// of that interface), UDP port 9. An interface given with two addresses counts once in
// interfacesTried, and in interfacesSent once the packet went out of it at least once;
// addresses lists only where a packet went.
WakeSent SendWakePackets(const MacAddress& mac, const std::vector<Ipv4Interface>& interfaces);

// Where a wake goes, among the interfaces with an IPv4 address that chosen accepts: the one the
// box was last seen on, where this machine still has it, with its address whose subnet holds the
// box's last IP (else its first address), so that the directed broadcast reaches the box's
// subnet; else every one of them.
std::vector<Ipv4Interface> WakeInterfaces(const std::string& lastSeenOn, const std::string& lastIp,
                                          const std::function<bool(const std::string&)>& chosen);
