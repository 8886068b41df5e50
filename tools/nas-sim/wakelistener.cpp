#include "tools/nas-sim/wakelistener.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include <boost/asio/ip/address_v4.hpp>

namespace asio = boost::asio;
using asio::ip::udp;

CWakeListener::CWakeListener(asio::io_context& io, MagicHandler handler)
    : io(io), handler(std::move(handler)) {}

void CWakeListener::Start() {
    const unsigned short ports[] = {kWakePort, kWakeEchoPort};
    for (int i = 0; i < 2; ++i) {
        ears[i] = std::make_unique<Ear>(io);
        udp::socket& socket = ears[i]->socket;
        socket.open(udp::v4());
        // Several simulators may share a namespace; each hears every broadcast.
        socket.set_option(asio::socket_base::reuse_address(true));
        socket.set_option(asio::socket_base::broadcast(true));
        socket.bind(udp::endpoint(asio::ip::address_v4::any(), ports[i]));
        Receive(*ears[i]);
    }
}

void CWakeListener::Receive(Ear& ear) {
    ear.socket.async_receive_from(
        asio::buffer(ear.buffer), ear.sender,
        [this, &ear](const boost::system::error_code& error, std::size_t length) {
            if (error == asio::error::operation_aborted) return;
            if (!error && length == kMagicPacketSize) {
                MacAddress mac;
                std::memcpy(mac.data(), ear.buffer + 6, mac.size());
                if (IsMagicPacketFor(ear.buffer, length, mac)) handler(mac);
            }
            Receive(ear);
        });
}

std::optional<MacAddress> MacOfAddressOwner(const std::string& address) {
    const auto wanted = asio::ip::make_address_v4(address).to_uint();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::string owner;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr) ==
            wanted) {
            owner = entry->ifa_name;
        }
    }
    std::optional<MacAddress> mac;
    for (const ifaddrs* entry = list; entry != nullptr && !owner.empty(); entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (owner == entry->ifa_name && link->sll_halen == 6) {
            mac.emplace();
            std::memcpy(mac->data(), link->sll_addr, 6);
        }
    }
    freeifaddrs(list);
    return mac;
}
