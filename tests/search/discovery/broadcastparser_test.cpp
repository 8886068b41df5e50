#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "search/details/broadcastparser.h"

namespace {

// An answer on the heap, exactly 148 bytes, so that a read past its end is caught by the
// address sanitizer.
std::unique_ptr<SearchRequest> Answer(const std::string& text, std::uint8_t type = 1) {
    auto answer = std::make_unique<SearchRequest>();
    std::memset(answer.get(), 0, sizeof *answer);
    answer->cmd = kSearchAnswerCmd;
    answer->type = type;
    std::memcpy(answer->info, text.data(), std::min(text.size(), sizeof answer->info));
    return answer;
}

struct Case {
    const char* name;
    std::string text;
    std::string id, host, factory, product;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class BroadcastParse : public testing::TestWithParam<Case> {};

TEST_P(BroadcastParse, ReadsTheFourKeys) {
    const Case& c = GetParam();
    auto answer = Answer(c.text);
    deviceinfo record;
    EXPECT_EQ(ParseBroadcastInfo(*answer, record), 1);
    EXPECT_EQ(std::string(record.id), c.id);
    EXPECT_EQ(std::string(record.host), c.host);
    EXPECT_EQ(std::string(record.factory), c.factory);
    EXPECT_EQ(std::string(record.product), c.product);
    EXPECT_EQ(record.ip[0], '\0');
    EXPECT_EQ(record.extra[0], '\0');
    EXPECT_EQ(record.osversion[0], '\0');
    EXPECT_EQ(record.type, 1);
    EXPECT_EQ(record.lifetime, 60);
}

const std::string k40(40, 'v');
const std::string k31(31, 'v');

INSTANTIATE_TEST_SUITE_P(
    Texts, BroadcastParse,
    testing::Values(
        Case{"all four", "id=A1&host=nas1&vendor=V&product=P", "A1", "nas1", "V", "P"},
        Case{"any order", "product=P&vendor=V&host=nas1&id=A1", "A1", "nas1", "V", "P"},
        Case{"other keys ignored", "mac=00:11&id=A1&fw=3", "A1", "", "", ""},
        Case{"value cut to 31", "host=" + k40 + "&id=A1", "A1", k31, "", ""},
        Case{"last value cut to 31", "id=A1&product=" + k40, "A1", "", "", k31},
        Case{"empty value", "id=&host=x", "", "x", "", ""},
        Case{"key inside a longer key", "uuid=7&id=3", "7", "", "", ""},
        Case{"key inside another value", "host=xid=9&id=1", "9", "xid=9", "", ""},
        Case{"keys are case-sensitive", "ID=1&Host=h&VENDOR=v&product=p", "", "", "", "p"},
        Case{"empty text", "", "", "", "", ""},
        Case{"text ends at the first zero", std::string("id=1\0host=h", 11), "1", "", "", ""},
        Case{"text fills the area without a zero", "vendor=V&id=" + std::string(116, 'x'),
             std::string(31, 'x'), "", "V", ""},
        Case{"key cut off by the end of the area", std::string(122, '-') + "&vendo", "", "", "",
             ""},
        Case{"key ends the area", std::string(120, '-') + "product=", "", "", "", ""}));

TEST(BroadcastParse, TypeIsByteOneUnchanged) {
    for (int type : {0, 1, 2, 4, 12, 200, 255}) {
        auto answer = Answer("id=1", static_cast<std::uint8_t>(type));
        deviceinfo record;
        ParseBroadcastInfo(*answer, record);
        EXPECT_EQ(record.type, type);
    }
}

TEST(FindKeyValue, ReportsPresenceAndLeavesAnAbsentKeyUntouched) {
    const std::string text = "id=A1&host=nas1";
    char dest[32];
    std::memset(dest, '#', sizeof dest);
    EXPECT_EQ(FindKeyValue(text.data(), text.size(), dest, 31, "vendor=", 7), 0);
    EXPECT_EQ(dest[0], '#');
    EXPECT_EQ(FindKeyValue(text.data(), text.size(), dest, 31, "host=", 5), 1);
    EXPECT_STREQ(dest, "nas1");
    EXPECT_EQ(FindKeyValue(text.data(), text.size(), dest, 2, "id=", 3), 1);
    EXPECT_STREQ(dest, "A1");
    EXPECT_EQ(FindKeyValue(text.data(), text.size(), dest, 1, "id=", 3), 1);
    EXPECT_STREQ(dest, "A");
}

TEST(FindKeyValue, StaysInsideTheGivenLength) {
    // The bytes after the bound would complete the key and the value; they must not be seen.
    const char text[] = "xx&id=12345";
    char dest[32] = {};
    EXPECT_EQ(FindKeyValue(text, 5, dest, 31, "id=", 3), 0);
    EXPECT_EQ(FindKeyValue(text, 8, dest, 31, "id=", 3), 1);
    EXPECT_STREQ(dest, "12");
}

TEST(BroadcastSeeds, ParseAsTheirNamesSay) {
    std::ifstream in(std::string(NASFINDER_SEED_DIR) + "/broadcastparser/answer-full.bin",
                     std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), sizeof(SearchRequest));
    auto answer = std::make_unique<SearchRequest>();
    std::memcpy(answer.get(), bytes.data(), sizeof *answer);
    deviceinfo record;
    ParseBroadcastInfo(*answer, record);
    EXPECT_EQ(answer->cmd, kSearchAnswerCmd);
    EXPECT_STREQ(record.id, "A1B2C3D4");
    EXPECT_STREQ(record.host, "nas-01");
    EXPECT_STREQ(record.factory, "KORVANT");
    EXPECT_STREQ(record.product, "NS200");
}

}  // namespace
