#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include "search/searchrequest.h"
#include "tools/nas-sim/simoptions.h"
#include "tools/nas-sim/wakelistener.h"

// Plays every configured box from one process: one socket on port 68 for the broadcast search
// and one on port 1900 in the SSDP group, shared by all boxes; each box sends from its own
// address, chosen per datagram. Stops on SIGINT or SIGTERM after every box said byebye.
// A sleeping box (--asleep) stays silent until a magic packet for its interface's MAC arrives,
// then boots for --boot-seconds and announces itself.
class CBoxSimulator {
public:
    CBoxSimulator(boost::asio::io_context& io, const SimOptions& options);

    // Opens and binds the sockets (throws on failure), announces every box and starts serving.
    void Start();

private:
    enum class AnswerKind { Broadcast, Ssdp };
    using Clock = std::chrono::steady_clock;

    struct PreparedBox {
        boost::asio::ip::address_v4 address;
        SearchRequest broadcastAnswer;
        std::string ssdpAnswer;
        std::string alive;
        std::string byebye;
        std::string id;
        bool asleep = false;
        bool booting = false;
        MacAddress mac{};  // of the interface holding the address; read for sleeping boxes
    };

    // The answers still due to one search: boxes `first` up to `end`, spread from `start`;
    // `next` is the first not sent yet.
    struct AnswerJob {
        AnswerKind kind;
        boost::asio::ip::udp::endpoint to;
        Clock::time_point start;
        std::size_t first;
        std::size_t next;
        std::size_t end;
    };

    void ReceiveBroadcast();
    void ReceiveSsdp();
    // Every box answers a search to the group or the broadcast address; a search sent to one
    // box's own address (a unicast probe) is answered by that box alone.
    void QueueAnswers(AnswerKind kind, const boost::asio::ip::udp::endpoint& to,
                      const boost::asio::ip::address_v4& destination);
    // Receives one datagram with the address it was sent to; 0 when none could be read.
    std::size_t ReceiveWithDestination(boost::asio::ip::udp::socket& socket, char* buffer,
                                       std::size_t size, boost::asio::ip::udp::endpoint& sender,
                                       boost::asio::ip::address_v4& destination);
    void SendDueAnswers();
    void Announce(bool alive);
    void ScheduleAlive();
    void StopOnSignal();
    void OnMagicPacket(const MacAddress& mac);
    Clock::time_point DueTime(const AnswerJob& job, std::size_t box) const;
    // Sends one datagram with a box's address as its source.
    void SendFrom(boost::asio::ip::udp::socket& socket, const boost::asio::ip::address_v4& from,
                  const boost::asio::ip::udp::endpoint& to, const void* data, std::size_t size);

    boost::asio::io_context& io;
    SimOptions options;
    std::vector<PreparedBox> boxes;
    boost::asio::ip::udp::socket broadcastSocket;
    boost::asio::ip::udp::socket ssdpSocket;
    boost::asio::steady_timer answerTimer;
    boost::asio::steady_timer aliveTimer;
    boost::asio::signal_set stopSignals;
    CWakeListener wakeListener;
    std::vector<std::unique_ptr<boost::asio::steady_timer>> bootTimers;
    std::vector<AnswerJob> jobs;
    boost::asio::ip::udp::endpoint broadcastSender;
    boost::asio::ip::udp::endpoint ssdpSender;
    char broadcastBuffer[2048];
    char ssdpBuffer[2048];
};
