#pragma once

#include "search/details/internal.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "search/details/probetargets.h"
#include "search/details/searchdevicethread.h"
#include "search/searchrequest.h"

// The M-SEARCH for one box, as UPnP asks for a unicast search: kMSearch with HOST naming the
// target ("HOST: 10.78.3.5:1900").
std::string UnicastMSearch(const std::string& target);

// The workers a sweep may send from, as the search that starts it found them listening.
struct ProbeSenders {
    CSearchDeviceThread* ssdp = nullptr;       // the shared SSDP worker, for every M-SEARCH
    CSearchDeviceThread* broadcast = nullptr;  // the broadcast worker, for every request
    // The per-interface workers by their local address (host order): where a shared worker
    // cannot send, the probe goes from the one bound to the source of the route to the target.
    std::vector<std::pair<std::uint32_t, CSearchDeviceThread*>> interfaces;
};

// The paced background sender of a search's probes. For every target in turn it sends the
// unicast M-SEARCH and the search request to TARGET:68, each from the shared worker made for it
// (the SSDP worker, the broadcast worker) or, where that one does not listen, from the
// per-interface worker whose address the kernel would send to the target from, so that the
// answer comes back to a worker that understands it; at most kRate datagrams a second. A probe
// no worker can send is counted as unsent. A sweep of the same target table resumes where the
// last one stopped, so that searches closer together than a sweep still reach every target.
// Start and Stop may be called from any thread, one after the other; the sweep runs on a
// thread of its own, which Start and Stop join before they return.
class CProbeSweep {
public:
    static constexpr int kRate = 4000;  // datagrams a second, at most
    static constexpr std::chrono::microseconds kGap{1000000 / kRate};
    // Datagrams go in groups of kBatch / kGap, never ahead of their time.
    static constexpr std::chrono::microseconds kBatch{1000};

    ~CProbeSweep() { Stop(); }

    // Cancels a sweep in progress, then sweeps the current targets, if any, from these
    // workers with request; their counters go on over the search window. A table swept before
    // is taken up at the target the last sweep stopped at, a new one from its first target.
    // Returns at once.
    void Start(const ProbeSenders& senders, const SearchRequest& request);
    // Cancels a sweep in progress and waits for its thread to end.
    void Stop();

private:
    void StopLocked();
    void Sweep(std::shared_ptr<const CProbeTargetTable> targets, ProbeSenders senders,
               SearchRequest request, std::size_t first);
    // Waits until at, or until cancelled: false when cancelled.
    bool PaceUntil(std::chrono::steady_clock::time_point at);

    // Held through Start and Stop: the sender thread is joined and assigned by one at a time.
    std::mutex control;
    std::mutex mutex;
    std::condition_variable cancelled;
    bool cancel = false;
    std::thread sender;
    // The table of the last sweep (kept alive, so that no new table can take its address) and
    // the target its sweep was at: written by the sweep's thread, read by Start once it joined.
    std::shared_ptr<const CProbeTargetTable> sweptTable;
    std::size_t resumeAt = 0;
};

// The library's one sweep.
CProbeSweep& ProbeSweep();
// Starts the sweep of a search with the running workers it was sent through.
void StartProbeSweep(const std::vector<CSearchDeviceThread*>& workers,
                     const SearchRequest& request);
