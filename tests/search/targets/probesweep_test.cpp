// The probe sweep with the real library in a sealed namespace: the unicast M-SEARCH text, a
// box's answer counted for its address (and only its), the pace of a /22, a sweep cancelled
// by the stop, sweeps that resume, and a stop from a callback while another thread searches.
// Targets are 127.0.0.0/8 addresses, all local on the namespace's loopback.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>

#include "search/details/probesweep.h"
#include "search/details/searchthreadregistry.h"
#include "search/protocol.h"
#include "search/searchhealth.h"
#include "search/searchlib.h"
#include "search/searchtargets.h"
#include "tests/support/gtestsealed.h"
#include "tests/support/waituntil.h"

namespace {

namespace asio = boost::asio;
using asio::ip::udp;
using Clock = std::chrono::steady_clock;
using nasfinder::test::WaitUntil;

int Ignore(deviceinfo*, int) {
    return 0;
}

bool EveryTargetProbed(const std::vector<SearchTargetHealth>& targets) {
    return !targets.empty() &&
           std::all_of(targets.begin(), targets.end(),
                       [](const SearchTargetHealth& target) { return target.probesSent > 0; });
}

std::uint32_t Sent(const std::vector<SearchTargetHealth>& targets) {
    return std::accumulate(targets.begin(), targets.end(), 0u,
                           [](std::uint32_t sum, const SearchTargetHealth& target) {
                               return sum + target.probesSent;
                           });
}

TEST(UnicastMSearch, NamesTheTargetInHostAndKeepsTheRest) {
    EXPECT_EQ(UnicastMSearch("10.78.3.5"),
              "M-SEARCH * HTTP/1.1\r\n"
              "HOST: 10.78.3.5:1900\r\n"
              "ST: urn:schemas-upnp-org:device:HomeNasDevice:1\r\n"
              "MAN: \"ssdp:discover\"\r\n"
              "MX: 3\r\n"
              "\r\n");
}

// A box at 127.0.0.2 answers the unicast search request; the answer counts for its address.
TEST(ProbeSweep, ProbesEachTargetAndCountsItsAnswer) {
    REQUIRE_SEALED_NETWORK();
    asio::io_context io;
    udp::socket box(io,
                    udp::endpoint(asio::ip::make_address_v4("127.0.0.2"), kBroadcastRequestPort));
    SetSearchTargets({"127.0.0.2", "127.0.0.3"});
    InitSearchLib(&Ignore, false, nullptr, false);
    SendMessage(nullptr);

    SearchRequest request{};
    udp::endpoint from;
    ASSERT_EQ(box.receive_from(asio::buffer(&request, sizeof request), from), sizeof request);
    EXPECT_EQ(request.cmd, kSearchRequestCmd);
    EXPECT_EQ(from.port(), kBroadcastPort);
    SearchRequest answer{};
    answer.cmd = kSearchAnswerCmd;
    answer.type = 1;
    std::strcpy(answer.info, "id=box-a&host=nas-a");
    box.send_to(asio::buffer(&answer, sizeof answer), from);

    EXPECT_TRUE(WaitUntil([] {
        const auto targets = GetSearchTargetHealth();
        return targets.size() == 2 && targets[0].answers == 1 && Sent(targets) == 4;
    })) << "two probes to each target, one answer from 127.0.0.2";
    const auto targets = GetSearchTargetHealth();
    EXPECT_EQ(targets[0].address, "127.0.0.2");
    EXPECT_EQ(targets[1].answers, 0u);
    EXPECT_EQ(targets[1].sendErrors, 0u);
    ExitSearchLib();
    SetSearchTargets({});
    EXPECT_TRUE(GetSearchTargetHealth().empty());
}

// 1022 targets are 2044 datagrams, at most 4000 a second; a stop cancels the next sweep.
TEST(ProbeSweep, KeepsItsPaceAndEndsWithTheLibrary) {
    REQUIRE_SEALED_NETWORK();
    std::vector<std::string> addresses;
    std::string error;
    ASSERT_TRUE(ParseSearchTarget("127.1.0.0/22", addresses, error)) << error;
    SetSearchTargets(addresses);
    InitSearchLib(&Ignore, false, nullptr, false);

    const Clock::time_point start = Clock::now();
    SendMessage(nullptr);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100))
        << "SendMessage returns at once";
    ASSERT_TRUE(WaitUntil([] { return Sent(GetSearchTargetHealth()) == 2044; },
                          std::chrono::milliseconds(5000)));
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(2043 * 250));

    // The counters cover a search window, as the workers' do.
    StartSearchWindow();
    SendMessage(nullptr);
    EXPECT_LT(Sent(GetSearchTargetHealth()), 100u) << "a new search window counts anew";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point stop = Clock::now();
    ExitSearchLib();
    EXPECT_LT(Clock::now() - stop, std::chrono::milliseconds(300));
    const std::uint32_t sent = Sent(GetSearchTargetHealth());
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, 1500u) << "the stop cancelled the sweep";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Sent(GetSearchTargetHealth()), sent) << "nothing is sent after the stop";
}

// Searches closer together than a sweep (a /22 takes half a second) each restart it: resumed,
// the sweeps still reach every target; new targets before every search start afresh each time
// and never get past the first few hundred.
struct ResumeCase {
    const char* name;
    std::chrono::milliseconds every;
    bool newTargetsEachSearch;
    bool reachesEveryTarget;
};

class ResumedSweepTest : public ::testing::TestWithParam<ResumeCase> {};

TEST_P(ResumedSweepTest, ReachesEveryTargetUnlessTheTargetsChange) {
    REQUIRE_SEALED_NETWORK();
    const ResumeCase& c = GetParam();
    std::vector<std::string> addresses;
    std::string error;
    ASSERT_TRUE(ParseSearchTarget("127.1.0.0/22", addresses, error)) << error;
    SetSearchTargets(addresses);
    InitSearchLib(&Ignore, false, nullptr, false);
    const Clock::time_point start = Clock::now();
    bool reached = false;
    while (!reached && Clock::now() - start < std::chrono::seconds(3)) {
        if (c.newTargetsEachSearch) SetSearchTargets(addresses);
        SendMessage(nullptr);
        std::this_thread::sleep_for(c.every);
        reached = EveryTargetProbed(GetSearchTargetHealth());
    }
    ExitSearchLib();
    SetSearchTargets({});
    EXPECT_EQ(reached, c.reachesEveryTarget);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, ResumedSweepTest,
    ::testing::Values(ResumeCase{"every_100_ms", std::chrono::milliseconds(100), false, true},
                      ResumeCase{"every_300_ms", std::chrono::milliseconds(300), false, true},
                      ResumeCase{"every_100_ms_with_new_targets", std::chrono::milliseconds(100),
                                 true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A callback that stops the library while another thread keeps searching with targets: the
// sweep is started and stopped from both threads at once, and must end with the workers.
std::atomic<bool> stopCalled{false};
std::atomic<bool> stopReturned{false};

int StopOnReport(deviceinfo*, int) {
    if (stopCalled.exchange(true)) return 0;
    ExitSearchLib();
    stopReturned = true;
    return 0;
}

TEST(ProbeSweep, AStopFromACallbackWhileAnotherThreadSearchesEndsTheSweepWithTheLibrary) {
    REQUIRE_SEALED_NETWORK();
    std::vector<std::string> addresses;
    std::string error;
    ASSERT_TRUE(ParseSearchTarget("127.2.0.0/24", addresses, error)) << error;
    const std::string ssdp =
        "HTTP/1.1 200 OK\r\nSERVER: Linux UPnP/1.0 KIVO/2.1, b, KORVANT/nas/NS200\r\n"
        "USN: uuid:box-t::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";
    asio::io_context io;
    udp::socket box(io, udp::v4());
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        stopCalled = false;
        stopReturned = false;
        SetSearchTargets(addresses);
        InitSearchLib(&StopOnReport, false, nullptr, false);
        // The worker whose thread stops the library: kept by it, and waited for below.
        CSearchDeviceThread* stopper = nullptr;
        for (const IPANDSEARCHTHREAD& entry : SearchThreadList()) {
            if (entry.pSearchThread->Role() == SearchWorkerRole::Ssdp)
                stopper = entry.pSearchThread;
        }
        ASSERT_NE(stopper, nullptr);
        std::thread searcher([] {
            while (!stopReturned) SendMessage(nullptr);
        });
        box.send_to(asio::buffer(ssdp), udp::endpoint(asio::ip::address_v4::loopback(), kSsdpPort));
        const bool stopped = WaitUntil([] { return stopReturned.load(); });
        if (!stopped) {
            // Nothing reached the callback: end the round from here.
            stopReturned = true;
            ExitSearchLib();
        }
        searcher.join();
        ASSERT_TRUE(stopped) << "the callback never stopped the library";
        EXPECT_TRUE(WaitUntil([stopper] { return !stopper->WorkThreadRunning(); }));
        const std::uint32_t sent = Sent(GetSearchTargetHealth());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(Sent(GetSearchTargetHealth()), sent) << "the sweep outlived the stop";
    }
    SetSearchTargets({});
}

}  // namespace
