#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>

#include "src/store/wakeonlan.h"

// The sleeping boxes' ears: UDP ports 9 and 7 on every address, where a magic packet arrives.
// Hands each well-formed magic packet's MAC to the simulator, on the io_context's thread.
class CWakeListener {
public:
    using MagicHandler = std::function<void(const MacAddress& mac)>;

    CWakeListener(boost::asio::io_context& io, MagicHandler handler);
    // Opens and binds both ports (throws on failure) and starts listening.
    void Start();

private:
    struct Ear {
        explicit Ear(boost::asio::io_context& io) : socket(io) {}
        boost::asio::ip::udp::socket socket;
        boost::asio::ip::udp::endpoint sender;
        unsigned char buffer[512];
    };
    void Receive(Ear& ear);

    boost::asio::io_context& io;
    MagicHandler handler;
    std::unique_ptr<Ear> ears[2];
};

// The MAC of the interface that holds address in this namespace; none if no interface does.
std::optional<MacAddress> MacOfAddressOwner(const std::string& address);
