#include "search/details/receivebuffer.h"

#include <sys/socket.h>

void EnlargeReceiveBuffer(boost::asio::ip::udp::socket& socket) {
    const int size = kWorkerReceiveBufferBytes;
    const int fd = socket.native_handle();
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) == 0) return;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}
