#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/details/searchdevicebroadcastthread.h"
#include "search/details/searchdevicemulticastthread.h"
#include "search/searchrequest.h"
#include "tests/search/discovery/reportsink.h"
#include "tests/support/templog.h"

// The workers' datagram handling, driven directly: the workers are never set up, so no socket
// is opened and nothing needs a network namespace.
namespace {

using discovery_test::CollectReports;
using discovery_test::Reports;
using nasfinder::test::TempLog;
using testing::ElementsAre;
using testing::IsEmpty;

template <class Worker>
class Unopened : public Worker {
public:
    explicit Unopened(int port) { this->nPort = port; }

    void ClearLastDevice() override {
        ++clears;
        Worker::ClearLastDevice();
    }

    // As the receive loop hands it over: in a zero-filled 1025-byte buffer.
    void Feed(const std::string& bytes, std::string fromIp = "10.0.0.9") {
        char buffer[1025] = {};
        std::memcpy(buffer, bytes.data(), bytes.size());
        this->HandleReceive(buffer, static_cast<int>(bytes.size()), fromIp);
    }

    int clears = 0;
};

const std::string kAnswer =
    "HTTP/1.1 200 OK\r\n"
    "LOCATION: http://192.168.1.20:8080/desc.xml\r\n"
    "SERVER: Linux/3.10 UPnP/1.0 KIVO/2.1, build 7, KORVANT/nas-01/NS200/eu\r\n"
    "USN: uuid:0123-abcd::urn:schemas-upnp-org:device:HomeNasDevice:1\r\n\r\n";

std::string Byebye() {
    std::string text = kAnswer;
    text.replace(0, 17, "NOTIFY * HTTP/1.1\r\nNT: upnp:rootdevice\r\nNTS: ssdp:byebye\r\n");
    return text;
}

std::vector<int> Types() {
    std::vector<int> types;
    for (const auto& report : Reports()) types.push_back(report.record.type);
    return types;
}

class MulticastReceive : public testing::Test {
protected:
    void SetUp() override { CollectReports(); }
    TempLog log;
    Unopened<CSearchDeviceMulticastThread> worker{1900};
};

TEST_F(MulticastReceive, IdenticalReportsAlternateAndEmptyTheMemory) {
    worker.Feed(kAnswer);
    worker.Feed(kAnswer);
    EXPECT_EQ(worker.clears, 1) << "the repeat clears through the virtual table";
    EXPECT_EQ(worker.LastDevice().id[0], '\0');
    worker.Feed(kAnswer);
    EXPECT_THAT(Types(), ElementsAre(1, 1));
    EXPECT_STREQ(worker.LastDevice().id, "0123-abcd");

    auto messages = log.Messages();
    const std::string start = "SendThread 1900 : Handle Mulitcast Recive Information  ";
    const std::string success =
        "SendThread 1900 : Handle Mulitcast Recive Information Success, type = 1 ";
    ASSERT_EQ(messages.size(), 14u);
    EXPECT_THAT(std::vector<std::string>(messages.begin(), messages.begin() + 6),
                ElementsAre(start, success,
                            "Handle 1900 : Search 1900 Thread Find Device and wait for mutex  ",
                            "Handle 1900 : Search 1900 Thread Find Device have Mutex  ",
                            "Handle 1900 : Search 1900 Thread Find Device ID : 0123-abcd, IP : "
                            "192.168.1.20  ",
                            "Handle 1900 : Search 1900 Thread Find Device Success Handle  "));
    EXPECT_EQ(messages[6], start);
    EXPECT_EQ(messages[7],
              "SendThread 1900 : Handle Mulitcast Recive Information Fail : Old Device, type = 1 ");
    EXPECT_EQ(messages[8], start);
    EXPECT_EQ(messages[9], success);
}

TEST_F(MulticastReceive, AnswerAndAnnouncementOfOneDeviceAreBothReported) {
    worker.Feed(kAnswer);
    worker.Feed(Byebye());
    worker.Feed(kAnswer);
    EXPECT_THAT(Types(), ElementsAre(1, 4, 1));
    for (const auto& report : Reports()) {
        EXPECT_EQ(report.handle, 1900);
        EXPECT_STREQ(report.record.factory, "KORVANT");
    }
    EXPECT_EQ(worker.clears, 0);
}

TEST_F(MulticastReceive, ClearLastDeviceLetsTheSameReportOutAgain) {
    worker.Feed(kAnswer);
    worker.ClearLastDevice();
    worker.Feed(kAnswer);
    EXPECT_THAT(Types(), ElementsAre(1, 1));
}

TEST_F(MulticastReceive, DroppedDatagramLogsOnlyTheStartLine) {
    worker.Feed("NOTIFY * HTTP/1.1\r\nNT: upnp:rootdevice\r\nNTS: ssdp:alive\r\n\r\n");
    EXPECT_THAT(Reports(), IsEmpty());
    EXPECT_THAT(log.Messages(),
                ElementsAre("SendThread 1900 : Handle Mulitcast Recive Information  "));
    EXPECT_EQ(worker.LastDevice().type, 0);
}

TEST_F(MulticastReceive, WithoutLocationTheSenderIsTheAddress) {
    worker.Feed("HTTP/1.1 200 OK\r\nSERVER: KIVO/1.0, b, K/h/p\r\nUSN: uuid:42::x\r\n\r\n",
                "172.16.5.4");
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_STREQ(Reports()[0].record.ip, "172.16.5.4");
}

TEST_F(MulticastReceive, TellsTheSenderBesideTheLocationsAddress) {
    worker.Feed(kAnswer, "192.168.1.1");
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_STREQ(Reports()[0].record.ip, "192.168.1.20");
    EXPECT_EQ(Reports()[0].sender, "192.168.1.1");
}

class BroadcastReceive : public testing::Test {
protected:
    void SetUp() override { CollectReports(); }

    static std::string Answer(const std::string& text, std::uint8_t cmd = kSearchAnswerCmd,
                              std::uint8_t type = 1) {
        std::string bytes(sizeof(SearchRequest), '\0');
        bytes[0] = static_cast<char>(cmd);
        bytes[1] = static_cast<char>(type);
        bytes.replace(20, text.size(), text);
        return bytes;
    }

    TempLog log;
    Unopened<CSearchDeviceBroadcastThread> worker{67};
};

TEST_F(BroadcastReceive, OnlyDatagramsOf148BytesAreLookedAt) {
    std::string answer = Answer("id=A1");
    worker.Feed(answer.substr(0, 147));
    worker.Feed(answer + '\0');
    worker.Feed(std::string(236, '\x0c'));  // a DHCP message's fixed part alone is longer
    EXPECT_THAT(Reports(), IsEmpty());
    EXPECT_THAT(log.Messages(), IsEmpty());
    worker.Feed(answer);
    EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(BroadcastReceive, ReportsAnAnswerWithTheSenderAndByteOne) {
    worker.Feed(Answer("id=A1&host=nas1&vendor=V&product=P", kSearchAnswerCmd, 200), "10.1.2.3");
    ASSERT_EQ(Reports().size(), 1u);
    const deviceinfo record = Reports()[0].record;
    EXPECT_STREQ(record.id, "A1");
    EXPECT_STREQ(record.ip, "10.1.2.3");
    EXPECT_STREQ(record.host, "nas1");
    EXPECT_STREQ(record.factory, "V");
    EXPECT_STREQ(record.product, "P");
    EXPECT_EQ(record.type, 200);
    EXPECT_EQ(record.lifetime, 60);
    EXPECT_EQ(Reports()[0].handle, 67);
    EXPECT_THAT(log.Messages(),
                ElementsAre("SendThread 67 : Handle Broadcast Recive Information  ",
                            "SendThread 67 : Handle Broadcast Recive Information Success ",
                            "Handle 67 : Search 67 Thread Find Device and wait for mutex  ",
                            "Handle 67 : Search 67 Thread Find Device have Mutex  ",
                            "Handle 67 : Search 67 Thread Find Device ID : A1, IP : 10.1.2.3  ",
                            "Handle 67 : Search 67 Thread Find Device Success Handle  "));
}

TEST_F(BroadcastReceive, AnEmptyTextIsStillReportedOnce) {
    worker.Feed(Answer(""));
    worker.Feed(Answer(""));
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_STREQ(Reports()[0].record.ip, "10.0.0.9");
    EXPECT_EQ(Reports()[0].record.id[0], '\0');
}

TEST_F(BroadcastReceive, AnythingButCode12IsNotADevice) {
    worker.Feed(Answer("id=A1", kSearchRequestCmd));
    EXPECT_THAT(Reports(), IsEmpty());
    EXPECT_THAT(log.Messages(), ElementsAre("SendThread 67 : Handle Broadcast Recive Information  ",
                                            "SendThread 67 : Recive IP : 10.0.0.9 is not Device "));
}

TEST_F(BroadcastReceive, RepeatsAreSuppressedUntilTheNextSearch) {
    std::string first = Answer("id=A1");
    std::string second = Answer("id=B2");
    worker.Feed(first);
    worker.Feed(first);
    EXPECT_EQ(Reports().size(), 1u);
    EXPECT_EQ(log.Messages().back(), "SendThread 67 : Handle Broadcast Recive Information Fail ");
    EXPECT_EQ(worker.clears, 0) << "the broadcast worker keeps its memory on a repeat";

    worker.Feed(second);
    worker.Feed(first);
    EXPECT_EQ(Reports().size(), 3u) << "alternating devices are reported every time";
    worker.ClearLastDevice();
    worker.Feed(first);
    EXPECT_EQ(Reports().size(), 4u);
}

TEST_F(BroadcastReceive, TypesBeyondTheKnownKindsPassUnchanged) {
    for (int type : {0, 3, 4, 255})
        worker.Feed(Answer("id=A1", kSearchAnswerCmd, static_cast<std::uint8_t>(type)));
    EXPECT_THAT(Types(), ElementsAre(0, 3, 4, 255));
}

}  // namespace
