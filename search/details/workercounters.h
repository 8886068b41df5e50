#pragma once

#include "search/details/internal.h"

#include <atomic>
#include <cstdint>

// What one worker has done since the last search. The receive thread counts datagrams without
// a lock or an allocation; the caller's thread counts sends, reads all and resets them.
struct WorkerCounters {
    std::atomic<std::uint32_t> searchesSent{0};
    std::atomic<std::uint32_t> sendErrors{0};
    std::atomic<int> lastSendError{0};
    std::atomic<std::uint32_t> datagramsReceived{0};
    std::atomic<std::uint32_t> answersReceived{0};
    std::atomic<std::uint32_t> announcementsHeard{0};
    std::atomic<std::uint32_t> devicesReported{0};

    static void Count(std::atomic<std::uint32_t>& counter) {
        counter.fetch_add(1, std::memory_order_relaxed);
    }
    void Reset() {
        for (auto* counter : {&searchesSent, &sendErrors, &datagramsReceived, &answersReceived,
                              &announcementsHeard, &devicesReported}) {
            counter->store(0, std::memory_order_relaxed);
        }
        lastSendError.store(0, std::memory_order_relaxed);
    }
};
