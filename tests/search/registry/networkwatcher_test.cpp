// The network watcher in a sealed namespace: rtnetlink events from an address added here, and
// the once-a-second look where rtnetlink is not used.

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "search/details/localiplist.h"
#include "search/details/networkwatcher.h"
#include "tests/support/gtestsealed.h"
#include "tests/support/waituntil.h"

namespace {

using namespace std::chrono_literals;
using nasfinder::test::WaitUntil;

TEST(NetworkWatcher, AnAddressOnANewInterfaceIsNoticedWithinASecond) {
    REQUIRE_SEALED_NETWORK();
    std::atomic<int> changes{0};
    CNetworkWatcher watcher;
    watcher.Start([&] { ++changes; });
    ASSERT_EQ(watcher.CurrentMode(), CNetworkWatcher::Mode::Netlink);
    ASSERT_EQ(
        std::system(
            "ip link add nfw0 type veth peer name nfw0p && ip addr add 10.77.0.1/24 dev nfw0 && "
            "ip link set nfw0 up"),
        0);
    const auto added = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] { return changes > 0; }, 1000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - added, 1s);
    // One burst of events (address, routes, link) gives one look.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(changes.load(), 1);
    watcher.Stop();
    EXPECT_EQ(watcher.CurrentMode(), CNetworkWatcher::Mode::Stopped);
}

TEST(NetworkWatcher, WithoutRtnetlinkItLooksOnceASecondAndCallsOnlyOnAChange) {
    REQUIRE_SEALED_NETWORK();
    std::mutex mutex;
    std::vector<LocalInterfaceAddress> addresses{{"eth0", AF_INET, "10.1.0.1", true, false}};
    SetLocalAddressSource([&](std::vector<LocalInterfaceAddress>& out, std::string&) {
        std::lock_guard<std::mutex> lock(mutex);
        out = addresses;
        return true;
    });
    std::atomic<int> changes{0};
    CNetworkWatcher watcher;
    watcher.Start([&] { ++changes; }, false);
    EXPECT_EQ(watcher.CurrentMode(), CNetworkWatcher::Mode::Polling);
    std::this_thread::sleep_for(1300ms);
    EXPECT_EQ(changes.load(), 0) << "nothing changed";

    {
        std::lock_guard<std::mutex> lock(mutex);
        // Down interfaces and loopback do not count; a new address does.
        addresses.push_back({"eth1", AF_INET, "10.2.0.1", false, false});
        addresses.push_back({"lo", AF_INET, "127.0.0.2", true, true});
    }
    std::this_thread::sleep_for(1300ms);
    EXPECT_EQ(changes.load(), 0);
    {
        std::lock_guard<std::mutex> lock(mutex);
        addresses[1].up = true;
    }
    EXPECT_TRUE(WaitUntil([&] { return changes == 1; }, 1500ms));
    watcher.Stop();
    SetLocalAddressSource(nullptr);
}

}  // namespace
