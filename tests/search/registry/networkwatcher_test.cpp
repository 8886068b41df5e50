// The network watcher's once-a-second look, where rtnetlink is not used; rtnetlink itself is
// tested through the registry (searchlib_test) and the end-to-end lab (e2e.network).

#include <sys/socket.h>

#include <atomic>
#include <chrono>
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
