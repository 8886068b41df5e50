// The store's start of the library and its forwarding of reports to the application. Starting
// the library opens the broadcast and SSDP sockets, so this runs in a sealed namespace.

#include <chrono>
#include <future>
#include <vector>

#include <gtest/gtest.h>

#include "search/details/searchthreadregistry.h"
#include "src/store/deviceliststore.h"
#include "tests/support/gtestsealed.h"

namespace {

deviceinfo* forwardedRecord = nullptr;
int forwardedHandle = 0;
std::size_t listSizeSeenByCallback = 0;

// Reads the list from inside the callback: this only returns if the store released its mutex.
int ApplicationCallback(deviceinfo* record, int handle) {
    forwardedRecord = record;
    forwardedHandle = handle;
    std::vector<deviceinfo> list;
    CDeviceListStore::Instance().CopyDeviceList(list);
    listSizeSeenByCallback = list.size();
    return 42;
}

TEST(DeviceListStoreForwarding, ForwardsTheLibrarysRecordAfterUpdatingTheList) {
    REQUIRE_SEALED_NETWORK();
    CDeviceListStore& store = CDeviceListStore::Instance();
    EXPECT_EQ(store.InitSearch(&ApplicationCallback, false, nullptr, false), 0);
    // The library now runs the broadcast and SSDP workers only.
    ASSERT_EQ(SearchThreadList().size(), 2u);

    deviceinfo record;
    CopyDeviceField(record.id, "a");
    CopyDeviceField(record.ip, "10.0.0.1");
    CopyDeviceField(record.factory, "KORVANT");
    record.type = 1;
    auto result = std::async(std::launch::async,
                             [&record] { return CDeviceListStore::OnSearchResult(&record, 1550); });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "the callback ran with the store's mutex held";
    EXPECT_EQ(result.get(), 42);
    EXPECT_EQ(forwardedRecord, &record);
    EXPECT_EQ(forwardedHandle, 1550);
    EXPECT_EQ(listSizeSeenByCallback, 1u);

    // Dropped by the filter, still forwarded; so is a kind the store ignores.
    CopyDeviceField(record.factory, "OTHERCO");
    record.type = 3;
    forwardedHandle = 0;
    CDeviceListStore::OnSearchResult(&record, 67);
    EXPECT_EQ(forwardedHandle, 67);
    EXPECT_EQ(store.SendSearch(nullptr), 0);

    ExitSearchLib();
    for (const auto& entry : SearchThreadList()) {
        EXPECT_FALSE(entry.pSearchThread->WorkThreadRunning());
    }
}

}  // namespace
