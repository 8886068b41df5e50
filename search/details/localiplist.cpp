#include "search/details/localiplist.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "log/searchlog.h"

namespace {

LocalAddressSource& Source() {
    static LocalAddressSource source = ReadSystemInterfaceAddresses;
    return source;
}

}  // namespace

bool LocalInterfaceAddress::Searchable() const {
    return family == AF_INET && up && running && !loopback;
}

bool ReadSystemInterfaceAddresses(std::vector<LocalInterfaceAddress>& addresses,
                                  std::string& error) {
    ifaddrs* first = nullptr;
    if (::getifaddrs(&first) != 0) {
        error = std::strerror(errno);
        return false;
    }
    for (const ifaddrs* entry = first; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr) continue;
        LocalInterfaceAddress item;
        item.name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        item.family = entry->ifa_addr->sa_family;
        item.up = (entry->ifa_flags & IFF_UP) != 0;
        item.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        item.running = (entry->ifa_flags & IFF_RUNNING) != 0;
        item.multicast = (entry->ifa_flags & IFF_MULTICAST) != 0;
        char text[INET6_ADDRSTRLEN] = {};
        if (item.family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        } else if (item.family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        }
        item.address = text;
        addresses.push_back(std::move(item));
    }
    ::freeifaddrs(first);
    return true;
}

void SetLocalAddressSource(LocalAddressSource source) {
    Source() = source ? std::move(source) : LocalAddressSource(ReadSystemInterfaceAddresses);
}

bool ListLocalAddresses(std::vector<LocalInterfaceAddress>& addresses, std::string& error) {
    try {
        return Source()(addresses, error);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

std::vector<LocalInterfaceAddress> SearchableAddresses(
    const std::vector<LocalInterfaceAddress>& addresses, bool listed, const std::string& error) {
    WriteSearchLog("Get Current Local IP Info ");
    std::vector<LocalInterfaceAddress> list;
    for (const LocalInterfaceAddress& entry : addresses) {
        if (!entry.Searchable()) continue;
        WriteSearchLog("Get Current Local IP, IP = %s  ", entry.address.c_str());
        list.push_back(entry);
    }
    if (!listed) WriteSearchLog("Add To Mulitcast Group Error : %s   ", error.c_str());
    return list;
}

void GetLocalInterfaceList(std::vector<LocalInterfaceAddress>& list) {
    std::vector<LocalInterfaceAddress> addresses;
    std::string error;
    const bool listed = ListLocalAddresses(addresses, error);
    list = SearchableAddresses(addresses, listed, error);
}

void GetLocalIPList(std::vector<std::string>& list) {
    std::vector<LocalInterfaceAddress> interfaces;
    GetLocalInterfaceList(interfaces);
    list.clear();
    for (LocalInterfaceAddress& entry : interfaces) list.push_back(std::move(entry.address));
}
