#include <sys/socket.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/details/searchdevicemulticastthread.h"
#include "tests/search/discovery/reportsink.h"
#include "tests/search/discovery/wiresupport.h"
#include "tests/support/gtestsealed.h"
#include "tests/support/stopworker.h"
#include "tests/support/templog.h"

namespace {

using namespace discovery_test;
using nasfinder::test::StopAndJoin;
using nasfinder::test::TempLog;
using testing::Contains;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::EndsWith;
using testing::HasSubstr;

constexpr const char* kGroup = "239.143.255.250";

const std::string kMSearch =
    "M-SEARCH * HTTP/1.1\r\n"
    "HOST: 239.143.255.250:1900\r\n"
    "ST: urn:schemas-upnp-org:device:HomeNasDevice:1\r\n"
    "MAN: \"ssdp:discover\"\r\n"
    "MX: 3\r\n"
    "\r\n";

const std::string kAnswer =
    "HTTP/1.1 200 OK\r\n"
    "LOCATION: http://192.168.1.20:8080/desc.xml\r\n"
    "SERVER: Linux/3.10 UPnP/1.0 KIVO/2.1, build 7, KORVANT/nas-01/NS200/eu\r\n"
    "USN: uuid:0123-abcd::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";

const std::string kAlive =
    "NOTIFY * HTTP/1.1\r\n"
    "HOST: 239.143.255.250:1900\r\n"
    "LOCATION: http://192.168.1.21:8080/desc.xml\r\n"
    "NT: upnp:rootdevice\r\n"
    "NTS: ssdp:alive\r\n"
    "SERVER: Linux/3.10 UPnP/1.0 KIVO/2.1, build 7, KORVANT/nas-02/NS200\r\n"
    "USN: uuid:4567-ef01::upnp:rootdevice\r\n\r\n";

std::string Line(int port, const std::string& text) {
    return "SendThread " + std::to_string(port) + " : " + text;
}

class SsdpWire : public testing::Test {
protected:
    void SetUp() override { CollectReports(); }
    TempLog log;
};

TEST_F(SsdpWire, SendsTheExactSearchToTheGroupFromItsOwnPort) {
    REQUIRE_SEALED_NETWORK();
    ASSERT_EQ(kMSearch.size(), 129u);
    Listener group(1900, kGroup);
    CSearchDeviceMulticastThread worker;
    worker.InitThreadValue(nullptr, 1905, false);
    ASSERT_TRUE(worker.WorkThreadRunning());
    EXPECT_EQ(worker.SendSearchCommand(nullptr), 0);

    Captured search;
    ASSERT_TRUE(group.Receive(search));
    EXPECT_EQ(search.bytes, kMSearch);
    EXPECT_EQ(search.fromPort, 1905);
    EXPECT_EQ(search.toIp, kGroup);
    EXPECT_FALSE(group.Receive(search, std::chrono::milliseconds(100))) << "sent once";
    StopAndJoin(worker);

    auto messages = log.Messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(messages.begin(), messages.begin() + 3),
                ElementsAre(Line(1905,
                                 "Init Search Device Work Thread Value, strIP : , nPort "
                                 ": 1905  "),
                            Line(1905, "Create Search Device Work Thread   "),
                            Line(1905, "Add To Multicast Group Info ")));
    EXPECT_THAT(messages, Contains(Line(1905, "Send Search Device Command  ")));
    EXPECT_THAT(messages, Contains(Line(1905, "Leave To Multicast Group Info ")));
    EXPECT_THAT(messages, Contains(Line(1905, "Exit Search Device Tread , bExitSock : 1  ")));
}

TEST_F(SsdpWire, HearsAnnouncementsToTheGroupAndAnswersToItsPort) {
    REQUIRE_SEALED_NETWORK();
    CSearchDeviceMulticastThread worker;
    worker.InitThreadValue(nullptr, 1900, false);
    SendTo(kAlive, kGroup, 1900);
    ASSERT_EQ(WaitForReports(1).size(), 1u);
    SendTo(kAnswer, "127.0.0.1", 1900);
    auto reports = WaitForReports(2);
    StopAndJoin(worker);

    ASSERT_EQ(reports.size(), 2u);
    EXPECT_STREQ(reports[0].record.id, "4567-ef01");
    EXPECT_STREQ(reports[0].record.ip, "192.168.1.21");
    EXPECT_EQ(reports[0].record.type, 2);
    EXPECT_STREQ(reports[1].record.id, "0123-abcd");
    EXPECT_EQ(reports[1].record.type, 1);
    for (const auto& report : reports) EXPECT_EQ(report.handle, 1900);
}

TEST_F(SsdpWire, ItsOwnSearchComesBackAndIsDropped) {
    REQUIRE_SEALED_NETWORK();
    CSearchDeviceMulticastThread worker;
    worker.InitThreadValue(nullptr, 1900, false);
    worker.SendSearchCommand(nullptr);
    // Handled in arrival order: once the answer is reported, the search was handled before it.
    SendTo(kAnswer, "127.0.0.1", 1900);
    auto reports = WaitForReports(1);
    StopAndJoin(worker);

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].record.type, 1);
    // Looped back through the group; its source address depends on the namespace's routes.
    EXPECT_THAT(log.Messages(), Contains(EndsWith(", nLen : 129  ")));
}

// Retry lines of one failed attempt on port, as the nested retries write them.
std::vector<std::string> FailedAttempt(int port, const std::string& error, bool retried,
                                       int testCount) {
    std::vector<std::string> lines = {
        Line(port, "Create Search Device Work Thread   "),
        Line(port, "Add To Multicast Group Info "),
        Line(port, "Create Search Device Work Thread Error : " + error + "   "),
        Line(port, "Handle Create Search Device Work Thread Error  ")};
    if (retried) {
        lines.push_back(Line(port + 1, "Test Create Search Device Work Thread, testCount = " +
                                           std::to_string(testCount) +
                                           ", port = " + std::to_string(port + 1) + "  "));
    }
    return lines;
}

TEST_F(SsdpWire, BindFailuresWalkPorts1900To1920AndStop) {
    REQUIRE_SEALED_NETWORK();
    PortHolder taken(1900, 1920);
    CSearchDeviceMulticastThread worker;
    worker.InitThreadValue(nullptr, 1900, true);

    EXPECT_EQ(worker.Port(), 1920);
    EXPECT_EQ(worker.TestCount(), 20);
    EXPECT_FALSE(worker.WorkThreadRunning());
    std::vector<std::string> expected = {
        Line(1900, "Init Search Device Work Thread Value, strIP : , nPort : 1900  ")};
    for (int retry = 0; retry <= 20; ++retry) {
        auto lines =
            FailedAttempt(1900 + retry, "bind: Address already in use", retry < 20, retry + 1);
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    EXPECT_THAT(log.Messages(), ElementsAreArray(expected));

    // Failed for good: every search logs the send error, and stopping still works.
    worker.SendSearchCommand(nullptr);
    worker.ExitWorkThread();
    // With its socket gone it is in no group, so it leaves none.
    auto messages = log.Messages();
    ASSERT_EQ(messages.size(), expected.size() + 3);
    EXPECT_THAT(
        std::vector<std::string>(messages.end() - 3, messages.end()),
        ElementsAre(Line(1920, "Send Search Device Command  "),
                    Line(1920, "Send Search Device Error : send_to: Bad file descriptor   "),
                    Line(1920, "Exit Search Device Tread , bExitSock : 1  ")));
}

TEST_F(SsdpWire, RetryLandsOnTheFirstFreePortAndSearchesFromThere) {
    REQUIRE_SEALED_NETWORK();
    Listener group(1900, kGroup);  // also keeps 1900 taken
    PortHolder taken(1901, 1902);
    CSearchDeviceMulticastThread worker;
    worker.InitThreadValue(nullptr, 1900, true);
    EXPECT_EQ(worker.Port(), 1903);
    EXPECT_EQ(worker.TestCount(), 3);
    ASSERT_TRUE(worker.WorkThreadRunning());

    worker.SendSearchCommand(nullptr);
    Captured search;
    ASSERT_TRUE(group.Receive(search));
    EXPECT_EQ(search.bytes, kMSearch);
    EXPECT_EQ(search.fromPort, 1903);

    // Announcements to the group's port no longer reach it; answers to its port do.
    SendTo(kAlive, kGroup, 1900);
    SendTo(kAnswer, "127.0.0.1", 1903);
    auto reports = WaitForReports(1);
    StopAndJoin(worker);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].record.type, 1);
    EXPECT_EQ(reports[0].handle, 1903);
}

TEST_F(SsdpWire, WithoutTheRetryFlagABindFailureIsFinal) {
    REQUIRE_SEALED_NETWORK();
    PortHolder taken(1900, 1900);
    CSearchDeviceMulticastThread worker;
    worker.InitThreadValue(nullptr, 1900, false);
    EXPECT_EQ(worker.Port(), 1900);
    EXPECT_EQ(worker.TestCount(), 0);
    EXPECT_FALSE(worker.WorkThreadRunning());
    EXPECT_THAT(log.Messages(),
                ElementsAre(Line(1900,
                                 "Init Search Device Work Thread Value, strIP : , nPort : "
                                 "1900  "),
                            Line(1900, "Create Search Device Work Thread   "),
                            Line(1900, "Add To Multicast Group Info "),
                            Line(1900,
                                 "Create Search Device Work Thread Error : bind: Address "
                                 "already in use   ")));
}

TEST_F(SsdpWire, JoinsOnEveryInterfaceAddressAndAFailedJoinStillBindsAndReceives) {
    REQUIRE_SEALED_NETWORK();
    // Without a route for the group (no default route) the join on an address still works; an
    // address no interface has (192.0.2.9) cannot join, and says so.
    ASSERT_EQ(std::system("ip route del 224.0.0.0/4 dev lo"), 0);
    SetLocalAddressSource([](std::vector<LocalInterfaceAddress>& out, std::string&) {
        out = {{"lo", AF_INET, "127.0.0.1", true, true}, {"ghost", AF_INET, "192.0.2.9", true}};
        return true;
    });
    CSearchDeviceMulticastThread worker;
    worker.InitThreadValue(nullptr, 1900, false);
    SetLocalAddressSource(nullptr);
    ASSERT_TRUE(worker.WorkThreadRunning());
    const std::vector<SearchGroupMembership> groups = worker.Groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].error, 0);
    EXPECT_EQ(groups[1].address, "192.0.2.9");
    EXPECT_NE(groups[1].error, 0);
    EXPECT_THAT(DescribeSearchWorker(worker.Health(), false),
                HasSubstr("group not joined on ghost (192.0.2.9): "));
    SendTo(kAnswer, "127.0.0.1", 1900);
    auto reports = WaitForReports(1);
    StopAndJoin(worker);

    EXPECT_EQ(reports.size(), 1u);
    auto messages = log.Messages();
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages[2], Line(1900, "Add To Multicast Group Info "));
    EXPECT_EQ(messages[3].rfind(Line(1900, "Alter Device Mulitcast Group Error : set_option: "), 0),
              0u)
        << messages[3];
    EXPECT_EQ(messages[3].substr(messages[3].size() - 4), "  \r\n");
}

}  // namespace
