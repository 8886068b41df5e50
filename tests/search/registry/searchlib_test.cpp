// The entry calls with real workers, in a sealed namespace: which workers exist, on which
// ports and addresses, how the per-interface workers search, and how the library stops. Addresses
// come from a replaced address source; 127.0.0.0/8 addresses are all bindable on the namespace's
// loopback. The registry is process-wide and never emptied, and CTest runs every test in a process
// of its own; the tests that check absolute ports skip when run after another in one process.

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/ip/udp.hpp>

#include "search/details/finddevice.h"
#include "search/details/localiplist.h"
#include "search/details/searchdevicemulticommandthead.h"
#include "search/details/searchthreadregistry.h"
#include "search/searchhealth.h"
#include "search/searchlib.h"
#include "tests/support/gtestsealed.h"
#include "tests/support/stopworker.h"
#include "tests/support/templog.h"
#include "tests/support/waituntil.h"

namespace {

namespace asio = boost::asio;
using asio::ip::udp;
using nasfinder::test::StopAndJoin;
using ::testing::HasSubstr;
using ::testing::Not;

void UseAddresses(std::vector<LocalInterfaceAddress> addresses) {
    SetLocalAddressSource([addresses](std::vector<LocalInterfaceAddress>& out, std::string&) {
        out = addresses;
        return true;
    });
}

LocalInterfaceAddress V4(const char* text) {
    return {"eth", AF_INET, text, true, false};
}
LocalInterfaceAddress V6(const char* text) {
    return {"eth", AF_INET6, text, true, false};
}

int IgnoreReport(deviceinfo*, int) {
    return 0;
}

// True when a socket of ours can take address:port, i.e. no worker holds it.
bool Free(const char* address, unsigned short port) {
    asio::io_context io;
    udp::socket probe(io, udp::v4());
    boost::system::error_code error;
    probe.bind(udp::endpoint(asio::ip::make_address_v4(address), port), error);
    return !error;
}

// ExitSearchLib returns with every receive thread ended and every socket closed.
void StopLibrary() {
    ExitSearchLib();
    SetLocalAddressSource(nullptr);
    for (const auto& entry : SearchThreadList()) {
        EXPECT_FALSE(entry.pSearchThread->WorkThreadRunning())
            << "worker " << entry.pSearchThread->Port() << " still runs";
    }
}

#define REQUIRE_FRESH_REGISTRY()                                                   \
    do {                                                                           \
        if (!SearchThreadList().empty() || FreeInterfacePort() != 1530)            \
            GTEST_SKIP() << "needs a process of its own (CTest runs it that way)"; \
    } while (0)

TEST(SearchLib, TwoAddressesGetWorkersOn1530And1550AndAThirdLaterGets1570) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    nasfinder::test::TempLog log;
    UseAddresses({{"lo", AF_INET, "127.0.0.1", true, true},
                  V6("fe80::2"),
                  V4("127.0.0.2"),
                  V4("127.0.0.3")});

    EXPECT_EQ(InitSearchLib(&IgnoreReport, true, log.Location().c_str(), true), 0);

    const auto& list = SearchThreadList();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].strLocalIP, "");
    EXPECT_EQ(list[0].pSearchThread->Port(), 67);
    EXPECT_EQ(list[1].strLocalIP, "");
    EXPECT_EQ(list[1].pSearchThread->Port(), 1900);
    EXPECT_EQ(list[2].strLocalIP, "127.0.0.2");
    EXPECT_EQ(list[2].pSearchThread->Port(), 1530);
    EXPECT_EQ(list[3].strLocalIP, "127.0.0.3");
    EXPECT_EQ(list[3].pSearchThread->Port(), 1550);
    EXPECT_TRUE(list[2].pSearchThread->WorkThreadRunning());
    // Bound to its own address only: the same port on another address is free.
    EXPECT_FALSE(Free("127.0.0.2", 1530));
    EXPECT_TRUE(Free("127.0.0.9", 1530));

    // A new address, and a repeated one, before the next search.
    UseAddresses({V4("127.0.0.2"), V4("127.0.0.3"), V4("127.0.0.4"), V4("127.0.0.4")});
    EXPECT_EQ(SendMessage(nullptr), 0);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[4].strLocalIP, "127.0.0.4");
    EXPECT_EQ(list[4].pSearchThread->Port(), 1570);
    EXPECT_EQ(FreeInterfacePort(), 1590);

    // Addresses that went away: their workers stop at once, free their ports and are listed as
    // gone until the next search window; their slots serve the next address.
    UseAddresses({V4("127.0.0.4"), V4("127.0.0.6")});
    SendMessage(nullptr);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[2].strLocalIP, "127.0.0.4");
    EXPECT_EQ(list[3].strLocalIP, "127.0.0.6");
    EXPECT_EQ(list[3].pSearchThread->Port(), 1530);
    EXPECT_TRUE(Free("127.0.0.3", 1550));
    std::vector<SearchWorkerHealth> health = GetSearchWorkerHealth();
    ASSERT_EQ(health.size(), 6u);
    EXPECT_EQ(health[4].address, "127.0.0.2");
    EXPECT_EQ(health[4].state, SearchWorkerState::Gone);
    EXPECT_EQ(health[5].address, "127.0.0.3");
    StartSearchWindow();
    EXPECT_EQ(GetSearchWorkerHealth().size(), 4u);

    StopLibrary();
    EXPECT_TRUE(list.empty()) << "a stopped library keeps no worker";
    // A search after the stop starts nothing.
    SendMessage(nullptr);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(Free("127.0.0.4", 1570));
    const std::string text = log.Contents();
    EXPECT_THAT(text, HasSubstr("SendThread 1530 : Init Search Device Work Thread Value, strIP : "
                                "127.0.0.2, nPort : 1530  *["));
    EXPECT_THAT(text, HasSubstr("SendThread 1530 : Exit Search Device Tread , bExitSock : 1  *["));
    // Per-interface workers never joined the group, so they leave none.
    EXPECT_THAT(text, Not(HasSubstr("SendThread 1530 : Leave")));
    EXPECT_THAT(text, Not(HasSubstr("SendThread 1530 : Alter")));
    EXPECT_THAT(text, HasSubstr("SendThread 1900 : Leave To Multicast Group Info *["));
    EXPECT_THAT(text, HasSubstr("------Exit Log System-------\r\n"));
}

TEST(SearchLib, WithTheSwitchOffThereAreTwoWorkersAndTheGroupStillFollowsTheAddresses) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    UseAddresses({V4("127.0.0.2")});
    // Port 1900 taken: with no per-interface workers the SSDP worker moves on.
    asio::io_context io;
    udp::socket holder(io, udp::endpoint(udp::v4(), 1900));

    InitSearchLib(&IgnoreReport, false, nullptr, false);
    SendMessage(nullptr);
    SendMessage(nullptr);

    const auto& list = SearchThreadList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].pSearchThread->Port(), 67);
    EXPECT_EQ(list[1].pSearchThread->Port(), 1901);
    EXPECT_EQ(list[1].pSearchThread->TestCount(), 1);
    // No per-interface worker, yet the group is joined on the address.
    const std::vector<SearchGroupMembership> groups = list[1].pSearchThread->Groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].address, "127.0.0.2");
    EXPECT_EQ(groups[0].error, 0);
    StopLibrary();
}

TEST(SearchLib, WithTheSwitchOnTheSsdpWorkerDoesNotMoveOffATakenPort) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    UseAddresses({});
    asio::io_context io;
    udp::socket holder(io, udp::endpoint(udp::v4(), 1900));

    InitSearchLib(&IgnoreReport, false, nullptr, true);

    const auto& list = SearchThreadList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].pSearchThread->Port(), 1900);
    EXPECT_EQ(list[1].pSearchThread->TestCount(), 0);
    EXPECT_FALSE(list[1].pSearchThread->WorkThreadRunning());
    StopLibrary();
}

TEST(SearchLib, IPv6OnlyGetsNoWorkerAndADuplicateGetsOne) {
    REQUIRE_SEALED_NETWORK();
    const std::size_t before = SearchThreadList().size();
    UseAddresses({V6("fe80::1"), V6("2001:db8::1")});
    InitSearchLib(&IgnoreReport, false, nullptr, true);
    EXPECT_EQ(SearchThreadList().size(), before + 2);

    UseAddresses({V4("127.0.0.5"), V6("fe80::1"), V4("127.0.0.5")});
    SendMessage(nullptr);
    ASSERT_EQ(SearchThreadList().size(), before + 3);
    EXPECT_EQ(SearchThreadList().back().strLocalIP, "127.0.0.5");
    StopLibrary();
}

TEST(SearchLib, AHeldPortMovesTheWorkerToTheNextAndLeavesTheNextAddressItsOwn) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    nasfinder::test::TempLog log;
    asio::io_context io;
    udp::socket holder(io, udp::endpoint(asio::ip::make_address_v4("127.0.0.2"), 1530));
    UseAddresses({V4("127.0.0.2"), V4("127.0.0.3")});

    InitSearchLib(&IgnoreReport, true, log.Location().c_str(), true);

    const auto& list = SearchThreadList();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[2].pSearchThread->Port(), 1531);
    EXPECT_EQ(list[2].pSearchThread->TestCount(), 1);
    EXPECT_TRUE(list[2].pSearchThread->WorkThreadRunning());
    EXPECT_EQ(list[3].pSearchThread->Port(), 1550);
    const std::string text = log.Contents();
    EXPECT_THAT(text, HasSubstr("SendThread 1530 : Create Search Device Work Thread Error : "));
    EXPECT_THAT(text, HasSubstr("SendThread 1530 : Handle Create Search Device Work Thread Error  "
                                "*["));
    EXPECT_THAT(text, HasSubstr("SendThread 1531 : Test Create Search Device Work Thread, "
                                "testCount = 1, port = 1531  *["));
    StopLibrary();
}

TEST(SearchLib, AnAddressThatCannotBeBoundUsesUpItsTwentyRetries) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    nasfinder::test::TempLog log;
    // Not an address text, and an address this namespace does not own.
    UseAddresses({V4("300.1.2.3"), V4("192.0.2.10")});

    InitSearchLib(&IgnoreReport, true, log.Location().c_str(), true);

    const auto& list = SearchThreadList();
    ASSERT_EQ(list.size(), 4u);
    for (int i : {2, 3}) {
        EXPECT_EQ(list[i].pSearchThread->TestCount(), 20);
        EXPECT_FALSE(list[i].pSearchThread->WorkThreadRunning());
    }
    // The last retry uses the first port plus 20: the next worker's first port.
    EXPECT_EQ(list[2].pSearchThread->Port(), 1550);
    EXPECT_EQ(list[3].pSearchThread->Port(), 1570);
    const std::string text = log.Contents();
    EXPECT_THAT(text, HasSubstr("testCount = 20, port = 1550  *["));
    EXPECT_THAT(text, Not(HasSubstr("testCount = 21")));
    SendMessage(nullptr);
    EXPECT_THAT(log.Contents(), HasSubstr("SendThread 1550 : Send Search Device Error : "));
    StopLibrary();
}

TEST(SearchLib, TheSystemAddressSourceReadsThisNamespace) {
    REQUIRE_SEALED_NETWORK();
    std::vector<LocalInterfaceAddress> addresses;
    std::string error;
    ASSERT_TRUE(ReadSystemInterfaceAddresses(addresses, error)) << error;
    bool loopback = false;
    for (const auto& a : addresses) {
        loopback = loopback || (a.loopback && a.family == AF_INET && a.address == "127.0.0.1");
    }
    EXPECT_TRUE(loopback);
    // Only loopback here, so no per-interface worker.
    std::vector<std::string> list;
    GetLocalIPList(list);
    EXPECT_TRUE(list.empty());
}

TEST(SearchLib, EveryStartAfterAStopGetsWorkingWorkersAndEveryStopFreesThePortsAtOnce) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    nasfinder::test::TempLog log;
    UseAddresses({V4("127.0.0.2")});
    // Every start gets the first slot again: the ports never run out however often it restarts.
    const int interfacePort = 1530;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::size_t first = SearchThreadList().size();
        InitSearchLib(&IgnoreReport, true, log.Location().c_str(), true);
        const auto& list = SearchThreadList();
        ASSERT_EQ(list.size(), first + 3);
        const int ports[] = {67, 1900, interfacePort};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(list[first + i].pSearchThread->Port(), ports[i]);
            EXPECT_TRUE(list[first + i].pSearchThread->WorkThreadRunning());
        }
        SendMessage(nullptr);

        ExitSearchLib();
        // No pause: the ports are free the moment ExitSearchLib returns.
        EXPECT_TRUE(Free("0.0.0.0", 67));
        EXPECT_TRUE(Free("0.0.0.0", 1900));
        EXPECT_TRUE(Free("127.0.0.2", static_cast<unsigned short>(interfacePort)));
        EXPECT_TRUE(list.empty());
    }
    // Searches went through the running workers only, and every step succeeded.
    EXPECT_THAT(log.Contents(), Not(HasSubstr(" Error : ")));
    SetLocalAddressSource(nullptr);
}

TEST(SearchLib, HealthTellsEachWorkersStateAndWhatItHeardInTheSearchWindow) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    asio::io_context io;
    udp::socket holder(io, udp::endpoint(udp::v4(), 67));
    UseAddresses({{"lan7", AF_INET, "127.0.0.2", true, false}});
    InitSearchLib(&IgnoreReport, false, nullptr, true);

    std::vector<SearchWorkerHealth> health = GetSearchWorkerHealth();
    ASSERT_EQ(health.size(), 3u);
    EXPECT_EQ(health[0].role, SearchWorkerRole::Broadcast);
    EXPECT_EQ(health[0].state, SearchWorkerState::Failed);
    EXPECT_EQ(health[0].setupError, EADDRINUSE);
    EXPECT_EQ(health[0].setupErrorText, "Address already in use");
    EXPECT_EQ(health[1].role, SearchWorkerRole::Ssdp);
    EXPECT_EQ(health[1].state, SearchWorkerState::Listening);
    EXPECT_EQ(health[2].role, SearchWorkerRole::Interface);
    EXPECT_EQ(health[2].address, "127.0.0.2");
    EXPECT_EQ(health[2].interfaceName, "lan7");
    EXPECT_EQ(health[2].port, 1530);

    SendMessage(nullptr);
    const std::string notify =
        "NOTIFY * HTTP/1.1\r\nNT: upnp:rootdevice\r\nNTS: ssdp:alive\r\n"
        "SERVER: Linux UPnP/1.0 KIVO/2.1, b, KORVANT/nas/NS200\r\n"
        "USN: uuid:n1::upnp:rootdevice\r\n\r\n";
    const std::string answer =
        "HTTP/1.1 200 OK\r\nSERVER: Linux UPnP/1.0 KIVO/2.1, b, KORVANT/nas/NS200\r\n"
        "USN: uuid:a1::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";
    udp::socket box(io, udp::v4());
    box.send_to(asio::buffer(notify), udp::endpoint(asio::ip::address_v4::loopback(), 1900));
    box.send_to(asio::buffer(answer), udp::endpoint(asio::ip::make_address_v4("127.0.0.2"), 1530));
    ASSERT_TRUE(nasfinder::test::WaitUntil([] {
        const auto now = GetSearchWorkerHealth();
        return now[1].announcementsHeard == 1 && now[2].answersReceived == 1;
    }));
    health = GetSearchWorkerHealth();
    EXPECT_EQ(health[0].searchesSent, 0u);
    EXPECT_EQ(health[0].sendErrors, 1u);
    EXPECT_EQ(health[0].lastSendError, EBADF);
    EXPECT_EQ(health[1].searchesSent, 1u);
    EXPECT_EQ(health[1].answersReceived, 0u);
    EXPECT_EQ(health[1].devicesReported, 1u);
    EXPECT_GE(health[1].datagramsReceived, 1u);
    EXPECT_EQ(health[2].announcementsHeard, 0u);
    EXPECT_EQ(health[2].devicesReported, 1u);

    // Counted over the search window, whatever number of searches it holds; the next counts
    // anew.
    SendMessage(nullptr);
    health = GetSearchWorkerHealth();
    EXPECT_EQ(health[1].announcementsHeard, 1u);
    EXPECT_EQ(health[2].answersReceived, 1u);
    EXPECT_EQ(health[1].searchesSent, 2u);
    StartSearchWindow();
    health = GetSearchWorkerHealth();
    EXPECT_EQ(health[1].announcementsHeard, 0u);
    EXPECT_EQ(health[2].answersReceived, 0u);

    // Port 67 is free again: the failed worker is set up anew at the next search.
    holder.close();
    SendMessage(nullptr);
    health = GetSearchWorkerHealth();
    EXPECT_EQ(health[0].state, SearchWorkerState::Listening);
    EXPECT_EQ(health[0].searchesSent, 1u);
    StopLibrary();
    EXPECT_TRUE(GetSearchWorkerHealth().empty());
}

std::mutex announcedMutex;
std::vector<SearchWorkerHealth> announced;

void KeepWorker(const SearchWorkerHealth& worker) {
    std::lock_guard<std::mutex> lock(announcedMutex);
    announced.push_back(worker);
}

TEST(SearchLib, AnAddressThatAppearsGetsAWorkerThatSearchesAtOnceUnlessItsInterfaceIsLeftOut) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    SetSearchWorkerCallback(&KeepWorker);
    SetSearchInterfaces({}, {"nfx*"});
    InitSearchLib(&IgnoreReport, false, nullptr, true);
    SendMessage(nullptr);
    // Through the registry's lock: the watcher's thread may add a worker any time from now on.
    ASSERT_EQ(GetSearchWorkerHealth().size(), 2u);

    ASSERT_EQ(
        std::system(
            "ip link add nfx0 type veth peer name nfx0p && ip addr add 10.78.0.1/24 dev nfx0 && "
            "ip link set nfx0p up && ip link set nfx0 up && "
            "ip link add nfw1 type veth peer name nfw1p && ip addr add 10.77.0.1/24 dev nfw1 && "
            "ip link set nfw1p up && ip link set nfw1 up"),
        0);
    ASSERT_TRUE(nasfinder::test::WaitUntil(
        [] {
            std::lock_guard<std::mutex> lock(announcedMutex);
            return !announced.empty();
        },
        std::chrono::milliseconds(1000)));
    const std::vector<SearchWorkerHealth> health = GetSearchWorkerHealth();
    ASSERT_EQ(health.size(), 3u) << "the excluded interface got a worker";
    EXPECT_EQ(health[2].address, "10.77.0.1");
    EXPECT_EQ(health[2].interfaceName, "nfw1");
    EXPECT_EQ(health[2].port, 1530);
    EXPECT_EQ(health[2].state, SearchWorkerState::Listening);
    EXPECT_EQ(health[2].searchesSent, 1u) << "the latest search goes out through it at once";
    {
        std::lock_guard<std::mutex> lock(announcedMutex);
        ASSERT_EQ(announced.size(), 1u);
        EXPECT_EQ(announced[0].address, "10.77.0.1");
    }
    StopLibrary();
    SetSearchWorkerCallback(nullptr);
    SetSearchInterfaces({}, {});
}

// A callback that stops the library on the first report, once the other worker's report is
// waiting for the dispatch behind it.
nasfinder::test::TempLog* stopLog = nullptr;
std::atomic<int> stopperPort{0};
std::atomic<bool> stoppedInside{false};
std::atomic<bool> portsFreeInside{false};
std::atomic<bool> othersEndedInside{false};

int StopFromCallback(deviceinfo*, int handle) {
    int expected = 0;
    if (!stopperPort.compare_exchange_strong(expected, handle)) return 0;
    const int other = handle == 67 ? 1900 : 67;
    const std::string waiting = "Handle " + std::to_string(other) + " : Search " +
                                std::to_string(other) + " Thread Find Device and wait for mutex";
    nasfinder::test::WaitUntil(
        [&] { return stopLog->Contents().find(waiting) != std::string::npos; });

    ExitSearchLib();
    portsFreeInside = Free("0.0.0.0", 67) && Free("0.0.0.0", 1900);
    bool othersEnded = true;
    for (const auto& entry : SearchThreadList()) {
        if (entry.pSearchThread->Port() != handle) {
            othersEnded = othersEnded && !entry.pSearchThread->WorkThreadRunning();
        }
    }
    othersEndedInside = othersEnded;
    stoppedInside = true;
    return 0;
}

TEST(SearchLib, ACallbackThatStopsTheLibraryNeitherDeadlocksNorOutlivesItsReturn) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    nasfinder::test::TempLog log;
    stopLog = &log;
    InitSearchLib(&StopFromCallback, true, log.Location().c_str(), false);
    // The stopping worker outlives the stop, for its thread to return into; the others go.
    std::vector<std::pair<int, CSearchDeviceThread*>> workers;
    for (const auto& entry : SearchThreadList()) {
        workers.emplace_back(entry.pSearchThread->Port(), entry.pSearchThread);
    }
    // Through the registry's lock, which the stop takes after this read.
    ASSERT_EQ(GetSearchWorkerHealth().size(), 2u);

    SearchRequest answer{};
    answer.cmd = kSearchAnswerCmd;
    answer.type = 1;
    std::strcpy(answer.info, "id=b1&vendor=KORVANT");
    const std::string ssdp =
        "HTTP/1.1 200 OK\r\nSERVER: Linux UPnP/1.0 KIVO/2.1, b, KORVANT/nas/NS200\r\n"
        "USN: uuid:s1::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";
    asio::io_context io;
    udp::socket box(io, udp::v4());
    box.send_to(asio::buffer(&answer, sizeof answer),
                udp::endpoint(asio::ip::address_v4::loopback(), 67));
    box.send_to(asio::buffer(ssdp), udp::endpoint(asio::ip::address_v4::loopback(), 1900));

    ASSERT_TRUE(
        nasfinder::test::WaitUntil([] { return stoppedInside.load(); }, std::chrono::seconds(10)))
        << "ExitSearchLib called from the callback did not return";
    EXPECT_TRUE(portsFreeInside);
    EXPECT_TRUE(othersEndedInside) << "the report waiting behind the callback kept its worker";
    EXPECT_THAT(log.Contents(), HasSubstr("Thread Find Device dropped, search stopping  *["));
    // The stopping worker's own thread ends once its callback has returned.
    for (const auto& [port, worker] : workers) {
        if (port != stopperPort) continue;
        EXPECT_TRUE(nasfinder::test::WaitUntil([&] { return !worker->WorkThreadRunning(); }))
            << "worker " << port;
    }
}

// A callback that takes its time, as a write to a stalled pipe does.
std::atomic<bool> slowInside{false};
std::atomic<bool> slowDone{false};

int SlowReport(deviceinfo*, int) {
    if (slowInside.exchange(true)) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    slowDone = true;
    return 0;
}

TEST(SearchLib, ExitSearchLibReturnsOnlyOnceTheCallbackInFlightHasReturned) {
    REQUIRE_SEALED_NETWORK();
    REQUIRE_FRESH_REGISTRY();
    InitSearchLib(&SlowReport, false, nullptr, false);
    const std::string ssdp =
        "HTTP/1.1 200 OK\r\nSERVER: Linux UPnP/1.0 KIVO/2.1, b, KORVANT/nas/NS200\r\n"
        "USN: uuid:s2::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";
    asio::io_context io;
    udp::socket box(io, udp::v4());
    box.send_to(asio::buffer(ssdp), udp::endpoint(asio::ip::address_v4::loopback(), 1900));
    ASSERT_TRUE(nasfinder::test::WaitUntil([] { return slowInside.load(); }));

    ExitSearchLib();
    EXPECT_TRUE(slowDone) << "ExitSearchLib returned while a callback was still running";
}

// Reports that reach the dispatch, for the per-interface worker's own test.
std::mutex reportMutex;
std::condition_variable reportArrived;
std::vector<std::pair<std::string, int>> reports;

int KeepReport(deviceinfo* record, int handle) {
    std::lock_guard<std::mutex> lock(reportMutex);
    reports.emplace_back(record->id, handle);
    reportArrived.notify_all();
    return 0;
}

TEST(MultiCommandWorker, SearchesFromItsOwnAddressAndReportsTheAnswersThatComeBack) {
    REQUIRE_SEALED_NETWORK();
    asio::io_context io;
    const auto group = asio::ip::make_address_v4("239.143.255.250");
    udp::socket device(io, udp::endpoint(udp::v4(), 1900));
    device.set_option(
        asio::ip::multicast::join_group(group, asio::ip::make_address_v4("127.0.0.1")));
    SetFindDeviceCallback(&KeepReport);

    // On the heap like every worker: it may only go once its receive thread has ended.
    auto* worker = new CSearchDeviceMultiCommandThead;
    worker->InitThreadValue("127.0.0.2", 1610, true);
    ASSERT_TRUE(worker->WorkThreadRunning());
    worker->SendSearchCommand(nullptr);

    char search[1024] = {};
    udp::endpoint from;
    const std::size_t length = device.receive_from(asio::buffer(search), from);
    EXPECT_EQ(from, udp::endpoint(asio::ip::make_address_v4("127.0.0.2"), 1610));
    EXPECT_EQ(length, 129u);
    EXPECT_EQ(std::string(search, 9), "M-SEARCH ");

    const std::string answer =
        "HTTP/1.1 200 OK\r\nLOCATION: http://127.0.0.7:80/d.xml\r\n"
        "SERVER: Linux UPnP/1.0 KIVO/2.1, b, KORVANT/nas/NS200\r\n"
        "USN: uuid:dev-7::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";
    device.send_to(asio::buffer(answer), from);
    {
        std::unique_lock<std::mutex> lock(reportMutex);
        ASSERT_TRUE(
            reportArrived.wait_for(lock, std::chrono::seconds(5), [] { return !reports.empty(); }));
        EXPECT_EQ(reports[0], std::make_pair(std::string("dev-7"), 1610));
    }
    StopAndJoin(*worker);
    EXPECT_TRUE(worker->ExitRequested());
    SetFindDeviceCallback(nullptr);
    if (!worker->WorkThreadRunning()) delete worker;
}

}  // namespace
