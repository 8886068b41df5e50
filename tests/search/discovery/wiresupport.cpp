#include "tests/search/discovery/wiresupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace discovery_test {

namespace asio = boost::asio;
using asio::ip::udp;

Listener::Listener(int port, const char* group) : fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
    if (fd < 0) throw std::runtime_error("listener socket");
    int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        throw std::runtime_error("listener bind " + std::to_string(port));
    }
    if (group != nullptr) {
        ip_mreq membership{};
        ::inet_pton(AF_INET, group, &membership.imr_multiaddr);
        membership.imr_interface.s_addr = htonl(INADDR_LOOPBACK);
        if (::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
            throw std::runtime_error("listener join");
        }
    }
}

Listener::~Listener() {
    ::close(fd);
}

bool Listener::Receive(Captured& captured, std::chrono::milliseconds limit) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(limit.count())) != 1) return false;
    char data[2048];
    char control[256];
    sockaddr_in from{};
    iovec part{data, sizeof data};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t length = ::recvmsg(fd, &message, 0);
    if (length < 0) return false;
    captured.bytes.assign(data, static_cast<std::size_t>(length));
    char text[INET_ADDRSTRLEN] = {};
    captured.fromIp = ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    captured.fromPort = ntohs(from.sin_port);
    captured.toIp.clear();
    for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr;
         item = CMSG_NXTHDR(&message, item)) {
        if (item->cmsg_level == IPPROTO_IP && item->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(item), sizeof info);
            captured.toIp = ::inet_ntop(AF_INET, &info.ipi_addr, text, sizeof text);
        }
    }
    return true;
}

void SendTo(const std::string& bytes, const char* ip, int port) {
    asio::io_context io;
    udp::socket sender(io, udp::v4());
    sender.send_to(asio::buffer(bytes),
                   udp::endpoint(asio::ip::make_address_v4(ip), static_cast<unsigned short>(port)));
}

PortHolder::PortHolder(int first, int last) {
    for (int port = first; port <= last; ++port) {
        sockets.push_back(std::make_unique<udp::socket>(
            io, udp::endpoint(asio::ip::address_v4::any(), static_cast<unsigned short>(port))));
    }
}

}  // namespace discovery_test
