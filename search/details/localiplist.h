#pragma once

#include "search/details/internal.h"

#include <functional>
#include <string>
#include <vector>

// One address of one network interface, as the system lists them.
struct LocalInterfaceAddress {
    std::string name;     // interface name, with any alias label ("eth0:1")
    int family = 0;       // AF_INET, AF_INET6, ...
    std::string address;  // numeric text; empty for families without one
    bool up = false;
    bool loopback = false;
    // The link has a carrier (IFF_RUNNING): an interface that is up without one reaches nobody.
    bool running = true;
    bool multicast = true;  // IFF_MULTICAST: the interface can join a group

    // An IPv4 address on a working link, not loopback: one a search can leave from.
    bool Searchable() const;
};

// The system's interface addresses (getifaddrs), in its order. False with the reason in error
// when the list could not be read; addresses then holds what was gathered.
bool ReadSystemInterfaceAddresses(std::vector<LocalInterfaceAddress>& addresses,
                                  std::string& error);

// Fills addresses in the system's interface order. On failure returns false with the reason in
// error; addresses then holds what was gathered before the failure.
using LocalAddressSource =
    std::function<bool(std::vector<LocalInterfaceAddress>& addresses, std::string& error)>;

// Replaces where GetLocalIPList takes its addresses from; an empty source restores the
// system's list. Tests use it to give the registry addresses that no interface has.
void SetLocalAddressSource(LocalAddressSource source);

// The IPv4 addresses of the interfaces that are up, running and not loopback, in interface
// order, each logged. A failure of the listing is logged and yields what was gathered until then.
void GetLocalIPList(std::vector<std::string>& list);
// The same, with each address's interface.
void GetLocalInterfaceList(std::vector<LocalInterfaceAddress>& list);
// The searchable entries of addresses as a listing gave them (listed false, with error, when it
// failed), logged as GetLocalInterfaceList logs them: for a caller that needs the whole list too.
std::vector<LocalInterfaceAddress> SearchableAddresses(
    const std::vector<LocalInterfaceAddress>& addresses, bool listed, const std::string& error);
// Every address the source lists, unfiltered and unlogged; false when the listing failed.
bool ListLocalAddresses(std::vector<LocalInterfaceAddress>& addresses, std::string& error);
