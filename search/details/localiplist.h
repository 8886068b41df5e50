#pragma once

#include "search/details/internal.h"

#include <functional>
#include <string>
#include <vector>

#include "search/searchhealth.h"

// Fills addresses in the system's interface order. On failure returns false with the reason in
// error; addresses then holds what was gathered before the failure.
using LocalAddressSource =
    std::function<bool(std::vector<LocalInterfaceAddress>& addresses, std::string& error)>;

// Replaces where GetLocalIPList takes its addresses from; an empty source restores the
// system's list. Tests use it to give the registry addresses that no interface has.
void SetLocalAddressSource(LocalAddressSource source);

// The IPv4 addresses of the interfaces that are up and not loopback, in interface order,
// each logged. A failure of the listing is logged and yields what was gathered until then.
void GetLocalIPList(std::vector<std::string>& list);
// The same, with each address's interface.
void GetLocalInterfaceList(std::vector<LocalInterfaceAddress>& list);
// Every address the source lists, unfiltered and unlogged; false when the listing failed.
bool ListLocalAddresses(std::vector<LocalInterfaceAddress>& addresses, std::string& error);
