#include "search/details/routequery.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

CRouteQuery::~CRouteQuery() {
    if (fd >= 0) ::close(fd);
}

int CRouteQuery::Source(std::uint32_t target, std::uint32_t& source) {
    if (fd < 0) fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    // Any port: only the address chooses the route.
    to.sin_port = htons(9);
    to.sin_addr.s_addr = htonl(target);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) return errno;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const int error =
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ? errno : 0;
    sockaddr nowhere{};
    nowhere.sa_family = AF_UNSPEC;
    ::connect(fd, &nowhere, sizeof nowhere);
    source = ntohl(local.sin_addr.s_addr);
    return error;
}
