#include "search/details/networkwatcher.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <chrono>
#include <exception>

#include <boost/system/system_error.hpp>

#include "log/searchlog.h"
#include "search/details/localiplist.h"

namespace asio = boost::asio;

CNetworkWatcher::~CNetworkWatcher() {
    Stop();
}

void CNetworkWatcher::Start(std::function<void()> change, bool tryNetlink) {
    boost::mutex::scoped_lock lock(lifeMutex);
    StopWatching();
    onChange = std::move(change);
    io.restart();
    std::string error = "not tried";
    if (tryNetlink && OpenNetlink(error)) {
        mode = Mode::Netlink;
        WriteSearchLog("Watch Local IP Info : rtnetlink address events  ");
        ReceiveEvents();
    } else {
        mode = Mode::Polling;
        WriteSearchLog(
            "Watch Local IP Info : rtnetlink unavailable (%s), looking at the address list once "
            "a second  ",
            error.c_str());
        lastAddresses = WatchedAddresses();
        Poll();
    }
    thread = boost::thread([this] {
        try {
            io.run();
        } catch (const std::exception& e) {
            WriteSearchLog("Watch Local IP Info : Error : %s  ", e.what());
        }
    });
}

void CNetworkWatcher::Stop() {
    boost::mutex::scoped_lock lock(lifeMutex);
    StopWatching();
}

void CNetworkWatcher::StopWatching() {
    if (!thread.joinable()) return;
    io.stop();
    thread.join();
    boost::system::error_code ignored;
    timer.cancel();
    netlink.close(ignored);
    mode = Mode::Stopped;
}

bool CNetworkWatcher::OpenNetlink(std::string& error) {
    try {
        netlink.open(asio::generic::raw_protocol(AF_NETLINK, NETLINK_ROUTE));
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_LINK;
        netlink.bind(asio::generic::raw_protocol::endpoint(&local, sizeof local));
        return true;
    } catch (const boost::system::system_error& e) {
        boost::system::error_code ignored;
        netlink.close(ignored);
        error = e.code().message();
        return false;
    }
}

void CNetworkWatcher::ReceiveEvents() {
    netlink.async_receive(
        asio::buffer(buffer), [this](const boost::system::error_code& error, std::size_t) {
            if (error == asio::error::operation_aborted) return;
            if (error && error != asio::error::no_buffer_space) {
                WriteSearchLog("Watch Local IP Info : Error : %s  ", error.message().c_str());
                return;
            }
            // Any event, or a lost one (the kernel's queue overflowed), calls for a look; the
            // timer restarts with each, so a burst gives one.
            timer.expires_after(std::chrono::milliseconds(kSettleMilliseconds));
            timer.async_wait([this](const boost::system::error_code& waited) {
                if (!waited) onChange();
            });
            ReceiveEvents();
        });
}

void CNetworkWatcher::Poll() {
    timer.expires_after(std::chrono::milliseconds(kPollMilliseconds));
    timer.async_wait([this](const boost::system::error_code& error) {
        if (error) return;
        std::vector<std::string> addresses = WatchedAddresses();
        if (addresses != lastAddresses) {
            lastAddresses = std::move(addresses);
            onChange();
        }
        Poll();
    });
}

std::vector<std::string> CNetworkWatcher::WatchedAddresses() const {
    std::vector<LocalInterfaceAddress> all;
    std::string ignored;
    ListLocalAddresses(all, ignored);
    std::vector<std::string> watched;
    for (const LocalInterfaceAddress& entry : all) {
        // A carrier that comes or goes matters too: it decides what is searched from.
        if (entry.family == AF_INET && entry.up && !entry.loopback) {
            watched.push_back(entry.name + " " + entry.address + (entry.running ? " running" : ""));
        }
    }
    return watched;
}
