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
    EXPECT_EQ(ReportJson(Sample(), 1530),
              R"({"event":"report","handle":1530,"id":"0123-abcd","ip":"192.168.1.20",)"
              R"("host":"nas-01","product":"NS200","extra":"eu","osversion":"2.1",)"
              R"("factory":"KORVANT","type":2,"lifetime":60})");
}

TEST(ReportJson, DeviceAndDoneLines) {
    EXPECT_EQ(DeviceJson(Sample()),
              R"({"event":"device","id":"0123-abcd","ip":"192.168.1.20","host":"nas-01",)"
              R"("product":"NS200","extra":"eu","osversion":"2.1","factory":"KORVANT",)"
              R"("type":2,"lifetime":60})");
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

    const auto parsed = nlohmann::json::parse(ReportJson(record, 67));
    EXPECT_EQ(parsed["host"], "a\"b\\c\nd");
    EXPECT_EQ(parsed["product"], "x\xEF\xBF\xBDy\xEF\xBF\xBD");
    EXPECT_EQ(parsed["extra"], "caf\xC3\xA9");
    EXPECT_EQ(parsed["osversion"], std::string(32, 'v'));
    EXPECT_EQ(parsed["factory"], "KORVANT");
    EXPECT_EQ(ReportJson(record, 67).find('\n'), std::string::npos) << "one object per line";
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
