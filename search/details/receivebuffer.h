#pragma once

#include "search/details/internal.h"

#include <boost/asio/ip/udp.hpp>

// Receive buffer of the workers' sockets, big enough for a whole LAN answering one search at
// once (about a thousand answers): with the system default most of such a burst is dropped
// before the receive thread gets to it.
constexpr int kWorkerReceiveBufferBytes = 2 * 1024 * 1024;

// Sets the socket's receive buffer to kWorkerReceiveBufferBytes. Tries SO_RCVBUFFORCE first,
// which passes the system cap net.core.rmem_max but needs CAP_NET_ADMIN, then SO_RCVBUF, which
// the system caps. Best effort: a socket that keeps a smaller buffer still works.
void EnlargeReceiveBuffer(boost::asio::ip::udp::socket& socket);
