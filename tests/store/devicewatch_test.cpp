// --watch's bookkeeping: what appears, changes and goes, report by report and round by round.

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "src/store/devicewatch.h"

namespace {

deviceinfo Box(const char* ip, int type = 1, const char* host = "nas", const char* version = "",
               const char* vendor = "KORVANT") {
    deviceinfo record;
    CopyDeviceField(record.id, (std::string("id-") + ip).c_str());
    CopyDeviceField(record.ip, ip);
    CopyDeviceField(record.host, host);
    CopyDeviceField(record.product, "NS200");
    CopyDeviceField(record.osversion, version);
    CopyDeviceField(record.factory, vendor);
    record.type = type;
    return record;
}

// "+ip", "~ip", "-ip reason" for each event, or "" for none.
std::string Said(const std::optional<WatchEvent>& event) {
    if (!event) return "";
    const std::string ip(DeviceFieldText(event->device.ip));
    switch (event->kind) {
        case WatchEvent::Kind::Appeared:
            return "+" + ip;
        case WatchEvent::Kind::Changed:
            return "~" + ip;
        case WatchEvent::Kind::Gone:
            return "-" + ip + " " + event->reason;
    }
    return "?";
}

TEST(DeviceWatch, AReportAppearsOnceAndChangesOnlyWhatItCarries) {
    CDeviceWatch watch;
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.1", 1, "nas", "2.1"), "lan1", 100)), "+10.1.1.1");
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.1", 2, "nas", "2.1"), "", 101)), "");
    // A broadcast answer carries no version: not a change.
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.1", 1, "nas", ""), "", 102)), "");
    const auto renamed = watch.OnReport(Box("10.1.1.1", 1, "nas-renamed"), "", 103);
    ASSERT_EQ(Said(renamed), "~10.1.1.1");
    EXPECT_STREQ(renamed->device.host, "nas-renamed");
    EXPECT_STREQ(renamed->device.osversion, "2.1") << "kept from the earlier report";
    EXPECT_EQ(renamed->interfaceName, "lan1");
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.1", 1, "nas-renamed", "2.2"), "", 104)), "~10.1.1.1");
    EXPECT_EQ(watch.Present(), 1u);
}

TEST(DeviceWatch, OnlyAcceptedAnswersAndAnnouncementsCount) {
    CDeviceWatch watch;
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.2", 1, "nas", "", "OTHERCO"), "", 1)), "");
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.3", 0), "", 1)), "");
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.4", 2, "nas", "", "talix3"), "", 1)), "+10.1.1.4");
    EXPECT_EQ(watch.Present(), 1u);
}

TEST(DeviceWatch, AByebyeGoesAtOnce) {
    CDeviceWatch watch;
    watch.OnReport(Box("10.1.1.1"), "", 1);
    watch.OnReport(Box("10.1.1.2"), "", 1);
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.2", 4), "", 2)), "-10.1.1.2 byebye");
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.2", 4), "", 3)), "") << "already gone";
    EXPECT_EQ(watch.Present(), 1u);
}

TEST(DeviceWatch, ABoxSilentForTwoWholeRoundsIsGone) {
    CDeviceWatch watch;
    watch.OnReport(Box("10.1.1.1"), "", 1);  // heard in round 0
    watch.OnReport(Box("10.1.1.2"), "", 1);
    EXPECT_TRUE(watch.EndRound(2).empty());
    watch.OnReport(Box("10.1.1.2"), "", 3);  // heard in round 1
    EXPECT_TRUE(watch.EndRound(4).empty()) << "one silent round is not enough";
    const std::vector<WatchEvent> gone = watch.EndRound(5);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(Said(gone[0]), "-10.1.1.1 silent");
    EXPECT_EQ(gone[0].seen, 5);
    EXPECT_EQ(watch.Present(), 1u);
    // Heard again, it appears again.
    EXPECT_EQ(Said(watch.OnReport(Box("10.1.1.1"), "", 6)), "+10.1.1.1");
}

// Which box a byebye takes: the boxes present (ip and id), the byebye's sender and id, and the
// addresses left.
struct ByebyeCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> present;
    const char* from;
    const char* id;
    std::vector<std::string> left;
};

class DeviceWatchByebye : public ::testing::TestWithParam<ByebyeCase> {};

TEST_P(DeviceWatchByebye, TakesTheBoxItBelongsToAndNoOther) {
    CDeviceWatch watch;
    for (const auto& [ip, id] : GetParam().present) {
        deviceinfo box = Box(ip);
        CopyDeviceField(box.id, id);
        watch.OnReport(box, "", 1);
    }
    deviceinfo byebye = Box(GetParam().from, 4);
    CopyDeviceField(byebye.id, GetParam().id);
    watch.OnReport(byebye, "", 2);
    // Two silent rounds later, every box still present goes: those are the ones left.
    watch.EndRound(10);
    watch.EndRound(11);
    std::vector<std::string> left;
    for (const WatchEvent& event : watch.EndRound(12)) {
        left.push_back(std::string(DeviceFieldText(event.device.ip)));
    }
    EXPECT_EQ(left, GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceWatchByebye,
    ::testing::Values(ByebyeCase{"two_boxes_sharing_an_id_stay_two",
                                 {{"10.1.1.1", "same"}, {"10.1.1.2", "same"}},
                                 "10.1.1.2",
                                 "same",
                                 {"10.1.1.1"}},
                      ByebyeCase{"a_renumbered_box_takes_its_new_address",
                                 {{"10.1.1.1", "box"}, {"10.1.1.9", "box"}, {"10.1.1.2", "other"}},
                                 "10.1.1.9",
                                 "box",
                                 {"10.1.1.1", "10.1.1.2"}},
                      ByebyeCase{"an_unknown_sender_goes_by_an_id_naming_one_box",
                                 {{"10.1.1.1", "box"}, {"10.1.1.2", "other"}},
                                 "10.1.1.7",
                                 "box",
                                 {"10.1.1.2"}},
                      ByebyeCase{"an_unknown_sender_with_a_shared_id_takes_none",
                                 {{"10.1.1.1", "same"}, {"10.1.1.2", "same"}},
                                 "10.1.1.7",
                                 "same",
                                 {"10.1.1.1", "10.1.1.2"}}),
    [](const ::testing::TestParamInfo<ByebyeCase>& info) { return info.param.name; });

}  // namespace
