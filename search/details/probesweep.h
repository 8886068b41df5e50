#pragma once

#include "search/details/internal.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search/details/probetargets.h"
#include "search/details/searchdevicethread.h"
#include "search/searchrequest.h"

// The M-SEARCH for one box, as UPnP asks for a unicast search: kMSearch with HOST naming the
// target ("HOST: 10.78.3.5:1900").
std::string UnicastMSearch(const std::string& target);

// The paced background sender of a search's probes. For every target in turn it sends the
// unicast M-SEARCH from the shared SSDP worker's socket (so the answer comes back to it) and
// the search request to TARGET:68 from the broadcast worker's socket while that listens, at
// most kRate datagrams a second. The library caller's thread starts and stops it; the sweep
// runs on a thread of its own, which Start and Stop join before they return.
class CProbeSweep {
public:
    static constexpr int kRate = 4000;  // datagrams a second, at most
    static constexpr std::chrono::microseconds kGap{1000000 / kRate};
    // Datagrams go in groups of kBatch / kGap, never ahead of their time.
    static constexpr std::chrono::microseconds kBatch{1000};

    ~CProbeSweep() { Stop(); }

    // Cancels a sweep in progress, then sweeps the current targets, if any, from these workers
    // (either may be null) with request; their counters go on over the search window. Returns
    // at once.
    void Start(CSearchDeviceThread* ssdp, CSearchDeviceThread* broadcast,
               const SearchRequest& request);
    // Cancels a sweep in progress and waits for its thread to end.
    void Stop();

private:
    void Sweep(std::shared_ptr<const CProbeTargetTable> targets, CSearchDeviceThread* ssdp,
               CSearchDeviceThread* broadcast, SearchRequest request);
    // Waits until at, or until cancelled: false when cancelled.
    bool PaceUntil(std::chrono::steady_clock::time_point at);

    std::mutex mutex;
    std::condition_variable cancelled;
    bool cancel = false;
    std::thread sender;
};

// The library's one sweep.
CProbeSweep& ProbeSweep();
// Starts the sweep of a search with the running workers it was sent through.
void StartProbeSweep(const std::vector<CSearchDeviceThread*>& workers, const SearchRequest& request);
