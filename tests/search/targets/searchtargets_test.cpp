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
    const char* text;
    const char* error;  // the whole line, or its start for resolver errors
};

class RefusedTargets : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedTargets, SayWhyQuotingTheText) {
    REQUIRE_SEALED_NETWORK();
    std::vector<std::string> addresses;
    std::string error;
    EXPECT_FALSE(ParseSearchTarget(GetParam().text, addresses, error));
    EXPECT_THAT(error, StartsWith(GetParam().error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_TRUE(addresses.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Targets, RefusedTargets,
    ::testing::Values(
        Refused{"range_8", "10.0.0.0/8", "10.0.0.0/8: a range may hold at most 4096 addresses (/20)"},
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
                "no-such-box.invalid: the name does not resolve to an IPv4 address ("}),
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
