// The target parser: one table per rule. Host names resolve in the test's sealed namespace,
// where localhost comes from /etc/hosts and no other name resolves.

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/searchtargets.h"
#include "tests/support/gtestsealed.h"

namespace {

using ::testing::StartsWith;

struct Accepted {
    const char* name;
    const char* text;
    std::size_t count;
    const char* first;
    const char* last;
};

class AcceptedTargets : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedTargets, GiveTheirHostAddresses) {
    REQUIRE_SEALED_NETWORK();
    std::vector<std::string> addresses{"kept"};
    std::string error;
    ASSERT_TRUE(ParseSearchTarget(GetParam().text, addresses, error)) << error;
    ASSERT_EQ(addresses.size(), GetParam().count + 1);
    EXPECT_EQ(addresses[1], GetParam().first);
    EXPECT_EQ(addresses.back(), GetParam().last);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, AcceptedTargets,
    ::testing::Values(Accepted{"address", "10.78.3.5", 1, "10.78.3.5", "10.78.3.5"},
                      Accepted{"blanks_around", " 10.78.3.5\t", 1, "10.78.3.5", "10.78.3.5"},
                      Accepted{"widest_20", "10.78.0.0/20", 4094, "10.78.0.1", "10.78.15.254"},
                      Accepted{"range_24", "10.78.3.0/24", 254, "10.78.3.1", "10.78.3.254"},
                      Accepted{"host_bits_dropped", "10.78.3.77/24", 254, "10.78.3.1", "10.78.3.254"},
                      Accepted{"range_30", "10.78.3.4/30", 2, "10.78.3.5", "10.78.3.6"},
                      Accepted{"point_to_point_31", "10.78.3.4/31", 2, "10.78.3.4", "10.78.3.5"},
                      Accepted{"host_32", "10.78.3.5/32", 1, "10.78.3.5", "10.78.3.5"},
                      Accepted{"host_name", "localhost", 1, "127.0.0.1", "127.0.0.1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refused {
    const char* name;
    std::string text;
    std::string error;      // the whole line, or its start for resolver errors
    bool resolver = false;  // refused by the resolver, not when the text is read
};

std::string Quote(const std::string& text, const char* reason) {
    return text + ": " + reason;
}

const char* const kNeitherOne = "not an address, a range such as 10.78.3.0/24 or a host name";
const char* const kNotARange = "not a range such as 10.78.3.0/24";
const std::string kLongDigits(100000, '1');

class RefusedTargets : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedTargets, SayWhyQuotingTheText) {
    REQUIRE_SEALED_NETWORK();
    std::vector<std::string> addresses;
    std::string error;
    EXPECT_FALSE(ParseSearchTarget(GetParam().text, addresses, error));
    EXPECT_THAT(error, StartsWith(GetParam().error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_TRUE(addresses.empty());

    const SearchTargetText read = ReadSearchTarget(GetParam().text);
    if (GetParam().resolver) {
        EXPECT_EQ(read.kind, SearchTargetText::Kind::HostName);
    } else {
        EXPECT_EQ(read.kind, SearchTargetText::Kind::Refused);
        EXPECT_EQ(read.error, error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, RefusedTargets,
    ::testing::Values(
        Refused{"range_8", "10.0.0.0/8",
                "10.0.0.0/8: a range may hold at most 4096 addresses (/20)"},
        Refused{"range_19", "10.78.0.0/19",
                "10.78.0.0/19: a range may hold at most 4096 addresses (/20)"},
        Refused{"prefix_33", "10.78.3.0/33", "10.78.3.0/33: not a range such as 10.78.3.0/24"},
        Refused{"no_prefix", "10.78.3.0/", "10.78.3.0/: not a range such as 10.78.3.0/24"},
        Refused{"short_address", "10.78.3", "10.78.3: not an IPv4 address"},
        Refused{"octet_too_big", "10.78.300.5", "10.78.300.5: not an IPv4 address"},
        Refused{"group", "239.143.255.250", "239.143.255.250: not a unicast address"},
        Refused{"broadcast", "255.255.255.255", "255.255.255.255: not a unicast address"},
        Refused{"this_network", "0.0.0.0", "0.0.0.0: not a unicast address"},
        Refused{"group_range", "224.0.0.0/24", "224.0.0.0/24: not a range of unicast addresses"},
        Refused{"blank_inside", "nas box",
                "nas box: not an address, a range such as 10.78.3.0/24 or a host name"},
        Refused{"empty", "", ": an empty target"},
        Refused{"unknown_name", "no-such-box.invalid",
                "no-such-box.invalid: the name does not resolve to an IPv4 address (", true},
        Refused{"two_slashes", "a//", Quote("a//", kNotARange)},
        Refused{"two_slashes_prefix", "a//1", Quote("a//1", kNotARange)},
        Refused{"name_slash", "a/", Quote("a/", kNotARange)},
        Refused{"prefix_only", "/24", Quote("/24", kNotARange)},
        Refused{"slash_as_prefix", "10.0.0.0//", Quote("10.0.0.0//", kNotARange)},
        Refused{"blank_in_prefix", "10.0.0.0/ 24", Quote("10.0.0.0/ 24", kNotARange)},
        Refused{"negative_prefix", "10.0.0.0/-1", Quote("10.0.0.0/-1", kNotARange)},
        Refused{"signed_prefix", "10.0.0.0/+8", Quote("10.0.0.0/+8", kNotARange)},
        Refused{"blanks_only", " \t ", " \t : an empty target"},
        Refused{"very_long", kLongDigits, Quote(kLongDigits, "not an IPv4 address")},
        Refused{"very_long_prefix", "10.0.0.0/" + kLongDigits,
                Quote("10.0.0.0/" + kLongDigits, kNotARange)},
        Refused{"nul_after_address", std::string("10.78.3.5\0x", 11),
                Quote(std::string("10.78.3.5\0x", 11), kNeitherOne)},
        Refused{"nul_before_prefix", std::string("10.78.3.0\0/24", 13),
                Quote(std::string("10.78.3.0\0/24", 13), kNotARange)},
        Refused{"nul_in_prefix", std::string("10.78.3.0/2\0", 12),
                Quote(std::string("10.78.3.0/2\0", 12), kNotARange)},
        Refused{"terminal_escape", "\x1b]0;owned\x07", Quote("\x1b]0;owned\x07", kNeitherOne)},
        Refused{"del", "nas\x7f", Quote("nas\x7f", kNeitherOne)},
        Refused{"name_of_300", std::string(300, 'a'),
                Quote(std::string(300, 'a'), "a host name may be at most 253 characters")},
        Refused{"label_of_64", std::string(64, 'a') + ".example",
                Quote(std::string(64, 'a') + ".example",
                      "each part of a host name may be at most 63 characters")},
        Refused{"empty_label", "nas..example", Quote("nas..example", kNeitherOne)},
        Refused{"leading_dot", ".nas", Quote(".nas", kNeitherOne)},
        Refused{"dot_only", ".", Quote(".", "not an IPv4 address")}),
    [](const auto& info) { return std::string(info.param.name); });

struct Read {
    const char* name;
    std::string text;
    SearchTargetText::Kind kind;
    std::string hostName;  // HostName: the name left for the resolver
};

class ReadTargets : public ::testing::TestWithParam<Read> {};

// Reading alone asks no resolver, so this needs no sealed network.
TEST_P(ReadTargets, TellTheKindWithoutResolving) {
    const SearchTargetText read = ReadSearchTarget(GetParam().text);
    EXPECT_EQ(read.kind, GetParam().kind) << read.error;
    EXPECT_EQ(read.hostName, GetParam().hostName);
    EXPECT_EQ(read.error, "");
}

const std::string kLabel63(63, 'b');
const std::string kName253 =
    kLabel63 + "." + kLabel63 + "." + kLabel63 + "." + std::string(61, 'c');

INSTANTIATE_TEST_SUITE_P(
    Targets, ReadTargets,
    ::testing::Values(
        Read{"address", "10.78.3.5", SearchTargetText::Kind::Addresses, ""},
        Read{"name", "nas.office.example", SearchTargetText::Kind::HostName, "nas.office.example"},
        Read{"name_trimmed", " nas\t", SearchTargetText::Kind::HostName, "nas"},
        Read{"final_dot", "nas.office.", SearchTargetText::Kind::HostName, "nas.office."},
        Read{"label_of_63", kLabel63 + ".example", SearchTargetText::Kind::HostName,
             kLabel63 + ".example"},
        Read{"name_of_253", kName253, SearchTargetText::Kind::HostName, kName253},
        Read{"name_of_253_final_dot", kName253 + ".", SearchTargetText::Kind::HostName,
             kName253 + "."}),
    [](const auto& info) { return std::string(info.param.name); });

struct Total {
    const char* name;
    std::vector<std::string> texts;
    std::size_t count;   // addresses when accepted
    const char* failed;  // the text refused, or null
    const char* error;
};

class TargetTotals : public ::testing::TestWithParam<Total> {};

TEST_P(TargetTotals, CountEachAddressOnceUpTo4096) {
    REQUIRE_SEALED_NETWORK();
    std::vector<std::string> addresses;
    std::string error;
    std::string failed;
    const bool accepted = ParseSearchTargets(GetParam().texts, addresses, error, failed);
    if (GetParam().failed == nullptr) {
        ASSERT_TRUE(accepted) << error;
        EXPECT_EQ(addresses.size(), GetParam().count);
    } else {
        EXPECT_FALSE(accepted);
        EXPECT_EQ(failed, GetParam().failed);
        EXPECT_EQ(error, GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TargetTotals,
    ::testing::Values(
        Total{"exactly_4096", {"10.78.0.0/20", "10.78.16.0/31"}, 4096, nullptr, ""},
        Total{"repeats_once", {"10.78.3.0/24", "10.78.3.5", "10.78.3.5/32"}, 254, nullptr, ""},
        Total{"one_over",
              {"10.78.0.0/20", "10.78.16.0/31", "10.78.16.9"},
              0,
              "10.78.16.9",
              "10.78.16.9: the targets would hold 4097 addresses, at most 4096"},
        Total{"first_refusal_wins",
              {"10.1.1.1", "10.1.1.0/8", "nas box"},
              0,
              "10.1.1.0/8",
              "10.1.1.0/8: a range may hold at most 4096 addresses (/20)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
