// nasfinder-port-helper: the one program of the package that holds a capability,
// cap_net_bind_service. A program that may not bind the broadcast search's port runs it with
// one end of a Unix socket; it binds UDP 0.0.0.0:67, hands that socket over and exits. Its only
// input is the descriptor's number: it reads no environment variable and opens no file, so the
// capability serves this one port and nothing else. Single-threaded; it lives for one answer.

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "search/protocol.h"

namespace {

int Refuse(const char* why) {
    std::fprintf(stderr, "nasfinder-port-helper: %s\n", why);
    return 2;
}

// The whole argument as a descriptor number; -1 when it is anything else.
int DescriptorNumber(const char* text) {
    const char* end = text + std::strlen(text);
    int number = -1;
    const auto [rest, error] = std::from_chars(text, end, number);
    return error == std::errc() && rest == end && number >= 0 ? number : -1;
}

bool IsUnixSocket(int descriptor) {
    int domain = 0;
    socklen_t length = sizeof domain;
    return getsockopt(descriptor, SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0 &&
           domain == AF_UNIX;
}

// The socket bound to 0.0.0.0:67, or -1 with errno as the step that failed left it.
int BindBroadcastPort() {
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (udp < 0) return -1;
    const int on = 1;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kBroadcastPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (setsockopt(udp, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
        setsockopt(udp, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
        bind(udp, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0) {
        return udp;
    }
    const int error = errno;
    close(udp);
    errno = error;
    return -1;
}

// The one message: the error, and the socket with it when there is one.
bool Answer(int channel, int udp, int error) {
    PortHelperAnswer answer{error};
    iovec part{&answer, sizeof answer};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof udp)] = {};
    if (udp >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof udp);
        std::memcpy(CMSG_DATA(header), &udp, sizeof udp);
    }
    return sendmsg(channel, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof answer);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Refuse("takes one argument, the descriptor of a Unix socket");
    const int channel = DescriptorNumber(argv[1]);
    if (channel < 0) return Refuse("the argument is not a descriptor number");
    if (!IsUnixSocket(channel)) return Refuse("the descriptor is not a Unix socket");
    const int udp = BindBroadcastPort();
    const bool sent = Answer(channel, udp, udp < 0 ? errno : 0);
    return sent && udp >= 0 ? 0 : 1;
}
