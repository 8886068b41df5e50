// nas-search's output texts: the JSON Lines objects and the readable table.

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tools/nas-search/reportformat.h"

namespace {

using ::testing::HasSubstr;

deviceinfo Sample() {
    deviceinfo record;
    CopyDeviceField(record.id, "0123-abcd");
    CopyDeviceField(record.ip, "192.168.1.20");
    CopyDeviceField(record.host, "nas-01");
    CopyDeviceField(record.product, "NS200");
    CopyDeviceField(record.extra, "eu");
    CopyDeviceField(record.osversion, "2.1");
    CopyDeviceField(record.factory, "KORVANT");
    record.type = 2;
    return record;
}

TEST(ReportJson, HasTheKeysInOrderWithTheRecordsValues) {
    EXPECT_EQ(ReportJson(Sample(), 1530, "lan1"),
              R"({"event":"report","handle":1530,"id":"0123-abcd","ip":"192.168.1.20",)"
              R"("host":"nas-01","product":"NS200","extra":"eu","osversion":"2.1",)"
              R"("factory":"KORVANT","type":2,"lifetime":60,"interface":"lan1"})");
}

TEST(ReportJson, DeviceAndDoneLines) {
    EXPECT_EQ(DeviceJson(Sample(), ""),
              R"({"event":"device","id":"0123-abcd","ip":"192.168.1.20","host":"nas-01",)"
              R"("product":"NS200","extra":"eu","osversion":"2.1","factory":"KORVANT",)"
              R"("type":2,"lifetime":60,"interface":""})");
    EXPECT_EQ(DoneJson(3), R"({"event":"done","devices":3})");
}

TEST(ReportJson, TextFieldsAreEscapedAndInvalidUtf8BecomesReplacementCharacters) {
    deviceinfo record = Sample();
    CopyDeviceField(record.host, "a\"b\\c\nd");
    const char invalid[] = {'x', static_cast<char>(0xFF), 'y', static_cast<char>(0xC3), 0};
    CopyDeviceField(record.product, invalid);
    CopyDeviceField(record.extra, "caf\xC3\xA9");
    // A field without a terminator: all 32 bytes count.
    std::memset(record.osversion, 'v', sizeof record.osversion);

    const auto parsed = nlohmann::json::parse(ReportJson(record, 67, ""));
    EXPECT_EQ(parsed["host"], "a\"b\\c\nd");
    EXPECT_EQ(parsed["product"], "x\xEF\xBF\xBDy\xEF\xBF\xBD");
    EXPECT_EQ(parsed["extra"], "caf\xC3\xA9");
    EXPECT_EQ(parsed["osversion"], std::string(32, 'v'));
    EXPECT_EQ(parsed["factory"], "KORVANT");
    EXPECT_EQ(ReportJson(record, 67, "").find('\n'), std::string::npos) << "one object per line";
}

TEST(WorkerAndHintJson, CarryTheFieldsScriptsReadWithNumbersAsNumbers) {
    SearchWorkerHealth worker;
    worker.role = SearchWorkerRole::Broadcast;
    worker.firstPort = worker.port = 67;
    worker.state = SearchWorkerState::Failed;
    worker.setupErrorText = "Permission denied";
    worker.searchesSent = 2;
    EXPECT_EQ(WorkerJson(worker, false),
              R"({"event":"worker","role":"broadcast","address":"","interface":"","port":67,)"
              R"("state":"failed","error":"Permission denied"})");
    EXPECT_EQ(nlohmann::json::parse(WorkerJson(worker, true))["searches"], 2);
    worker.state = SearchWorkerState::Listening;
    EXPECT_EQ(nlohmann::json::parse(WorkerJson(worker, false))["error"], "");

    SearchHint hint;
    hint.code = "port-in-use";
    hint.text = "socat (process 7) holds UDP port 1900";
    hint.facts = {{"port", "1900", true}, {"pid", "7", true}, {"program", "socat", false}};
    EXPECT_EQ(HintJson(hint),
              R"({"event":"hint","code":"port-in-use","text":"socat (process 7) holds UDP port )"
              R"(1900","port":1900,"pid":7,"program":"socat"})");
}

TEST(WatchLines, AppearedCarriesTheDeviceAndWhenGoneSaysWhy) {
    const WatchEvent appeared{WatchEvent::Kind::Appeared, Sample(), "lan1", "", 1796724000};
    const auto parsed = nlohmann::json::parse(WatchJson(appeared));
    EXPECT_EQ(parsed["event"], "appeared");
    EXPECT_EQ(parsed["ip"], "192.168.1.20");
    EXPECT_EQ(parsed["interface"], "lan1");
    EXPECT_EQ(parsed["seen"], "2026-12-08T10:00:00Z");
    EXPECT_EQ(WatchText(appeared), "+ nas-01 192.168.1.20 NS200");

    const WatchEvent gone{WatchEvent::Kind::Gone, Sample(), "", "silent", 1796724000};
    EXPECT_EQ(WatchJson(gone),
              R"({"event":"gone","ip":"192.168.1.20","host":"nas-01","reason":"silent"})");
    EXPECT_EQ(WatchText(gone), "- nas-01 192.168.1.20 (silent)");
}

TEST(DeviceTable, AlignsTheColumnsAndCountsTheDevices) {
    deviceinfo second = Sample();
    CopyDeviceField(second.host, "long-host-name-x");
    CopyDeviceField(second.ip, "10.0.0.1");
    CopyDeviceField(second.factory, "TALIX3");
    const std::string table = DeviceTable({Sample(), second});
    EXPECT_EQ(table,
              "HOST              IP            PRODUCT  VENDOR   VERSION\n"
              "nas-01            192.168.1.20  NS200    KORVANT  2.1\n"
              "long-host-name-x  10.0.0.1      NS200    TALIX3   2.1\n"
              "2 devices found\n");
}

TEST(DeviceTable, ShowsControlBytesAsQuestionMarks) {
    deviceinfo record = Sample();
    CopyDeviceField(record.host, "a\x1b[2Jb");
    EXPECT_THAT(DeviceTable({record}), HasSubstr("a?[2Jb"));
    EXPECT_THAT(DeviceTable({}), HasSubstr("0 devices found"));
}

}  // namespace
