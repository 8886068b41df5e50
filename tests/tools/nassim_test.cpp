// nas-sim's box configuration and messages. The messages are read back with the library's own
// parsers, so the simulator says what the library understands.

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/details/broadcastparser.h"
#include "search/details/ssdpparser.h"
#include "tools/nas-sim/boxconfig.h"
#include "tools/nas-sim/boxmessages.h"
#include "tools/nas-sim/simoptions.h"

namespace {

BoxConfig Box(std::string extra = "") {
    BoxConfig box;
    std::string error;
    const std::string text =
        "10.1.1.1,box-1,nas-01,KORVANT,NS200,2.1" + (extra.empty() ? "" : "," + extra);
    EXPECT_TRUE(ParseBoxText(text, box, error)) << error;
    return box;
}

TEST(BoxConfig, ReadsASpec) {
    const BoxConfig box = Box("eu/x");
    EXPECT_EQ(box.address, "10.1.1.1");
    EXPECT_EQ(box.id, "box-1");
    EXPECT_EQ(box.host, "nas-01");
    EXPECT_EQ(box.vendor, "KORVANT");
    EXPECT_EQ(box.product, "NS200");
    EXPECT_EQ(box.version, "2.1");
    EXPECT_EQ(box.extra, "eu/x");
}

class RefusedSpec : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedSpec, IsRefusedWithAReason) {
    BoxConfig box;
    std::string error;
    EXPECT_FALSE(ParseBoxText(GetParam(), box, error));
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedSpec,
                         ::testing::Values("10.1.1.1,a,b,c,d", "10.1.1.1,a,b,c,d,e,f,g",
                                           "10.1.1,a,b,c,d,e", "host,a,b,c,d,e",
                                           "10.1.1.1,a&b,h,v,p,1", "10.1.1.1,a,h/x,v,p,1",
                                           "10.1.1.1,a::b,h,v,p,1", "10.1.1.1,,h,v,p,1",
                                           "10.1.1.1,a,h,v,p,1,"));

TEST(BoxConfig, ReadsAFileSkippingCommentsAndBlankLines) {
    std::istringstream file(
        "# boxes of LAN 1\n"
        "\n"
        "10.1.1.1 a nas-a KORVANT NS200 2.1\n"
        "  10.1.1.2   b nas-b Talix3 T9 3.0 eu\n");
    std::vector<BoxConfig> boxes;
    std::string error;
    ASSERT_TRUE(ReadBoxFile(file, boxes, error)) << error;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].vendor, "Talix3");
    EXPECT_EQ(boxes[1].extra, "eu");

    std::istringstream bad("10.1.1.1 a nas-a KORVANT NS200 2.1\n10.1.1.2 b\n");
    EXPECT_FALSE(ReadBoxFile(bad, boxes, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
}

// A user asking for --help or --version gets it without giving a box.
TEST(SimOptions, HelpAndVersionNeedNoBox) {
    SimOptions options;
    std::string message;
    EXPECT_EQ(ParseSimOptions({"--version"}, options, message), SimParseOutcome::Version);
    EXPECT_EQ(ParseSimOptions({"--alive-interval", "-2", "--version"}, options, message),
              SimParseOutcome::Version);
    EXPECT_EQ(ParseSimOptions({"--version", "--help"}, options, message), SimParseOutcome::Help);
    EXPECT_EQ(ParseSimOptions({"--version", "extra"}, options, message), SimParseOutcome::Invalid);
    EXPECT_TRUE(options.boxes.empty());
}

TEST(SimOptions, NeedsABoxAndRangesHold) {
    SimOptions options;
    std::string message;
    EXPECT_EQ(ParseSimOptions({}, options, message), SimParseOutcome::Invalid);
    EXPECT_EQ(
        ParseSimOptions({"--box", "10.1.1.1,a,h,v,p,1", "--answer-spread", "-1"}, options, message),
        SimParseOutcome::Invalid);
    EXPECT_EQ(ParseSimOptions({"--box", "10.1.1.1,a,h,v,p,1", "--alive-interval", "-2"}, options,
                              message),
              SimParseOutcome::Invalid);
    EXPECT_EQ(ParseSimOptions({"--config", "/nonexistent/boxes.txt"}, options, message),
              SimParseOutcome::Invalid);
    ASSERT_EQ(ParseSimOptions({"--box", "10.1.1.1,a,h,v,p,1", "--box", "10.1.1.2,b,h,v,p,1",
                               "--answer-spread", "1000", "--alive-interval", "0", "--quiet"},
                              options, message),
              SimParseOutcome::Run)
        << message;
    EXPECT_EQ(options.boxes.size(), 2u);
    EXPECT_EQ(options.answerSpreadMs, 1000);
    EXPECT_EQ(options.aliveInterval, 0);
    EXPECT_TRUE(options.quiet);
}

TEST(SimOptions, SleepingBoxesAreNamedByIdOrAll) {
    SimOptions options;
    std::string message;
    const std::vector<std::string> two{"--box", "10.1.1.1,a,h,v,p,1", "--box",
                                       "10.1.1.2,b,h,v,p,1"};
    auto with = [&two](std::vector<std::string> more) {
        more.insert(more.begin(), two.begin(), two.end());
        return more;
    };
    ASSERT_EQ(ParseSimOptions(with({"--asleep=b", "--boot-seconds", "0.5"}), options, message),
              SimParseOutcome::Run)
        << message;
    EXPECT_FALSE(StartsAsleep(options, options.boxes[0]));
    EXPECT_TRUE(StartsAsleep(options, options.boxes[1]));
    EXPECT_EQ(options.bootSeconds, 0.5);
    ASSERT_EQ(ParseSimOptions(with({"--asleep"}), options, message), SimParseOutcome::Run);
    EXPECT_TRUE(StartsAsleep(options, options.boxes[0]) && StartsAsleep(options, options.boxes[1]));
    EXPECT_EQ(options.bootSeconds, 2);
    EXPECT_EQ(ParseSimOptions(with({"--asleep=c"}), options, message), SimParseOutcome::Invalid);
    EXPECT_EQ(ParseSimOptions(with({"--boot-seconds", "-1"}), options, message),
              SimParseOutcome::Invalid);
}

TEST(BoxMessages, TheBroadcastAnswerReadsBackAsTheBox) {
    const SearchRequest answer = BroadcastAnswer(Box());
    EXPECT_EQ(answer.cmd, kSearchAnswerCmd);
    deviceinfo record;
    ParseBroadcastInfo(answer, record);
    EXPECT_STREQ(record.id, "box-1");
    EXPECT_STREQ(record.host, "nas-01");
    EXPECT_STREQ(record.factory, "KORVANT");
    EXPECT_STREQ(record.product, "NS200");
    EXPECT_EQ(record.type, 1);
}

struct SsdpCase {
    const char* name;
    std::string datagram;
    int type;
};

class SsdpMessages : public ::testing::TestWithParam<SsdpCase> {};

TEST_P(SsdpMessages, ReadBackAsTheBoxWithTheirKind) {
    deviceinfo record;
    ASSERT_TRUE(ParseSsdpDatagram(GetParam().datagram.c_str(), "10.9.9.9", record));
    EXPECT_STREQ(record.id, "box-1");
    EXPECT_STREQ(record.ip, "10.1.1.1");
    EXPECT_STREQ(record.host, "nas-01");
    EXPECT_STREQ(record.product, "NS200");
    EXPECT_STREQ(record.extra, "eu");
    EXPECT_STREQ(record.osversion, "2.1");
    EXPECT_STREQ(record.factory, "KORVANT");
    EXPECT_EQ(record.type, GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SsdpMessages,
                         ::testing::Values(SsdpCase{"answer", SsdpAnswer(Box("eu")), 1},
                                           SsdpCase{"alive", SsdpNotify(Box("eu"), true), 2},
                                           SsdpCase{"byebye", SsdpNotify(Box("eu"), false), 4}),
                         [](const ::testing::TestParamInfo<SsdpCase>& info) {
                             return info.param.name;
                         });

TEST(SimOptions, ALocationAddressIsNamedByEveryBox) {
    SimOptions options;
    std::string message;
    EXPECT_EQ(
        ParseSimOptions({"--box", "10.1.1.1,a,h,v,p,1", "--location", "10.1.0"}, options, message),
        SimParseOutcome::Invalid);
    ASSERT_EQ(ParseSimOptions({"--box", "10.1.1.1,a,h,v,p,1", "--location", "10.1.0.200"}, options,
                              message),
              SimParseOutcome::Run)
        << message;
    deviceinfo record;
    ASSERT_TRUE(ParseSsdpDatagram(SsdpAnswer(options.boxes[0]).c_str(), "10.1.1.1", record));
    EXPECT_STREQ(record.ip, "10.1.0.200");
}

TEST(BoxMessages, RecognisesTheLibrarysSearches) {
    const SearchRequest request = DefaultSearchRequest();
    EXPECT_TRUE(IsBroadcastSearch(reinterpret_cast<const char*>(&request), sizeof request));
    EXPECT_FALSE(IsBroadcastSearch(reinterpret_cast<const char*>(&request), sizeof request - 1));
    const SearchRequest answer = BroadcastAnswer(Box());
    EXPECT_FALSE(IsBroadcastSearch(reinterpret_cast<const char*>(&answer), sizeof answer));

    const std::string search =
        "M-SEARCH * HTTP/1.1\r\nHOST: 239.143.255.250:1900\r\n"
        "ST: urn:schemas-upnp-org:device:HomeNasDevice:1\r\nMAN: \"ssdp:discover\"\r\n"
        "MX: 3\r\n\r\n";
    EXPECT_EQ(search.size(), 129u);
    EXPECT_TRUE(IsSsdpSearch(search.data(), search.size()));
    const std::string other =
        "M-SEARCH * HTTP/1.1\r\nST: urn:other:device:Printer:1\r\nMAN: \"ssdp:discover\"\r\n\r\n";
    EXPECT_FALSE(IsSsdpSearch(other.data(), other.size()));
    const std::string notify = SsdpNotify(Box(), true);
    EXPECT_FALSE(IsSsdpSearch(notify.data(), notify.size()));
}

}  // namespace
