// The book of known boxes: merging, the limit, ids that are not UTF-8, bad files set aside, the
// lock between two processes, and the wake-on-LAN texts and bytes. No socket: files in a
// temporary folder only. The book on a hostile filesystem is walked in tests/e2e/book_files.sh.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "src/store/knownboxes.h"
#include "src/store/neighbourtable.h"
#include "src/store/wakeonlan.h"
#include "tests/support/hostiletext.h"

namespace {

namespace fs = std::filesystem;

KnownBox Box(std::string id, std::string ip, std::string seen, std::string host = "nas",
             std::string mac = "") {
    KnownBox box;
    box.id = std::move(id);
    box.ip = std::move(ip);
    box.host = std::move(host);
    box.mac = std::move(mac);
    box.firstSeen = seen;
    box.lastSeen = std::move(seen);
    return box;
}

std::string Summary(const std::vector<KnownBox>& book) {
    std::string text;
    for (const KnownBox& b : book) {
        text += (text.empty() ? "" : " ") + b.id + "@" + b.ip + "/" + b.host + "/" + b.mac + "/" +
                b.firstSeen.substr(11, 2) + "-" + b.lastSeen.substr(11, 2);
    }
    return text;
}

constexpr const char* T1 = "2026-12-08T01:00:00Z";
constexpr const char* T2 = "2026-12-08T02:00:00Z";
constexpr const char* T3 = "2026-12-08T03:00:00Z";
// 2026-12-08T12:00:00Z: nothing above is old enough to make room in a full book.
constexpr std::time_t kNow = 1796731200;
constexpr std::time_t kDay = 24 * 60 * 60;

struct MergeCase {
    const char* name;
    std::vector<KnownBox> book;
    std::vector<KnownBox> seen;
    const char* expected;  // Summary of the merged book, most recently seen first
};

class MergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeTest, MergesByIdElseByIp) {
    std::vector<KnownBox> book = GetParam().book;
    EXPECT_EQ(MergeKnownBoxes(book, GetParam().seen, kNow), 0u);
    EXPECT_EQ(Summary(book), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Book, MergeTest,
    ::testing::Values(MergeCase{"NewBoxAdded",
                                {Box("a", "10.1.1.1", T1)},
                                {Box("b", "10.1.1.2", T2)},
                                "b@10.1.1.2/nas//02-02 a@10.1.1.1/nas//01-01"},
                      MergeCase{"SameIdNewAddressKeepsFirstSeenAndMac",
                                {Box("a", "10.1.1.1", T1, "nas", "aa:bb:cc:dd:ee:01")},
                                {Box("a", "10.1.1.9", T2, "nas-new")},
                                "a@10.1.1.9/nas-new/aa:bb:cc:dd:ee:01/01-02"},
                      MergeCase{"NewMacReplacesOld",
                                {Box("a", "10.1.1.1", T1, "nas", "aa:bb:cc:dd:ee:01")},
                                {Box("a", "10.1.1.1", T2, "nas", "aa:bb:cc:dd:ee:02")},
                                "a@10.1.1.1/nas/aa:bb:cc:dd:ee:02/01-02"},
                      MergeCase{"EmptyIdMergesByIp",
                                {Box("", "10.1.1.1", T1, "old")},
                                {Box("", "10.1.1.1", T2, "new")},
                                "@10.1.1.1/new//01-02"},
                      MergeCase{"EmptyIdNeverMergesWithAnId",
                                {Box("a", "10.1.1.1", T1)},
                                {Box("", "10.1.1.1", T2)},
                                "@10.1.1.1/nas//02-02 a@10.1.1.1/nas//01-01"},
                      MergeCase{"IdReplacesTheEntryKeptByAddress",
                                {Box("", "10.1.1.1", T1)},
                                {Box("a", "10.1.1.1", T2)},
                                "a@10.1.1.1/nas//02-02"},
                      MergeCase{"OlderSightingKeepsNewerFacts",
                                {Box("a", "10.1.1.1", T2, "newer")},
                                {Box("a", "10.1.1.5", T1, "older")},
                                "a@10.1.1.1/newer//01-02"},
                      MergeCase{"OrderedByLastSeen",
                                {Box("a", "10.1.1.1", T3), Box("b", "10.1.1.2", T1)},
                                {Box("b", "10.1.1.2", T2)},
                                "a@10.1.1.1/nas//03-03 b@10.1.1.2/nas//01-02"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BookLimit, KeepsTheFirstThousandWhenNoneIsOldEnoughToMakeRoom) {
    std::vector<KnownBox> book;
    std::vector<KnownBox> seen;
    for (int i = 0; i < 1005; ++i) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "2026-12-08T10:%02d:%02dZ", i / 60, i % 60);
        seen.push_back(Box("box-" + std::to_string(i), "10.1.0.1", stamp));
    }
    EXPECT_EQ(MergeKnownBoxes(book, seen, kNow), 5u);
    ASSERT_EQ(book.size(), kKnownBoxesLimit);
    EXPECT_EQ(book.front().id, "box-999");
    EXPECT_EQ(book.back().id, "box-0");
    EXPECT_EQ(FindKnownBox(book, "box-1000"), nullptr);
}

struct FullBookCase {
    const char* name;
    std::vector<int> daysUnseen;  // of the entries old-0, old-1, ...; the others were seen today
    int newBoxes;
    std::size_t leftOut;
    const char* gone;  // the old entries no longer in the book
};

class FullBookTest : public ::testing::TestWithParam<FullBookCase> {};

TEST_P(FullBookTest, ANewBoxTakesOnlyThePlaceOfOneUnseenFor30Days) {
    std::vector<KnownBox> book;
    const std::vector<int>& days = GetParam().daysUnseen;
    for (std::size_t i = 0; i < kKnownBoxesLimit; ++i) {
        const bool old = i < days.size();
        book.push_back(Box((old ? "old-" : "kept-") + std::to_string(i), "10.1.0.1",
                           IsoUtcTime(kNow - (old ? days[i] : 0) * kDay)));
    }
    std::vector<KnownBox> seen;
    for (int i = 0; i < GetParam().newBoxes; ++i) {
        seen.push_back(Box("new-" + std::to_string(i), "10.2.0.1", IsoUtcTime(kNow)));
    }
    EXPECT_EQ(MergeKnownBoxes(book, seen, kNow), GetParam().leftOut);
    EXPECT_EQ(book.size(), kKnownBoxesLimit);
    std::string gone;
    for (std::size_t i = 0; i < days.size(); ++i) {
        const std::string id = "old-" + std::to_string(i);
        if (FindKnownBox(book, id) == nullptr) gone += (gone.empty() ? "" : " ") + id;
    }
    EXPECT_EQ(gone, GetParam().gone);
    EXPECT_EQ(FindKnownBox(book, "new-0") != nullptr, GetParam().leftOut < seen.size());
}

INSTANTIATE_TEST_SUITE_P(
    Book, FullBookTest,
    ::testing::Values(FullBookCase{"NothingOldEnough", {29}, 1, 1, ""},
                      FullBookCase{"OneOldEnough", {31}, 1, 0, "old-0"},
                      FullBookCase{"LeastRecentlySeenFirst", {31, 45, 40}, 2, 0, "old-1 old-2"},
                      FullBookCase{"TheRestLeftOut", {31, 29}, 3, 2, "old-0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BookFind, ByHostInAnyCaseByIpOrById) {
    const std::vector<KnownBox> book{Box("id-1", "10.1.1.1", T1, "Nas-One"),
                                     Box("id-2", "10.1.1.2", T1, "nas-two")};
    EXPECT_EQ(FindKnownBox(book, "nas-one")->id, "id-1");
    EXPECT_EQ(FindKnownBox(book, "10.1.1.2")->id, "id-2");
    EXPECT_EQ(FindKnownBox(book, "id-2")->ip, "10.1.1.2");
    EXPECT_EQ(FindKnownBox(book, "nas-three"), nullptr);
    EXPECT_EQ(FindKnownBox(book, ""), nullptr);
}

class BookFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/knownboxes_test.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        path = folder + "/state/nasfinder/known-boxes.json";
    }
    void TearDown() override { fs::remove_all(folder); }

    // The book's folder as the program makes it (0700, whatever the umask), and text as the
    // book.
    void WriteBook(const std::string& text) const {
        const fs::path book(path);
        mkdir(book.parent_path().parent_path().c_str(), 0700);
        mkdir(book.parent_path().c_str(), 0700);
        std::ofstream(path) << text;
    }

    static std::string Contents(const fs::path& file) {
        std::ostringstream text;
        text << std::ifstream(file).rdbuf();
        return text.str();
    }

    std::vector<fs::path> SetAside() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
            if (entry.path().filename().string().rfind("known-boxes.json.bad-", 0) == 0) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    std::string folder;
    std::string path;
};

TEST_F(BookFileTest, WritesAPrivateFileInAPrivateFolderAndReadsItBack) {
    CKnownBoxesFile file(path);
    ASSERT_TRUE(file.Update([](auto& book) {
        MergeKnownBoxes(book, {Box("a", "10.1.1.1", T1, "nas", "aa:bb:cc:dd:ee:ff")}, kNow);
    }));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(fs::path(path).parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    std::vector<KnownBox> book;
    ASSERT_TRUE(CKnownBoxesFile(path).Read(book));
    EXPECT_EQ(Summary(book), "a@10.1.1.1/nas/aa:bb:cc:dd:ee:ff/01-01");
    EXPECT_TRUE(file.Notice().empty());
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
            << "no temporary file is left";
    }
}

struct BadBookCase {
    const char* name;
    const char* text;
    bool setAside;  // false: a book this program must leave as it is
};

class BadBookTest : public BookFileTest, public ::testing::WithParamInterface<BadBookCase> {};

TEST_P(BadBookTest, IsLeftByReadersAndSetAsideOnceByAChangeWhenBroken) {
    WriteBook(GetParam().text);
    std::vector<KnownBox> book;
    CKnownBoxesFile reader(path);
    EXPECT_FALSE(reader.Read(book));
    EXPECT_FALSE(reader.Notice().empty());
    EXPECT_TRUE(SetAside().empty()) << "reading never moves the book";

    CKnownBoxesFile file(path);
    const auto change = [](auto& b) { MergeKnownBoxes(b, {Box("a", "10.1.1.1", T1)}, kNow); };
    ASSERT_EQ(file.Update(change), GetParam().setAside) << file.Notice();
    if (!GetParam().setAside) {
        EXPECT_NE(file.Notice().find("neither read nor written"), std::string::npos)
            << file.Notice();
        EXPECT_EQ(Contents(path), GetParam().text);
        EXPECT_TRUE(SetAside().empty());
        return;
    }
    EXPECT_NE(file.Notice().find("moved to " + path + ".bad-"), std::string::npos) << file.Notice();
    const auto aside = SetAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(Contents(aside.front()), GetParam().text);

    ASSERT_TRUE(file.Update(change));
    EXPECT_TRUE(file.Notice().empty()) << "told only once";
    EXPECT_EQ(SetAside().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Book, BadBookTest,
    ::testing::Values(
        BadBookCase{"NotJson", "{\"version\":1,\"boxes\":[", true}, BadBookCase{"Empty", "", true},
        BadBookCase{"OtherVersion", "{\"version\":2,\"boxes\":[]}", false},
        BadBookCase{"VersionNotANumber", "{\"version\":\"1\",\"boxes\":[]}", true},
        BadBookCase{"FieldNotText", "{\"version\":1,\"boxes\":[{\"ip\":7}]}", true},
        BadBookCase{"NeitherIdNorIp", "{\"version\":1,\"boxes\":[{\"host\":\"x\"}]}", true},
        BadBookCase{"NestedDeeper", "{\"version\":1,\"boxes\":[[[]]]}", true},
        BadBookCase{"HexNotHex", "{\"version\":1,\"boxes\":[{\"idHex\":\"6g\"}]}", true},
        BadBookCase{"HexOddLength", "{\"version\":1,\"boxes\":[{\"idHex\":\"616\"}]}", true},
        BadBookCase{"TextAndHex", "{\"version\":1,\"boxes\":[{\"id\":\"a\",\"idHex\":\"61\"}]}",
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

struct IdCase {
    const char* name;
    std::string id;
    const char* written;  // how the book writes it
};

class IdEncodingTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(IdEncodingTest, UTF8StaysAsItIsAndOtherBytesGoAsHex) {
    const std::string json = KnownBoxesJson({Box(GetParam().id, "10.1.1.1", T1)});
    EXPECT_NE(json.find(std::string("\n      ") + GetParam().written + ",\n"), std::string::npos)
        << json;
    std::vector<KnownBox> book;
    ASSERT_EQ(ParseKnownBoxes(json, book), BookParse::Read);
    ASSERT_EQ(book.size(), 1u);
    EXPECT_EQ(book[0].id, GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(
    Book, IdEncodingTest,
    ::testing::Values(IdCase{"Ascii", "box-1", R"("id": "box-1")"},
                      IdCase{"Utf8", "Ger\xc3\xa4t-1", "\"id\": \"Ger\xc3\xa4t-1\""},
                      IdCase{"Empty", "", R"("id": "")"},
                      IdCase{"InvalidBytes", "nas\xff\xfe", R"("idHex": "6e6173fffe")"},
                      IdCase{"Overlong", "\xc0\xaf", R"("idHex": "c0af")"},
                      IdCase{"Surrogate", "\xed\xa0\x80", R"("idHex": "eda080")"},
                      IdCase{"CutCharacter", "ab\xe2\x82", R"("idHex": "6162e282")"}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<std::string> AllFields(const KnownBox& b) {
    return {b.id,      b.host,          b.ip,  b.vendor,    b.product,
            b.version, b.interfaceName, b.mac, b.firstSeen, b.lastSeen};
}

TEST_F(BookFileTest, HostileTextInEveryFieldReadsBackAsItWasAndStaysOneEntry) {
    std::vector<KnownBox> seen;
    for (const auto& hostile : nasfinder::test::HostileTexts()) {
        KnownBox box;
        for (std::string* field :
             {&box.id, &box.host, &box.ip, &box.vendor, &box.product, &box.version,
              &box.interfaceName, &box.mac, &box.firstSeen, &box.lastSeen}) {
            *field = hostile.bytes;
        }
        seen.push_back(box);
    }
    CKnownBoxesFile file(path);
    ASSERT_TRUE(file.Remember(seen)) << file.Notice();
    EXPECT_TRUE(nlohmann::json::accept(Contents(path))) << "the book is valid JSON";

    ASSERT_TRUE(file.Remember(seen)) << file.Notice();
    std::vector<KnownBox> book;
    ASSERT_TRUE(CKnownBoxesFile(path).Read(book));
    EXPECT_EQ(book.size(), seen.size()) << "each box seen again is the same entry";
    for (const KnownBox& box : seen) {
        const KnownBox* entry = FindKnownBox(book, box.id);
        ASSERT_NE(entry, nullptr) << box.id;
        EXPECT_EQ(AllFields(*entry), AllFields(box));
    }
}

TEST_F(BookFileTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kPerProcess = 40;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            CKnownBoxesFile file(path);
            for (int i = 0; i < kPerProcess; ++i) {
                const std::string id = "p" + std::to_string(child) + "-" + std::to_string(i);
                if (!file.Update(
                        [&](auto& b) { MergeKnownBoxes(b, {Box(id, "10.1.1.1", T1)}, kNow); }))
                    _exit(1);
            }
            _exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<KnownBox> book;
    CKnownBoxesFile file(path);
    ASSERT_TRUE(file.Read(book));
    EXPECT_EQ(book.size(), 2u * kPerProcess);
    EXPECT_TRUE(SetAside().empty()) << "no reader ever saw a half-written book";
}

struct MacCase {
    const char* text;
    const char* parsed;  // MacText of the result; null: refused
};

class MacParseTest : public ::testing::TestWithParam<MacCase> {};

TEST_P(MacParseTest, AcceptsColonsOrDashesInAnyCase) {
    const auto mac = ParseMac(GetParam().text);
    if (GetParam().parsed == nullptr) {
        EXPECT_FALSE(mac.has_value());
    } else {
        ASSERT_TRUE(mac.has_value());
        EXPECT_EQ(MacText(*mac), GetParam().parsed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mac, MacParseTest,
    ::testing::Values(MacCase{"aa:bb:cc:dd:ee:ff", "aa:bb:cc:dd:ee:ff"},
                      MacCase{"AA-BB-CC-0D-EE-F1", "aa:bb:cc:0d:ee:f1"},
                      MacCase{"02:1a:2B:3c:4D:5e", "02:1a:2b:3c:4d:5e"},
                      MacCase{"aa:bb-cc:dd:ee:ff", nullptr}, MacCase{"aa:bb:cc:dd:ee", nullptr},
                      MacCase{"aa:bb:cc:dd:ee:ff:00", nullptr}, MacCase{"aabbccddeeff", nullptr},
                      MacCase{"aa:bb:cc:dd:ee:fg", nullptr}, MacCase{"nas-one", nullptr},
                      MacCase{"10.1.1.1", nullptr}));

TEST(MagicPacket, IsSixFfThenTheMacSixteenTimes) {
    const MagicPacket packet = MakeMagicPacket(*ParseMac("02:00:0a:01:01:01"));
    // Golden: every byte written out, as a capture of the packet would show it.
    std::string hex;
    for (const unsigned char byte : packet) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    std::string expected = "ffffffffffff";
    for (int i = 0; i < 16; ++i) expected += "02000a010101";
    EXPECT_EQ(packet.size(), 102u);
    EXPECT_EQ(hex, expected);
    EXPECT_TRUE(IsMagicPacketFor(packet.data(), packet.size(), *ParseMac("02:00:0a:01:01:01")));
    EXPECT_FALSE(IsMagicPacketFor(packet.data(), packet.size(), *ParseMac("02:00:0a:01:01:02")));
    EXPECT_FALSE(IsMagicPacketFor(packet.data(), 101, *ParseMac("02:00:0a:01:01:01")));
}

struct NeighbourCase {
    const char* name;
    const char* ip;
    const char* interfaceName;  // expected
    const char* mac;            // expected
};

class NeighbourTest : public ::testing::TestWithParam<NeighbourCase> {};

TEST_P(NeighbourTest, OnlyDirectlyConnectedAddressesGetAMac) {
    const char* arp =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "10.1.1.1         0x1         0x2         02:AA:00:00:01:01     *        lan1\n"
        "10.1.1.2         0x1         0x0         00:00:00:00:00:00     *        lan1\n"
        "10.2.0.254       0x1         0x2         02:bb:00:00:00:fe     *        lan2\n"
        "10.2.1.1         0x1         0x2         02:bb:00:00:01:01     *        lan9\n";
    std::vector<Ipv4Interface> interfaces(2);
    ParseIpv4("10.1.0.1", interfaces[0].address);
    ParseIpv4("10.2.0.1", interfaces[1].address);
    interfaces[0].name = "lan1";
    interfaces[1].name = "lan2";
    interfaces[0].netmask = interfaces[1].netmask = 0xFFFF0000u;
    const NeighbourFacts facts = LookUpNeighbour(interfaces, GetParam().ip, arp);
    EXPECT_EQ(facts.interfaceName, GetParam().interfaceName);
    EXPECT_EQ(facts.mac, GetParam().mac);
}

INSTANTIATE_TEST_SUITE_P(
    Neighbours, NeighbourTest,
    ::testing::Values(NeighbourCase{"Complete", "10.1.1.1", "lan1", "02:aa:00:00:01:01"},
                      NeighbourCase{"Incomplete", "10.1.1.2", "lan1", ""},
                      NeighbourCase{"NoEntry", "10.1.1.3", "lan1", ""},
                      NeighbourCase{"EntryOnAnotherInterface", "10.2.1.1", "lan2", ""},
                      // Reached through the router 10.2.0.254: its MAC is the router's.
                      NeighbourCase{"BehindARouter", "192.168.5.5", "", ""},
                      NeighbourCase{"OwnAddress", "10.1.0.1", "", ""},
                      NeighbourCase{"NotAnAddress", "nas-one", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
