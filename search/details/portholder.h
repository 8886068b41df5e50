#pragma once

#include "search/details/internal.h"

#include <istream>
#include <vector>

#include "search/searchhints.h"

// Who holds a UDP port, as /proc shows it: the socket's inode from /proc/net/udp (this network
// namespace's table), then the process whose descriptors include that socket. A process of
// another user is only seen with the privilege to read its descriptors.
PortHolder FindPortHolder(int port);

// The inodes of the UDP sockets bound to port in a /proc/net/udp table.
std::vector<unsigned long> UdpSocketInodes(std::istream& table, int port);
