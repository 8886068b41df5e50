// The device list store's filter, merge and removal, fed through its library callback as the
// workers would feed it. No socket: the library is never started here.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/details/finddevice.h"
#include "src/store/deviceliststore.h"
#include "tests/support/hostiletext.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

deviceinfo Record(const char* id, const char* ip, const char* factory = "KORVANT", int type = 1,
                  const char* host = "nas") {
    deviceinfo record;
    CopyDeviceField(record.id, id);
    CopyDeviceField(record.ip, ip);
    CopyDeviceField(record.factory, factory);
    CopyDeviceField(record.host, host);
    record.type = type;
    return record;
}

class DeviceListStoreTest : public ::testing::Test {
protected:
    void SetUp() override { store.ClearDeviceList(); }

    void Report(deviceinfo record, int handle = 1900) {
        CDeviceListStore::OnSearchResult(&record, handle);
    }
    std::vector<deviceinfo> List() {
        std::vector<deviceinfo> list;
        store.CopyDeviceList(list);
        return list;
    }
    std::vector<std::string> Ips() {
        std::vector<std::string> ips;
        for (const deviceinfo& d : List()) ips.emplace_back(d.ip);
        return ips;
    }

    CDeviceListStore& store = CDeviceListStore::Instance();
};

struct VendorCase {
    const char* factory;
    bool accepted;
    const char* stored;  // factory as kept, when accepted
};

class VendorFilterTest : public DeviceListStoreTest,
                         public ::testing::WithParamInterface<VendorCase> {};

TEST_P(VendorFilterTest, AcceptsKorvantPrefixAndExactTalix3AfterUpperCasingEightBytes) {
    const VendorCase& c = GetParam();
    ::testing::internal::CaptureStdout();
    Report(Record("id", "10.0.0.1", c.factory));
    std::fflush(stdout);
    const std::string printed = ::testing::internal::GetCapturedStdout();

    const auto list = List();
    if (c.accepted) {
        ASSERT_EQ(list.size(), 1u);
        EXPECT_STREQ(list[0].factory, c.stored);
    } else {
        EXPECT_TRUE(list.empty());
    }
    // Printed for every record that reaches the filter, passing or not, in upper case.
    deviceinfo upper = Record("id", "10.0.0.1", c.factory);
    for (int i = 0; i < 8; ++i)
        upper.factory[i] = static_cast<char>(std::toupper(upper.factory[i]));
    EXPECT_EQ(printed, "\nNewDeviceInfo.factory = " + std::string(upper.factory) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Vendors, VendorFilterTest,
    ::testing::Values(VendorCase{"KORVANT", true, "KORVANT"},
                      VendorCase{"korvant", true, "KORVANT"},
                      VendorCase{"KORVANT-GmbH", true, "KORVANT-GmbH"},
                      VendorCase{"korvant-gmbh", true, "KORVANT-gmbh"},
                      VendorCase{"KORVANTX", true, "KORVANTX"},
                      VendorCase{"TALIX3", true, "TALIX3"}, VendorCase{"Talix3", true, "TALIX3"},
                      VendorCase{"TALIX3X", false, ""}, VendorCase{"TALIX", false, ""},
                      VendorCase{"KORVAN", false, ""}, VendorCase{"", false, ""},
                      VendorCase{"OTHERCO", false, ""}),
    [](const ::testing::TestParamInfo<VendorCase>& info) {
        std::string name = std::to_string(info.index) + "_";
        for (const char* c = info.param.factory; *c != 0; ++c) name += std::isalnum(*c) ? *c : '_';
        return name;
    });

class FactoryLineTest : public DeviceListStoreTest,
                        public ::testing::WithParamInterface<nasfinder::test::HostileText> {};

// The vendor text reaches standard output (nas-search's standard error) on every report.
TEST_P(FactoryLineTest, ShowsTheVendorTextTerminalSafe) {
    deviceinfo record = Record("id", "10.0.0.1");
    CopyDeviceField(record.factory, GetParam().bytes.c_str());
    ::testing::internal::CaptureStdout();
    Report(record);
    std::fflush(stdout);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(printed, StartsWith("\nNewDeviceInfo.factory = "));
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 2);
    EXPECT_TRUE(nasfinder::test::TerminalSafe(printed)) << printed;
}

TEST_F(DeviceListStoreTest, FactoryLineShowsA32ByteVendorWhole) {
    deviceinfo record = Record("id", "10.0.0.1");
    std::memset(record.factory, 'k', sizeof record.factory);
    ::testing::internal::CaptureStdout();
    Report(record);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "\nNewDeviceInfo.factory = KKKKKKKK" + std::string(24, 'k') + "\n");
}

INSTANTIATE_TEST_SUITE_P(Hostile, FactoryLineTest,
                         ::testing::ValuesIn(nasfinder::test::HostileTexts()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceListStoreTest, AnIdenticalReportOnlyRefreshesTheLifetime) {
    Report(Record("a", "10.0.0.1"));
    deviceinfo again = Record("a", "10.0.0.1");
    again.lifetime = 99;
    Report(again);
    const auto list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].lifetime, 99);
}

TEST_F(DeviceListStoreTest, ASameIpReportOverwritesTheEntryInPlace) {
    Report(Record("a", "10.0.0.1"));
    Report(Record("b", "10.0.0.2"));
    Report(Record("c", "10.0.0.3"));
    deviceinfo changed = Record("a2", "10.0.0.2", "KORVANT", 2, "renamed");
    changed.lifetime = 30;
    Report(changed);

    const auto list = List();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[1].id, "a2");
    EXPECT_STREQ(list[1].host, "renamed");
    EXPECT_EQ(list[1].type, 2);
    EXPECT_EQ(list[1].lifetime, 30);
    EXPECT_THAT(Ips(), ElementsAre("10.0.0.1", "10.0.0.2", "10.0.0.3"));
}

TEST_F(DeviceListStoreTest, ASameIdWithAnotherIpIsASecondEntry) {
    Report(Record("a", "10.0.0.1"));
    Report(Record("a", "10.0.0.9"));
    EXPECT_THAT(Ips(), ElementsAre("10.0.0.1", "10.0.0.9"));
}

TEST_F(DeviceListStoreTest, ByebyeRemovesOnlyTheFirstEntryWithItsIdAndKeepsTheOrder) {
    Report(Record("x", "10.0.0.1"));
    Report(Record("a", "10.0.0.2"));
    Report(Record("a", "10.0.0.3"));
    Report(Record("y", "10.0.0.4"));
    // A byebye's vendor does not matter.
    Report(Record("a", "10.9.9.9", "OTHERCO", 4));
    EXPECT_THAT(Ips(), ElementsAre("10.0.0.1", "10.0.0.3", "10.0.0.4"));

    // Entries behind the removed one still merge with their own reports.
    Report(Record("y2", "10.0.0.4"));
    Report(Record("z", "10.0.0.5"));
    const auto list = List();
    EXPECT_THAT(Ips(), ElementsAre("10.0.0.1", "10.0.0.3", "10.0.0.4", "10.0.0.5"));
    EXPECT_STREQ(list[2].id, "y2");

    Report(Record("missing", "10.0.0.7", "KORVANT", 4));
    EXPECT_EQ(List().size(), 4u);
}

TEST_F(DeviceListStoreTest, OtherKindsChangeNothing) {
    Report(Record("a", "10.0.0.1"));
    Report(Record("a", "10.0.0.1", "KORVANT", 3));
    Report(Record("b", "10.0.0.2", "KORVANT", 0));
    const auto list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].type, 1);
}

TEST_F(DeviceListStoreTest, CopyReplacesTheDestinationAndClearEmptiesTheList) {
    std::vector<deviceinfo> destination(3);
    store.CopyDeviceList(destination);
    EXPECT_TRUE(destination.empty());

    Report(Record("a", "10.0.0.1"));
    store.ClearDeviceList();
    EXPECT_TRUE(List().empty());
    // After clearing, a known ip is a new entry again.
    Report(Record("a", "10.0.0.1"));
    EXPECT_EQ(List().size(), 1u);
}

TEST_F(DeviceListStoreTest, KeepsTheSenderAndTimeOfEachEntrysLatestReport) {
    // Through the library's dispatch, which tells the sender: an answer whose LOCATION names
    // another address than its sender's, then one from the box itself, unchanged.
    SetFindDeviceCallback(&CDeviceListStore::OnSearchResult);
    const std::time_t before = std::time(nullptr);
    const deviceinfo record = Record("a", "10.0.0.1");
    OnFindDevice(&record, sizeof record, 1900, "10.0.0.254");
    OnFindDevice(&record, sizeof record, 1900, "10.0.0.1");
    SetFindDeviceCallback(nullptr);
    std::vector<DeviceSighting> sightings;
    store.CopySightings(sightings);
    ASSERT_EQ(sightings.size(), 1u);
    EXPECT_STREQ(sightings[0].record.id, "a");
    EXPECT_STREQ(sightings[0].from, "10.0.0.1");
    EXPECT_GE(sightings[0].lastHeard, before);
    EXPECT_LE(sightings[0].lastHeard, std::time(nullptr));

    // Handed in outside the library, a report has no sender.
    Report(Record("a", "10.0.0.1"));
    store.CopySightings(sightings);
    EXPECT_STREQ(sightings[0].from, "");
}

TEST_F(DeviceListStoreTest, TheLibrarysRecordIsNotChanged) {
    deviceinfo record = Record("a", "10.0.0.1", "korvant");
    CDeviceListStore::OnSearchResult(&record, 67);
    EXPECT_STREQ(record.factory, "korvant");
}

TEST_F(DeviceListStoreTest, ReportsFromSeveralThreadsWhileTheListIsRead) {
    constexpr int kThreads = 4;
    constexpr int kEach = 300;
    std::vector<std::thread> reporters;
    for (int t = 0; t < kThreads; ++t) {
        reporters.emplace_back([this, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string ip = "10." + std::to_string(t) + "." + std::to_string(i / 250) +
                                       "." + std::to_string(i % 250);
                Report(Record("id", ip.c_str()));
            }
        });
    }
    // Reports only add here, each under its own ip: a snapshot taken meanwhile never shrinks
    // and never holds an ip twice, or the list and its index went apart.
    std::size_t previous = 0;
    int inconsistent = 0;
    for (int i = 0; i < 200; ++i) {
        const std::vector<deviceinfo> snapshot = List();
        std::set<std::string> ips;
        for (const deviceinfo& d : snapshot) ips.insert(d.ip);
        if (snapshot.size() < previous || ips.size() != snapshot.size()) ++inconsistent;
        previous = snapshot.size();
    }
    for (auto& reporter : reporters) reporter.join();
    EXPECT_EQ(inconsistent, 0);
    EXPECT_EQ(List().size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
