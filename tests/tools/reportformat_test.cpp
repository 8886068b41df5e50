// nas-search's output texts: the JSON Lines objects and the readable table.

#include <algorithm>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/hostiletext.h"
#include "tools/nas-search/reportformat.h"

namespace {

using nasfinder::test::HostileText;
using nasfinder::test::TerminalSafe;
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

// Every text field of every record, worker, hint and remembered box holds one hostile string.
class HostileOutput : public ::testing::TestWithParam<HostileText> {
protected:
    const std::string& Bytes() const { return GetParam().bytes; }

    deviceinfo Record() const {
        deviceinfo record;
        for (char* field : {record.id, record.ip, record.host, record.product, record.extra,
                            record.osversion, record.factory}) {
            std::memcpy(field, Bytes().data(), Bytes().size());
        }
        record.type = 1;
        return record;
    }
    KnownBox Box() const {
        const std::string& b = Bytes();
        return KnownBox{b, b, b, b, b, b, b, b, b, b};
    }
    SearchWorkerHealth Worker() const {
        SearchWorkerHealth worker;
        worker.role = SearchWorkerRole::Interface;
        worker.address = worker.interfaceName = worker.setupErrorText = Bytes();
        worker.lastSendErrorText = Bytes();
        worker.sendErrors = 1;
        return worker;
    }
    SearchHint Hint() const {
        SearchHint hint;
        hint.code = "port-in-use";
        hint.summary = hint.text = Bytes();
        hint.facts = {{"pid", "7", true}, {"program", Bytes(), false}};
        return hint;
    }
    std::vector<WatchEvent> Events() const {
        return {{WatchEvent::Kind::Appeared, Record(), Bytes(), "", 1796724000},
                {WatchEvent::Kind::Changed, Record(), Bytes(), "", 1796724000},
                {WatchEvent::Kind::Gone, Record(), Bytes(), "silent", 1796724000}};
    }
};

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool ValidUtf8(const std::string& text) {
    try {
        nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

TEST_P(HostileOutput, ReadableOutputIsTerminalSafeAndKeepsItsLines) {
    std::vector<std::string> lines{ReportText(Record(), 1530), WorkerText(Worker()),
                                   HintText(Hint()), ErrorText("--probe " + Bytes())};
    for (const WatchEvent& event : Events()) lines.push_back(WatchText(event));
    for (const std::string& line : lines) {
        EXPECT_TRUE(TerminalSafe(line)) << line;
        EXPECT_EQ(Lines(line), 0u) << line;
        if (TerminalSafe(Bytes())) {
            EXPECT_THAT(line, HasSubstr(Bytes()));
        }
    }

    // As many lines as with plain text, each safe.
    const std::string table = DeviceTable({Record()});
    const std::string known = KnownTable({Box()});
    const std::string diagnosis = DiagnosisText({Worker()}, {Hint()});
    for (const std::string& text : {table, known, diagnosis}) EXPECT_TRUE(TerminalSafe(text));
    EXPECT_EQ(Lines(table), 3u);
    EXPECT_EQ(Lines(known), 3u);
    EXPECT_EQ(Lines(diagnosis), 7u);
    if (TerminalSafe(Bytes())) {
        EXPECT_THAT(table + known + diagnosis, HasSubstr(Bytes()));
    }
}

TEST_P(HostileOutput, JsonLinesParseEscapeEveryControlAndKeepValidText) {
    std::vector<std::string> lines{ReportJson(Record(), 1530, Bytes()),
                                   DeviceJson(Record(), Bytes()), KnownJson(Box()),
                                   WorkerJson(Worker(), true), HintJson(Hint())};
    for (const WatchEvent& event : Events()) lines.push_back(WatchJson(event));
    for (const std::string& line : lines) {
        EXPECT_TRUE(TerminalSafe(line)) << line;
        EXPECT_EQ(Lines(line), 0u) << line;
        ASSERT_TRUE(nlohmann::json::accept(line)) << line;
        const auto parsed = nlohmann::json::parse(line);
        for (const auto& [key, value] : parsed.items()) {
            if (!value.is_string() || key == "event" || key == "code" || key == "role" ||
                key == "state" || key == "reason" || key == "seen") {
                continue;
            }
            if (ValidUtf8(Bytes())) {
                EXPECT_EQ(value, Bytes()) << key << " in " << line;
            } else {
                EXPECT_THAT(value.get<std::string>(), HasSubstr("\xEF\xBF\xBD")) << key;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileOutput,
                         ::testing::ValuesIn(nasfinder::test::HostileTexts()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
