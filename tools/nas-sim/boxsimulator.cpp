#include "tools/nas-sim/boxsimulator.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <boost/asio/ip/multicast.hpp>

#include "search/protocol.h"
#include "tools/nas-sim/boxmessages.h"

namespace asio = boost::asio;
using asio::ip::udp;

namespace {

// One datagram to or from peer, with room for the IP_PKTINFO that names a box's own address.
msghdr PacketInfoMessage(sockaddr_in& peer, iovec& part, char* control, std::size_t size) {
    msghdr message{};
    message.msg_name = &peer;
    message.msg_namelen = sizeof peer;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = size;
    return message;
}

}  // namespace

CBoxSimulator::CBoxSimulator(asio::io_context& io, const SimOptions& options)
    : io(io),
      options(options),
      broadcastSocket(io),
      ssdpSocket(io),
      answerTimer(io),
      aliveTimer(io),
      stopSignals(io, SIGINT, SIGTERM),
      wakeListener(io, [this](const MacAddress& mac) { OnMagicPacket(mac); }) {
    for (const BoxConfig& box : options.boxes) {
        boxes.push_back({asio::ip::make_address_v4(box.address), BroadcastAnswer(box),
                         SsdpAnswer(box), SsdpNotify(box, true), SsdpNotify(box, false), box.id,
                         StartsAsleep(options, box)});
    }
}

void CBoxSimulator::Start() {
    broadcastSocket.open(udp::v4());
    // Several simulators may share a namespace, as boxes share a LAN.
    broadcastSocket.set_option(asio::socket_base::reuse_address(true));
    broadcastSocket.set_option(asio::socket_base::broadcast(true));
    broadcastSocket.bind(udp::endpoint(asio::ip::address_v4::any(), kBroadcastRequestPort));
    // Tells each search's destination: one box's own address, or the group or broadcast.
    const int on = 1;
    ::setsockopt(broadcastSocket.native_handle(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);

    ssdpSocket.open(udp::v4());
    ssdpSocket.set_option(asio::socket_base::reuse_address(true));
    ssdpSocket.bind(udp::endpoint(asio::ip::address_v4::any(), kSsdpPort));
    ::setsockopt(ssdpSocket.native_handle(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    const auto group = asio::ip::make_address_v4(kSsdpGroup);
    for (const PreparedBox& box : boxes) {
        // Joins on the interface of each box address; a second join on one interface fails
        // harmlessly.
        boost::system::error_code alreadyJoined;
        ssdpSocket.set_option(asio::ip::multicast::join_group(group, box.address), alreadyJoined);
    }

    bool anyAsleep = false;
    for (PreparedBox& box : boxes) {
        if (!box.asleep) continue;
        const auto mac = MacOfAddressOwner(box.address.to_string());
        if (!mac) throw std::runtime_error("no interface here holds " + box.address.to_string());
        box.mac = *mac;
        anyAsleep = true;
        std::fprintf(stderr, "nas-sim: box %s sleeps until a magic packet for %s\n", box.id.c_str(),
                     MacText(box.mac).c_str());
    }
    if (anyAsleep) wakeListener.Start();

    StopOnSignal();
    ReceiveBroadcast();
    ReceiveSsdp();
    Announce(true);
    ScheduleAlive();
    std::fprintf(stderr, "nas-sim: ready, %zu boxes\n", boxes.size());
}

std::size_t CBoxSimulator::ReceiveWithDestination(udp::socket& socket, char* buffer,
                                                  std::size_t size, udp::endpoint& sender,
                                                  asio::ip::address_v4& destination) {
    sockaddr_in from{};
    iovec part{buffer, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message = PacketInfoMessage(from, part, control, sizeof control);
    const ssize_t length = ::recvmsg(socket.native_handle(), &message, MSG_DONTWAIT);
    if (length <= 0) return 0;
    sender = udp::endpoint(asio::ip::address_v4(ntohl(from.sin_addr.s_addr)), ntohs(from.sin_port));
    destination = asio::ip::address_v4::any();
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            destination = asio::ip::address_v4(ntohl(info.ipi_addr.s_addr));
        }
    }
    return static_cast<std::size_t>(length);
}

void CBoxSimulator::ReceiveBroadcast() {
    broadcastSocket.async_wait(udp::socket::wait_read, [this](
                                                           const boost::system::error_code& error) {
        if (error == asio::error::operation_aborted) return;
        asio::ip::address_v4 destination;
        const std::size_t length =
            error ? 0
                  : ReceiveWithDestination(broadcastSocket, broadcastBuffer, sizeof broadcastBuffer,
                                           broadcastSender, destination);
        if (length != 0 && IsBroadcastSearch(broadcastBuffer, length)) {
            if (!options.quiet) {
                std::fprintf(stderr, "nas-sim: broadcast search from %s:%u\n",
                             broadcastSender.address().to_string().c_str(), broadcastSender.port());
            }
            QueueAnswers(AnswerKind::Broadcast, broadcastSender, destination);
        }
        ReceiveBroadcast();
    });
}

void CBoxSimulator::ReceiveSsdp() {
    ssdpSocket.async_wait(udp::socket::wait_read, [this](const boost::system::error_code& error) {
        if (error == asio::error::operation_aborted) return;
        asio::ip::address_v4 destination;
        const std::size_t length =
            error ? 0
                  : ReceiveWithDestination(ssdpSocket, ssdpBuffer, sizeof ssdpBuffer, ssdpSender,
                                           destination);
        if (length != 0 && IsSsdpSearch(ssdpBuffer, length)) {
            if (!options.quiet) {
                std::fprintf(stderr, "nas-sim: M-SEARCH from %s:%u\n",
                             ssdpSender.address().to_string().c_str(), ssdpSender.port());
            }
            QueueAnswers(AnswerKind::Ssdp, ssdpSender, destination);
        }
        ReceiveSsdp();
    });
}

CBoxSimulator::Clock::time_point CBoxSimulator::DueTime(const AnswerJob& job,
                                                        std::size_t box) const {
    const auto offset = std::chrono::microseconds(static_cast<long long>(options.answerSpreadMs) *
                                                  1000 * static_cast<long long>(box - job.first) /
                                                  static_cast<long long>(job.end - job.first));
    return job.start + offset;
}

void CBoxSimulator::QueueAnswers(AnswerKind kind, const udp::endpoint& to,
                                 const asio::ip::address_v4& destination) {
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].address == destination) {
            jobs.push_back({kind, to, Clock::now(), i, i, i + 1});
            SendDueAnswers();
            return;
        }
    }
    jobs.push_back({kind, to, Clock::now(), 0, 0, boxes.size()});
    SendDueAnswers();
}

void CBoxSimulator::SendDueAnswers() {
    const Clock::time_point now = Clock::now();
    Clock::time_point nextDue = Clock::time_point::max();
    for (AnswerJob& job : jobs) {
        while (job.next < job.end && DueTime(job, job.next) <= now) {
            const PreparedBox& box = boxes[job.next++];
            if (box.asleep) continue;
            if (job.kind == AnswerKind::Broadcast) {
                SendFrom(broadcastSocket, box.address, job.to, &box.broadcastAnswer,
                         sizeof box.broadcastAnswer);
            } else {
                SendFrom(ssdpSocket, box.address, job.to, box.ssdpAnswer.data(),
                         box.ssdpAnswer.size());
            }
        }
        if (job.next < job.end) nextDue = std::min(nextDue, DueTime(job, job.next));
    }
    jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                              [](const AnswerJob& job) { return job.next >= job.end; }),
               jobs.end());
    if (jobs.empty()) return;
    answerTimer.expires_at(nextDue);
    answerTimer.async_wait([this](const boost::system::error_code& error) {
        if (!error) SendDueAnswers();
    });
}

void CBoxSimulator::Announce(bool alive) {
    const udp::endpoint group(asio::ip::make_address_v4(kSsdpGroup), kSsdpPort);
    for (const PreparedBox& box : boxes) {
        if (box.asleep) continue;
        const std::string& message = alive ? box.alive : box.byebye;
        SendFrom(ssdpSocket, box.address, group, message.data(), message.size());
    }
}

void CBoxSimulator::ScheduleAlive() {
    if (options.aliveInterval <= 0) return;
    aliveTimer.expires_after(std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.aliveInterval)));
    aliveTimer.async_wait([this](const boost::system::error_code& error) {
        if (error) return;
        Announce(true);
        ScheduleAlive();
    });
}

void CBoxSimulator::StopOnSignal() {
    stopSignals.async_wait([this](const boost::system::error_code& error, int signal) {
        if (error) return;
        Announce(false);
        std::fprintf(stderr, "nas-sim: signal %d, byebye sent for %zu boxes\n", signal,
                     boxes.size());
        io.stop();
    });
}

void CBoxSimulator::OnMagicPacket(const MacAddress& mac) {
    bool matched = false;
    for (std::size_t index = 0; index < boxes.size(); ++index) {
        PreparedBox& box = boxes[index];
        if (!box.asleep || box.booting || box.mac != mac) continue;
        matched = true;
        box.booting = true;
        std::fprintf(stderr, "nas-sim: magic packet for %s: box %s boots in %g s\n",
                     MacText(mac).c_str(), box.id.c_str(), options.bootSeconds);
        bootTimers.push_back(std::make_unique<asio::steady_timer>(io));
        bootTimers.back()->expires_after(std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(options.bootSeconds)));
        bootTimers.back()->async_wait([this, index](const boost::system::error_code& error) {
            if (error) return;
            PreparedBox& woken = boxes[index];
            woken.asleep = false;
            woken.booting = false;
            const udp::endpoint group(asio::ip::make_address_v4(kSsdpGroup), kSsdpPort);
            SendFrom(ssdpSocket, woken.address, group, woken.alive.data(), woken.alive.size());
            std::fprintf(stderr, "nas-sim: box %s is awake\n", woken.id.c_str());
        });
    }
    if (!matched) {
        std::fprintf(stderr, "nas-sim: magic packet for %s: no box sleeps with that MAC\n",
                     MacText(mac).c_str());
    }
}

void CBoxSimulator::SendFrom(udp::socket& socket, const asio::ip::address_v4& from,
                             const udp::endpoint& to, const void* data, std::size_t size) {
    // IP_PKTINFO picks the source address per datagram, so one socket serves every box; for
    // the group, the source address also picks the interface the datagram leaves by.
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(to.port());
    destination.sin_addr.s_addr = htonl(to.address().to_v4().to_uint());
    iovec part{const_cast<void*>(data), size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message = PacketInfoMessage(destination, part, control, sizeof control);
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(from.to_uint());
    std::memcpy(CMSG_DATA(header), &info, sizeof info);

    const int fd = socket.native_handle();
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::sendmsg(fd, &message, 0) >= 0) return;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) break;
        // The socket is non-blocking under Asio; a full send queue drains within moments.
        pollfd wait{fd, POLLOUT, 0};
        ::poll(&wait, 1, 20);
    }
    std::fprintf(stderr, "nas-sim: send from %s to %s:%u failed: %s\n", from.to_string().c_str(),
                 to.address().to_string().c_str(), to.port(), std::strerror(errno));
}
