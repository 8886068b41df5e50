#include <algorithm>
#include <cstring>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/details/searchdevicebroadcastthread.h"
#include "search/searchrequest.h"
#include "tests/search/discovery/reportsink.h"
#include "tests/search/discovery/wiresupport.h"
#include "tests/support/gtestsealed.h"
#include "tests/support/stopworker.h"
#include "tests/support/templog.h"

namespace {

using namespace discovery_test;
using nasfinder::test::StopAndJoin;
using nasfinder::test::TempLog;
using testing::ElementsAre;

std::string DefaultRequestBytes() {
    std::string bytes("\x0b\x01\x00\x00\xff\xff\xff\xff", 8);
    return bytes + std::string(140, '\0');
}

class BroadcastWire : public testing::Test {
protected:
    void SetUp() override { CollectReports(); }
    TempLog log;
};

TEST_F(BroadcastWire, SendsTheRequestToTheLimitedBroadcastFromPort67) {
    REQUIRE_SEALED_NETWORK();
    Listener devices(68);
    CSearchDeviceBroadcastThread worker;
    worker.InitThreadValue(nullptr, 67, false);
    ASSERT_TRUE(worker.WorkThreadRunning());

    SearchRequest request = DefaultSearchRequest();
    EXPECT_EQ(worker.SendSearchCommand(&request), 0);
    Captured sent;
    ASSERT_TRUE(devices.Receive(sent));
    EXPECT_EQ(sent.bytes, DefaultRequestBytes());
    EXPECT_EQ(sent.fromPort, 67);
    EXPECT_EQ(sent.toIp, "255.255.255.255");

    // A caller's record goes out unchanged, whatever it holds.
    SearchRequest custom;
    std::memset(&custom, 0x5a, sizeof custom);
    custom.cmd = 99;
    worker.SendSearchCommand(&custom);
    ASSERT_TRUE(devices.Receive(sent));
    EXPECT_EQ(sent.bytes, std::string(reinterpret_cast<const char*>(&custom), sizeof custom));

    worker.SendSearchCommand(nullptr);
    ASSERT_TRUE(devices.Receive(sent));
    EXPECT_EQ(sent.bytes, DefaultRequestBytes());
    StopAndJoin(worker);

    auto messages = log.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[1], "SendThread 67 : Create Search Device Work Thread ");
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "SendThread 67 : Send Broadcast Search Command  "),
              3);
}

TEST_F(BroadcastWire, AnAnswerToPort67IsReported) {
    REQUIRE_SEALED_NETWORK();
    CSearchDeviceBroadcastThread worker;
    worker.InitThreadValue(nullptr, 67, false);
    std::string answer(sizeof(SearchRequest), '\0');
    answer[0] = '\x0c';
    answer[1] = '\x02';
    answer.replace(20, 34, "id=A1&host=nas1&vendor=V&product=P");
    SendTo(answer, "127.0.0.1", 67);
    auto reports = WaitForReports(1);
    StopAndJoin(worker);

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_STREQ(reports[0].record.id, "A1");
    EXPECT_STREQ(reports[0].record.ip, "127.0.0.1");
    EXPECT_EQ(reports[0].record.type, 2);
    EXPECT_EQ(reports[0].handle, 67);
}

TEST_F(BroadcastWire, WithPort67TakenSetUpFailsOnceAndEverySearchLogsTheSendError) {
    REQUIRE_SEALED_NETWORK();
    PortHolder taken(67, 67);
    CSearchDeviceBroadcastThread worker;
    worker.InitThreadValue(nullptr, 67, false);
    EXPECT_FALSE(worker.WorkThreadRunning());
    worker.SendSearchCommand(nullptr);
    worker.SendSearchCommand(nullptr);

    const std::string command = "SendThread 67 : Send Broadcast Search Command  ";
    const std::string error =
        "SendThread 67 : Send Broadcast Search Error : send_to: Bad file descriptor   ";
    EXPECT_THAT(log.Messages(),
                ElementsAre("SendThread 67 : Init Search Device Work Thread Value, strIP : , "
                            "nPort : 67  ",
                            "SendThread 67 : Create Search Device Work Thread ",
                            "SendThread 67 : Create Search Device Work Thread Error : bind: "
                            "Address already in use   ",
                            command, error, command, error));
}

}  // namespace
