#pragma once

#include "search/details/internal.h"

#include <functional>
#include <string>
#include <vector>

// One address of one network interface, as the system lists them.
struct LocalInterfaceAddress {
    std::string name;     // interface name
    int family = 0;       // AF_INET, AF_INET6, ...
    std::string address;  // numeric text; empty for families without one
    bool up = false;
    bool loopback = false;
};

// Fills addresses in the system's interface order. On failure returns false with the reason in
// error; addresses then holds what was gathered before the failure.
using LocalAddressSource =
    std::function<bool(std::vector<LocalInterfaceAddress>& addresses, std::string& error)>;

// The system's own list, from getifaddrs.
bool ReadSystemInterfaceAddresses(std::vector<LocalInterfaceAddress>& addresses,
                                  std::string& error);

// Replaces where GetLocalIPList takes its addresses from; an empty source restores the
// system's list. Tests use it to give the registry addresses that no interface has.
void SetLocalAddressSource(LocalAddressSource source);

// The IPv4 addresses of the interfaces that are up and not loopback, in interface order,
// each logged. A failure of the listing is logged and yields what was gathered until then.
void GetLocalIPList(std::vector<std::string>& list);
