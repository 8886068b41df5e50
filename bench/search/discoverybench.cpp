#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "log/searchlog.h"
#include "search/details/finddevice.h"
#include "search/details/probetargets.h"
#include "search/details/searchdevicebroadcastthread.h"
#include "search/details/searchdevicemulticastthread.h"
#include "search/searchrequest.h"

// Every heap allocation of the process is counted, so that a benchmark can report how many
// happen per datagram; the per-datagram path is meant to have none.
namespace {
std::atomic<std::size_t> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
// GCC takes the malloc inside the replaced operator new for a mismatch with free here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

int Ignore(deviceinfo*, int) {
    return 0;
}

// A datagram as the receive loop hands it over: in a 1025-byte buffer, zero-filled behind.
struct Datagram {
    explicit Datagram(const std::string& bytes) : length(static_cast<int>(bytes.size())) {
        std::memcpy(buffer, bytes.data(), bytes.size());
    }
    char buffer[1025] = {};
    int length;
};

std::string BrandedAnswer(const char* id) {
    return std::string(
               "HTTP/1.1 200 OK\r\n"
               "CACHE-CONTROL: max-age=1800\r\n"
               "DATE: Tue, 08 Dec 2026 06:30:00 GMT\r\n"
               "EXT:\r\n"
               "LOCATION: http://192.168.1.20:8080/desc.xml\r\n"
               "SERVER: Linux/3.10 UPnP/1.0 KIVO/2.1, build 7, KORVANT/nas-01/NS200/eu\r\n"
               "ST: urn:schemas-upnp-org:device:HomeNasDevice:1\r\n"
               "USN: uuid:") +
           id + "::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";
}

const std::string kUnbrandedNotify =
    "NOTIFY * HTTP/1.1\r\n"
    "HOST: 239.255.255.250:1900\r\n"
    "CACHE-CONTROL: max-age=1800\r\n"
    "LOCATION: http://192.168.1.33:49152/description.xml\r\n"
    "NT: urn:schemas-upnp-org:service:ConnectionManager:1\r\n"
    "NTS: ssdp:alive\r\n"
    "SERVER: Linux/4.9 UPnP/1.0 MediaRenderer/2.4\r\n"
    "USN: uuid:5f9ec1b3-ed59-79bb-4530-745d0a1b2c3d::urn:schemas-upnp-org:service:"
    "ConnectionManager:1\r\n\r\n";

std::string BroadcastAnswer(const char* id) {
    SearchRequest answer{};
    answer.cmd = kSearchAnswerCmd;
    answer.type = 1;
    std::string text = std::string("id=") + id + "&host=nas-01&vendor=KORVANT&product=NS200";
    std::memcpy(answer.info, text.data(), text.size());
    return std::string(reinterpret_cast<const char*>(&answer), sizeof answer);
}

// Feeds the datagrams in turn; reports the allocations per datagram.
template <class Worker>
void Feed(benchmark::State& state, const std::string& first, const std::string& second) {
    OpenSearchLog(false, nullptr);
    SetFindDeviceCallback(&Ignore);
    Worker worker;
    Datagram datagrams[2] = {Datagram(first), Datagram(second)};
    std::string fromIp = "192.168.1.20";
    std::size_t turn = 0;
    std::size_t before = allocations.load();
    for (auto _ : state) {
        Datagram& datagram = datagrams[turn];
        turn ^= 1;
        worker.HandleReceive(datagram.buffer, datagram.length, fromIp);
        benchmark::ClobberMemory();
    }
    state.counters["allocs_per_datagram"] = benchmark::Counter(
        static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}

// Two devices taking turns: every answer differs from the last and is dispatched.
void SsdpBrandedAnswerDispatched(benchmark::State& state) {
    Feed<CSearchDeviceMulticastThread>(state, BrandedAnswer("0123-abcd"),
                                       BrandedAnswer("0123-abce"));
}
// One device answering again and again: dispatched, suppressed, dispatched...
void SsdpBrandedAnswerRepeated(benchmark::State& state) {
    std::string answer = BrandedAnswer("0123-abcd");
    Feed<CSearchDeviceMulticastThread>(state, answer, answer);
}
void SsdpUnbrandedNotify(benchmark::State& state) {
    Feed<CSearchDeviceMulticastThread>(state, kUnbrandedNotify, kUnbrandedNotify);
}
void BroadcastAnswerDispatched(benchmark::State& state) {
    Feed<CSearchDeviceBroadcastThread>(state, BroadcastAnswer("A1"), BroadcastAnswer("B2"));
}
// The same answer again: suppressed until the next search.
void BroadcastAnswerRepeated(benchmark::State& state) {
    std::string answer = BroadcastAnswer("A1");
    Feed<CSearchDeviceBroadcastThread>(state, answer, answer);
}

// The answers of a probed box: the sender is one of 4096 search targets, whose answer counter
// the receive path finds by a binary search.
template <class Worker>
void FeedFromTarget(benchmark::State& state, const std::string& first, const std::string& second) {
    std::vector<std::string> targets{"192.168.1.20"};
    for (int i = 0; targets.size() < 4096; ++i) {
        targets.push_back("10.78." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250));
    }
    PublishProbeTargets(targets);
    Feed<Worker>(state, first, second);
    PublishProbeTargets({});
}
void SsdpAnswerFromTarget(benchmark::State& state) {
    FeedFromTarget<CSearchDeviceMulticastThread>(state, BrandedAnswer("0123-abcd"),
                                                 BrandedAnswer("0123-abce"));
}
void BroadcastAnswerFromTarget(benchmark::State& state) {
    FeedFromTarget<CSearchDeviceBroadcastThread>(state, BroadcastAnswer("A1"),
                                                 BroadcastAnswer("B2"));
}

// Shows that the counter sees allocations made in another translation unit: one per iteration.
void AllocationCounterCheck(benchmark::State& state) {
    std::size_t before = allocations.load();
    for (auto _ : state) {
        std::string text(64, 'x');
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["allocs_per_datagram"] = benchmark::Counter(
        static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(AllocationCounterCheck);
BENCHMARK(SsdpBrandedAnswerDispatched);
BENCHMARK(SsdpBrandedAnswerRepeated);
BENCHMARK(SsdpUnbrandedNotify);
BENCHMARK(BroadcastAnswerDispatched);
BENCHMARK(BroadcastAnswerRepeated);
BENCHMARK(SsdpAnswerFromTarget);
BENCHMARK(BroadcastAnswerFromTarget);

BENCHMARK_MAIN();
