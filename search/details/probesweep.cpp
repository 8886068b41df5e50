#include "search/details/probesweep.h"

#include <arpa/inet.h>

#include <exception>

#include "log/searchlog.h"
#include "search/details/routequery.h"
#include "search/protocol.h"

namespace asio = boost::asio;
using asio::ip::udp;

namespace {

void Count(CProbeTargetTable::Counters& counters, const boost::system::error_code& error) {
    if (!error) {
        counters.probesSent.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    counters.sendErrors.fetch_add(1, std::memory_order_relaxed);
    counters.lastSendError.store(error.value(), std::memory_order_relaxed);
}

// A worker still receiving, or null: the answer to a probe from one whose receive loop ended
// would be lost.
CSearchDeviceThread* Receiving(CSearchDeviceThread* worker) {
    return worker != nullptr && worker->WorkThreadRunning() ? worker : nullptr;
}

// The listening per-interface worker bound to the source of the route to target; null when
// none is, with the route's errno in error where there is no route.
CSearchDeviceThread* RouteWorker(
    CRouteQuery& route, std::uint32_t target,
    const std::vector<std::pair<std::uint32_t, CSearchDeviceThread*>>& interfaces, int& error) {
    std::uint32_t source = 0;
    error = route.Source(target, source);
    if (error != 0) return nullptr;
    for (const auto& [address, worker] : interfaces) {
        if (address == source) return Receiving(worker);
    }
    return nullptr;
}

}  // namespace

std::string UnicastMSearch(const std::string& target) {
    const std::string groupHost =
        std::string("HOST: ") + kSsdpGroup + ":" + std::to_string(kSsdpPort);
    std::string text(kMSearch, kMSearchLength);
    text.replace(text.find(groupHost), groupHost.size(),
                 "HOST: " + target + ":" + std::to_string(kSsdpPort));
    return text;
}

void CProbeSweep::Start(const ProbeSenders& senders, const SearchRequest& request) {
    std::lock_guard<std::mutex> hold(control);
    StopLocked();
    std::shared_ptr<const CProbeTargetTable> targets = CurrentProbeTargets();
    if (!targets) return;
    if (targets != sweptTable) {
        sweptTable = targets;
        resumeAt = 0;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        cancel = false;
    }
    try {
        sender =
            std::thread(&CProbeSweep::Sweep, this, std::move(targets), senders, request, resumeAt);
    } catch (const std::exception& e) {
        WriteSearchLog("ProbeSweep : cannot start : %s ", e.what());
    }
}

void CProbeSweep::Stop() {
    std::lock_guard<std::mutex> hold(control);
    StopLocked();
}

void CProbeSweep::StopLocked() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        cancel = true;
    }
    cancelled.notify_all();
    if (sender.joinable()) sender.join();
}

bool CProbeSweep::PaceUntil(std::chrono::steady_clock::time_point at) {
    std::unique_lock<std::mutex> lock(mutex);
    if (cancel) return false;
    // A datagram already due goes at once; otherwise one wake-up sends the few due by then, so
    // that the thread wakes a thousand times a second rather than four thousand.
    if (std::chrono::steady_clock::now() >= at) return true;
    return !cancelled.wait_until(lock, at + kBatch - kGap, [this] { return cancel; });
}

void CProbeSweep::Sweep(std::shared_ptr<const CProbeTargetTable> targets, ProbeSenders senders,
                        SearchRequest request, std::size_t first) {
    try {
        WriteSearchLog("ProbeSweep : %d targets ", static_cast<int>(targets->Size()));
        WriteSearchLog(
            "ProbeSweep : from target %d, SSDP port %d, broadcast port %d, %d "
            "per-interface workers ",
            static_cast<int>(first), senders.ssdp ? senders.ssdp->Port() : 0,
            senders.broadcast ? senders.broadcast->Port() : 0,
            static_cast<int>(senders.interfaces.size()));
        CRouteQuery route;
        // Datagram n leaves no earlier than n gaps after the first, however late a wait ends.
        auto due = std::chrono::steady_clock::now();
        std::size_t sent = 0;
        for (std::size_t step = 0; step < targets->Size(); ++step) {
            const std::size_t i = (first + step) % targets->Size();
            // A sweep cancelled from here on leaves this target for the next one to begin with.
            resumeAt = i;
            in_addr raw{htonl(targets->Address(i))};
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &raw, text, sizeof text);
            const asio::ip::address_v4 address(targets->Address(i));
            CProbeTargetTable::Counters& counters = targets->At(i);
            CSearchDeviceThread* ssdp = Receiving(senders.ssdp);
            CSearchDeviceThread* broadcast = Receiving(senders.broadcast);
            CSearchDeviceThread* local = nullptr;
            int routeError = 0;
            if ((ssdp == nullptr || broadcast == nullptr) && !senders.interfaces.empty()) {
                local = RouteWorker(route, targets->Address(i), senders.interfaces, routeError);
            }
            // False when cancelled. Without a worker a probe is unsent, or failed for the route.
            const auto send = [&](CSearchDeviceThread* from, const void* data, std::size_t size,
                                  unsigned short port) {
                if (from == nullptr) {
                    if (routeError != 0) {
                        Count(counters, {routeError, boost::system::system_category()});
                    } else {
                        counters.unsent.fetch_add(1, std::memory_order_relaxed);
                    }
                    return true;
                }
                if (sent++ > 0 && !PaceUntil(due += kGap)) return false;
                Count(counters, from->SendTo(data, size, udp::endpoint(address, port)));
                return true;
            };
            const std::string search = UnicastMSearch(text);
            if (!send(ssdp != nullptr ? ssdp : local, search.data(), search.size(), kSsdpPort) ||
                !send(broadcast != nullptr ? broadcast : local, &request, sizeof request,
                      kBroadcastRequestPort)) {
                return;
            }
        }
        resumeAt = first;
        WriteSearchLog("ProbeSweep : done, %d datagrams ", static_cast<int>(sent));
    } catch (const std::exception& e) {
        WriteSearchLog("ProbeSweep : Error : %s ", e.what());
    }
}

CProbeSweep& ProbeSweep() {
    // Never destroyed: ExitSearchLib stops it, and no thread outlives that.
    static CProbeSweep& sweep = *new CProbeSweep;
    return sweep;
}

void StartProbeSweep(const std::vector<CSearchDeviceThread*>& workers,
                     const SearchRequest& request) {
    ProbeSenders senders;
    for (CSearchDeviceThread* worker : workers) {
        // A worker whose set-up failed has no socket to send from, and is replaced at the next
        // search: the sweep never holds it.
        if (!worker->WorkThreadRunning()) continue;
        switch (worker->Role()) {
            case SearchWorkerRole::Ssdp:
                if (senders.ssdp == nullptr) senders.ssdp = worker;
                break;
            case SearchWorkerRole::Broadcast:
                if (senders.broadcast == nullptr) senders.broadcast = worker;
                break;
            case SearchWorkerRole::Interface: {
                boost::system::error_code error;
                const asio::ip::address_v4 local =
                    asio::ip::make_address_v4(worker->LocalIP(), error);
                if (!error) senders.interfaces.emplace_back(local.to_uint(), worker);
                break;
            }
        }
    }
    ProbeSweep().Start(senders, request);
}
