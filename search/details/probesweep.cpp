#include "search/details/probesweep.h"

#include <arpa/inet.h>

#include <exception>

#include "log/searchlog.h"
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

}  // namespace

std::string UnicastMSearch(const std::string& target) {
    const std::string groupHost =
        std::string("HOST: ") + kSsdpGroup + ":" + std::to_string(kSsdpPort);
    std::string text(kMSearch, kMSearchLength);
    text.replace(text.find(groupHost), groupHost.size(),
                 "HOST: " + target + ":" + std::to_string(kSsdpPort));
    return text;
}

void CProbeSweep::Start(CSearchDeviceThread* ssdp, CSearchDeviceThread* broadcast,
                        const SearchRequest& request) {
    Stop();
    std::shared_ptr<const CProbeTargetTable> targets = CurrentProbeTargets();
    if (!targets) return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        cancel = false;
    }
    try {
        sender =
            std::thread(&CProbeSweep::Sweep, this, std::move(targets), ssdp, broadcast, request);
    } catch (const std::exception& e) {
        WriteSearchLog("ProbeSweep : cannot start : %s ", e.what());
    }
}

void CProbeSweep::Stop() {
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

void CProbeSweep::Sweep(std::shared_ptr<const CProbeTargetTable> targets, CSearchDeviceThread* ssdp,
                        CSearchDeviceThread* broadcast, SearchRequest request) {
    try {
        WriteSearchLog("ProbeSweep : %d targets ", static_cast<int>(targets->Size()));
        // Datagram n leaves no earlier than n gaps after the first, however late a wait ends.
        auto due = std::chrono::steady_clock::now();
        std::size_t sent = 0;
        for (std::size_t i = 0; i < targets->Size(); ++i) {
            in_addr raw{htonl(targets->Address(i))};
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &raw, text, sizeof text);
            const asio::ip::address_v4 address(targets->Address(i));
            CProbeTargetTable::Counters& counters = targets->At(i);
            if (ssdp != nullptr && ssdp->WorkThreadRunning()) {
                if (sent++ > 0 && !PaceUntil(due += kGap)) return;
                const std::string search = UnicastMSearch(text);
                Count(counters, ssdp->SendTo(search.data(), search.size(),
                                             udp::endpoint(address, kSsdpPort)));
            }
            if (broadcast != nullptr && broadcast->WorkThreadRunning()) {
                if (sent++ > 0 && !PaceUntil(due += kGap)) return;
                Count(counters, broadcast->SendTo(&request, sizeof request,
                                                  udp::endpoint(address, kBroadcastRequestPort)));
            }
        }
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
    CSearchDeviceThread* ssdp = nullptr;
    CSearchDeviceThread* broadcast = nullptr;
    for (CSearchDeviceThread* worker : workers) {
        // A worker whose set-up failed has no socket to send from, and is replaced at the next
        // search: the sweep never holds it.
        if (worker->Health().state != SearchWorkerState::Listening) continue;
        if (worker->Role() == SearchWorkerRole::Ssdp && ssdp == nullptr) ssdp = worker;
        if (worker->Role() == SearchWorkerRole::Broadcast && broadcast == nullptr)
            broadcast = worker;
    }
    ProbeSweep().Start(ssdp, broadcast, request);
}
