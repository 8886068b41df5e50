#pragma once

#include "search/details/internal.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <boost/asio/generic/raw_protocol.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

// Watches the machine's addresses and calls onChange on its own thread soon after an IPv4
// address appears or goes, or an interface's link changes: through rtnetlink address and link
// events, or, where rtnetlink cannot be opened (some sandboxes), by comparing the address list once
// a second. Started and stopped by the library's caller thread.
class CNetworkWatcher {
public:
    enum class Mode { Stopped, Netlink, Polling };

    CNetworkWatcher() = default;
    ~CNetworkWatcher();
    CNetworkWatcher(const CNetworkWatcher&) = delete;
    CNetworkWatcher& operator=(const CNetworkWatcher&) = delete;

    // tryNetlink false goes straight to the once-a-second look.
    void Start(std::function<void()> onChange, bool tryNetlink = true);
    // Returns once the watcher's thread has ended; never call it from onChange.
    void Stop();
    Mode CurrentMode() const { return mode.load(); }

    // Events come in bursts (an address, its routes, the link); one look after the burst.
    static constexpr int kSettleMilliseconds = 100;
    static constexpr int kPollMilliseconds = 1000;

private:
    void StopWatching();
    bool OpenNetlink(std::string& error);
    void ReceiveEvents();
    void Poll();
    // The IPv4 addresses of interfaces that are up, with their interfaces and carrier.
    std::vector<std::string> WatchedAddresses() const;

    // Start and Stop may come from different threads (a callback that stops the library).
    boost::mutex lifeMutex;
    boost::asio::io_context io;
    boost::asio::generic::raw_protocol::socket netlink{io};
    boost::asio::steady_timer timer{io};
    boost::thread thread;
    std::function<void()> onChange;
    std::vector<std::string> lastAddresses;
    std::atomic<Mode> mode{Mode::Stopped};
    char buffer[8192];
};
