#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "search/details/ssdpparser.h"

namespace {

const std::string kLocation = "LOCATION: http://192.168.1.20:8080/desc.xml";
const std::string kServer =
    "SERVER: Linux/3.10 UPnP/1.0 KIVO/2.1, build 7, KORVANT/nas-01/NS200/eu";
const std::string kUsn = "USN: uuid:0123-abcd::urn:schemas-upnp-org:device:HomeNasDevice:1";
const std::string kSender = "10.0.0.9";

// Each line ends in eol, and an empty line closes the message.
std::string Message(std::initializer_list<std::string> lines, const std::string& eol = "\r\n") {
    std::string text;
    for (const auto& line : lines) text += line + eol;
    return text + eol;
}

std::string Answer(std::initializer_list<std::string> headers) {
    std::string text = "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\n";
    for (const auto& header : headers) text += header + "\r\n";
    return text + "\r\n";
}

std::string Notify(const std::string& nts, std::initializer_list<std::string> headers) {
    std::string text = "NOTIFY * HTTP/1.1\r\nHOST: 239.143.255.250:1900\r\nNT: upnp:rootdevice\r\n";
    text += nts + "\r\n";
    for (const auto& header : headers) text += header + "\r\n";
    return text + "\r\n";
}

std::string Server(const std::string& token) {
    return "SERVER: Linux/3.10 UPnP/1.0 KIVO/2.1, build 7, " + token;
}

struct Fields {
    std::string id, ip, host, product, extra, osversion, factory;
    int type;
};

const Fields kComplete{"0123-abcd", "192.168.1.20", "nas-01", "NS200", "eu", "2.1", "KORVANT", 1};

Fields With(Fields fields, int type) {
    fields.type = type;
    return fields;
}

struct Case {
    const char* name;
    std::string datagram;
    bool kept;
    Fields expected;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

Fields Read(const deviceinfo& r) {
    return {r.id, r.ip, r.host, r.product, r.extra, r.osversion, r.factory, r.type};
}

void ExpectFields(const deviceinfo& record, const Fields& expected) {
    Fields actual = Read(record);
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.ip, expected.ip);
    EXPECT_EQ(actual.host, expected.host);
    EXPECT_EQ(actual.product, expected.product);
    EXPECT_EQ(actual.extra, expected.extra);
    EXPECT_EQ(actual.osversion, expected.osversion);
    EXPECT_EQ(actual.factory, expected.factory);
    EXPECT_EQ(actual.type, expected.type);
    EXPECT_EQ(record.lifetime, 60);
}

// Every text field keeps its terminating zero, whatever came in.
void ExpectTerminated(const deviceinfo& record) {
    for (const char* field : {record.id, record.ip, record.host, record.product, record.extra,
                              record.osversion, record.factory}) {
        EXPECT_EQ(field[31], '\0');
    }
}

class SsdpParse : public testing::TestWithParam<Case> {};

TEST_P(SsdpParse, FillsTheRecordOrDropsTheDatagram) {
    const Case& c = GetParam();
    deviceinfo record;
    std::memset(static_cast<void*>(&record), 'Z', sizeof record);  // parser must clear it
    bool kept = ParseSsdpDatagram(c.datagram.c_str(), kSender.c_str(), record);
    ASSERT_EQ(kept, c.kept);
    if (kept) {
        ExpectFields(record, c.expected);
    }
    ExpectTerminated(record);
}

const std::string k40(40, 'q');
const std::string k31(31, 'q');

INSTANTIATE_TEST_SUITE_P(
    Messages, SsdpParse,
    testing::Values(
        Case{"complete answer", Answer({kLocation, kServer, kUsn}), true, kComplete},
        Case{"byebye twin", Notify("NTS: ssdp:byebye", {kLocation, kServer, kUsn}), true,
             With(kComplete, 4)},
        Case{"alive", Notify("NTS: ssdp:alive", {kLocation, kServer, kUsn}), true,
             With(kComplete, 2)},
        Case{"blanks and tabs before NTS value",
             Notify("NTS: \t \tssdp:alive", {kLocation, kServer, kUsn}), true, With(kComplete, 2)},
        Case{"NTS compared by prefix", Notify("NTS:ssdp:byebye-later", {kLocation, kServer, kUsn}),
             true, With(kComplete, 4)},
        Case{"other NTS value", Notify("NTS: ssdp:update", {kLocation, kServer, kUsn}), true,
             With(kComplete, 0)},
        Case{"NTS value in another case", Notify("NTS: SSDP:ALIVE", {kLocation, kServer, kUsn}),
             true, With(kComplete, 0)},
        Case{"error status is still an answer",
             "HTTP/1.1 404 Not Found\r\n" + kLocation + "\r\n" + kServer + "\r\n" + kUsn + "\r\n",
             true, kComplete},
        Case{"announcement without rootdevice",
             "NOTIFY * HTTP/1.1\r\nNT: urn:schemas-upnp-org:device:HomeNasDevice:1\r\n"
             "NTS: ssdp:alive\r\n" +
                 kLocation + "\r\n" + kServer + "\r\n" + kUsn + "\r\n",
             false,
             {}},
        Case{"announcement without NTS",
             Notify("X-NOTE: none", {kLocation, kServer, kUsn}),
             false,
             {}},
        Case{"neither answer nor announcement",
             "M-SEARCH * HTTP/1.1\r\n" + kLocation + "\r\n" + kServer + "\r\n" + kUsn + "\r\n",
             false,
             {}},
        Case{"no brand anywhere",
             Answer({kLocation, "SERVER: Linux/3.10 UPnP/1.0 Acme/1.0, b, ACME/h/p", kUsn}),
             false,
             {}},
        Case{"own M-SEARCH",
             Message({"M-SEARCH * HTTP/1.1", "HOST: 239.143.255.250:1900",
                      "ST: urn:schemas-upnp-org:device:HomeNasDevice:1", "MAN: \"ssdp:discover\"",
                      "MX: 3"}),
             false,
             {}},
        Case{"no LOCATION takes the sender", Answer({kServer, kUsn}), true,
             Fields{"0123-abcd", kSender, "nas-01", "NS200", "eu", "2.1", "KORVANT", 1}},
        Case{"LOCATION without port runs to the next colon",
             Answer({"LOCATION: http://192.168.1.20/desc.xml", kServer, kUsn}), true,
             Fields{"0123-abcd", "192.168.1.20/desc.xml\r\nSERVER", "nas-01", "NS200", "eu", "2.1",
                    "KORVANT", 1}},
        Case{"LOCATION address cut to 31",
             Answer({"LOCATION: http://192.168.1.20/description/device.xml", kServer, kUsn}), true,
             Fields{"0123-abcd", "192.168.1.20/description/device", "nas-01", "NS200", "eu", "2.1",
                    "KORVANT", 1}},
        Case{"LOCATION without //",
             Answer({"LOCATION: 192.168.1.20:8080/desc.xml", kServer, kUsn}),
             false,
             {}},
        Case{"LOCATION without a colon after //",
             "HTTP/1.1 200 OK\r\n" + kServer + "\r\n" + kUsn + "\r\nLOCATION: http//nas/desc\r\n",
             false,
             {}},
        Case{"SERVER without comma", Answer({kLocation, "SERVER: Linux UPnP/1.0 KIVO/2.1", kUsn}),
             true, Fields{"0123-abcd", "192.168.1.20", "", "", "", "", "", 1}},
        Case{"SERVER with one comma takes the token from a later header",
             Answer({kLocation, "SERVER: Linux KIVO/2.1, KORVANT/nas-01/NS200",
                     "X-INFO: a, OTHER/nas-02/NS300", kUsn}),
             true, Fields{"0123-abcd", "192.168.1.20", "nas-02", "NS300", "", "2.1", "OTHER", 1}},
        Case{"second comma ends the datagram",
             "HTTP/1.1 200 OK\r\n" + kUsn + "\r\nSERVER: KIVO/2.1, build,", true,
             Fields{"0123-abcd", kSender, "", "", "", "2.1", "", 1}},
        Case{"LF-only lines", Message({"HTTP/1.1 200 OK", kLocation, kServer, kUsn}, "\n"), true,
             Fields{"0123-abcd", "192.168.1.20", "", "", "", "2.1", "", 1}},
        Case{"token without slash", Answer({kLocation, Server("KORVANT"), kUsn}), true,
             Fields{"0123-abcd", "192.168.1.20", "", "", "", "2.1", "", 1}},
        Case{"token with one slash", Answer({kLocation, Server("KORVANT/nas-01"), kUsn}), true,
             Fields{"0123-abcd", "192.168.1.20", "", "", "", "2.1", "KORVANT", 1}},
        Case{"token with two slashes", Answer({kLocation, Server("KORVANT/nas-01/NS200"), kUsn}),
             true, Fields{"0123-abcd", "192.168.1.20", "nas-01", "NS200", "", "2.1", "KORVANT", 1}},
        Case{"token with three slashes",
             Answer({kLocation, Server("KORVANT/nas-01/NS200/eu"), kUsn}), true, kComplete},
        Case{"token with four slashes",
             Answer({kLocation, Server("KORVANT/nas-01/NS200/eu/rack-2"), kUsn}), true,
             Fields{"0123-abcd", "192.168.1.20", "nas-01", "NS200", "eu/rack-2", "2.1", "KORVANT",
                    1}},
        Case{"token cut to 63 before the split",
             Answer({kLocation,
                     Server(std::string(20, 'a') + "/" + std::string(20, 'b') + "/" +
                            std::string(20, 'c') + "/" + std::string(20, 'd')),
                     kUsn}),
             true,
             Fields{"0123-abcd", "192.168.1.20", std::string(20, 'b'), std::string(20, 'c'), "",
                    "2.1", std::string(20, 'a'), 1}},
        Case{"token parts cut to 31", Answer({kLocation, Server(k40 + "/h/" + k40), kUsn}), true,
             Fields{"0123-abcd", "192.168.1.20", "h", std::string(20, 'q'), "", "2.1", k31, 1}},
        Case{"long version cut without moving the comma search",
             Answer({kLocation, "SERVER: KIVO/" + k40 + ", build 7, KORVANT/nas-01/NS200", kUsn}),
             true, Fields{"0123-abcd", "192.168.1.20", "nas-01", "NS200", "", k31, "KORVANT", 1}},
        Case{"long identifier cut to 31",
             Answer({kLocation, kServer, "USN: uuid:" + k40 + "::upnp:rootdevice"}), true,
             Fields{k31, "192.168.1.20", "nas-01", "NS200", "eu", "2.1", "KORVANT", 1}},
        Case{"USN without :: takes the identifier up to a later ::",
             Answer({kLocation, kServer, "USN: uuid:0123-abcd", "X-NOTE: a::b"}), true,
             Fields{"0123-abcd\r\nX-NOTE: a", "192.168.1.20", "nas-01", "NS200", "eu", "2.1",
                    "KORVANT", 1}},
        Case{"USN without :: anywhere",
             Answer({kLocation, kServer, "USN: uuid:0123-abcd"}),
             false,
             {}},
        Case{"USN without uuid:", Answer({kLocation, kServer, "USN: 0123-abcd::x"}), false, {}},
        Case{"no USN", Answer({kLocation, kServer}), false, {}},
        Case{"header names in another case",
             Answer({"Location: http://192.168.1.20:8080/", "Server: KIVO/2.1, b, K/h/p", kUsn}),
             true, Fields{"0123-abcd", kSender, "", "", "", "", "", 1}},
        Case{"USN in another case",
             Answer({kLocation, kServer, "Usn: uuid:0123-abcd::x"}),
             false,
             {}},
        Case{"status line in another case",
             "http/1.1 200 OK\r\n" + kLocation + "\r\n" + kServer + "\r\n" + kUsn + "\r\n",
             false,
             {}},
        Case{"NUL byte hides the rest",
             Answer({kLocation, kServer}) + '\0' + kUsn + "\r\n",
             false,
             {}},
        Case{"NUL byte hides a later SERVER",
             Answer({kLocation, kUsn, "X-BRAND: KIVO"}) + '\0' + kServer + "\r\n", true,
             Fields{"0123-abcd", "192.168.1.20", "", "", "", "", "", 1}}));

// The committed seed datagrams are real-looking answers and announcements; they must keep
// parsing the way their names say, or the fuzz corpus would quietly lose its value.
std::string Seed(const char* name) {
    std::ifstream in(std::string(NASFINDER_SEED_DIR) + "/ssdpparser/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SsdpSeeds, ParseAsTheirNamesSay) {
    struct SeedCase {
        const char* file;
        bool kept;
        int type;
    };
    for (const SeedCase& seed :
         {SeedCase{"answer-complete.txt", true, 1}, SeedCase{"notify-alive.txt", true, 2},
          SeedCase{"notify-byebye.txt", true, 4}, SeedCase{"notify-unbranded.txt", false, 0},
          SeedCase{"msearch.txt", false, 0}}) {
        SCOPED_TRACE(seed.file);
        deviceinfo record;
        ASSERT_EQ(ParseSsdpDatagram(Seed(seed.file).c_str(), kSender.c_str(), record), seed.kept);
        if (seed.kept) {
            EXPECT_EQ(record.type, seed.type);
        }
    }
}

}  // namespace
