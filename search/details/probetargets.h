#pragma once

#include "search/details/internal.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "search/searchtargets.h"

// The search targets of the latest SetSearchTargets: addresses in ascending order, each with its
// counters. Built once on the caller's thread and never changed after, so the sweep and the
// receive threads read it without a lock; the counters are atomics. A table stays alive while
// any thread holds it (shared ownership), so a new list never pulls one from under a reader.
class CProbeTargetTable {
public:
    struct Counters {
        std::atomic<std::uint32_t> probesSent{0};
        std::atomic<std::uint32_t> sendErrors{0};
        std::atomic<int> lastSendError{0};
        std::atomic<std::uint32_t> answers{0};
        std::atomic<std::uint32_t> unsent{0};
    };

    // Sorts and drops repeats; addresses are host-order IPv4.
    explicit CProbeTargetTable(std::vector<std::uint32_t> addresses);

    std::size_t Size() const { return addresses.size(); }
    std::uint32_t Address(std::size_t index) const { return addresses[index]; }
    Counters& At(std::size_t index) const { return counters[index]; }
    // The counters of address, or null when it is no target: a binary search, no allocation.
    Counters* Find(std::uint32_t address) const;
    // Counts from now on, as a new sweep starts.
    void Reset() const;
    std::vector<SearchTargetHealth> Health() const;

private:
    std::vector<std::uint32_t> addresses;
    std::unique_ptr<Counters[]> counters;
};

// Replaces the targets (dotted quads; texts that are no address are logged and left out, as is
// anything past kMaxSearchTargets). An empty list turns probing off.
void PublishProbeTargets(const std::vector<std::string>& addresses);
// The current table, or null without targets.
std::shared_ptr<const CProbeTargetTable> CurrentProbeTargets();
// Set while a table is published: spares the receive path anything more without targets.
extern std::atomic<bool> probeTargetsSet;
// Counts an answer from fromIp when it is a target (parses it and searches the table).
void CountTargetAnswer(const char* fromIp);
// Runs on the receive path for every answer: inline, so that without targets it costs one load.
inline void CountProbeAnswer(const char* fromIp) {
    if (probeTargetsSet.load(std::memory_order_relaxed)) CountTargetAnswer(fromIp);
}
