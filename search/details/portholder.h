#pragma once

#include "search/details/internal.h"

#include <istream>
#include <vector>

#include <string>

// The process that holds a UDP port, as /proc shows it; pid 0 when it could not be told.
struct PortHolder {
    int port = 0;
    int pid = 0;
    std::string program;
};

// Who holds a UDP port, as /proc shows it: the socket's inode from /proc/net/udp and
// /proc/net/udp6 (this network namespace's tables; an IPv6 socket on [::] takes the IPv4 port
// too), then the process whose descriptors include that socket. A process of
// another user is only seen with the privilege to read its descriptors.
PortHolder FindPortHolder(int port);

// The inodes of the UDP sockets bound to port in a /proc/net/udp or /proc/net/udp6 table.
std::vector<unsigned long> UdpSocketInodes(std::istream& table, int port);
