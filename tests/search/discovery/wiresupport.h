#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>

// Helpers of the socket tests; they run only inside the test's own network namespace.
namespace discovery_test {

struct Captured {
    std::string bytes;
    std::string fromIp;
    int fromPort = 0;
    std::string toIp;  // the datagram's destination address, as it was sent
};

// A plain socket bound to port on every local address, optionally a member of group on the
// loopback interface, that records each datagram's destination address.
class Listener {
public:
    explicit Listener(int port, const char* group = nullptr);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // False when nothing arrived within the limit.
    bool Receive(Captured& captured,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

private:
    int fd;
};

void SendTo(const std::string& bytes, const char* ip, int port);

// Keeps the ports bound (no address reuse), so that a worker's bind there fails.
class PortHolder {
public:
    PortHolder(int first, int last);

private:
    boost::asio::io_context io;
    std::vector<std::unique_ptr<boost::asio::ip::udp::socket>> sockets;
};

}  // namespace discovery_test
