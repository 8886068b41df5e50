// nas-search's command line: what runs, and what is refused before any socket is opened.

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/nas-search/searchoptions.h"

namespace {

std::string HexOf(const SearchRequest& request) {
    static const char digits[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const unsigned char*>(&request);
    std::string hex;
    for (std::size_t i = 0; i < sizeof request; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

// The usage text promises the defaults: an empty command line runs exactly those.
TEST(SearchOptions, AnEmptyCommandLineRunsTheDefaultsTheUsageStates) {
    const std::string usage = SearchUsage();
    const auto promised = [&usage](const std::string& option) {
        const std::size_t line = usage.find("\n  --" + option + " ");
        const std::size_t at = usage.find("(default ", line);
        return line == std::string::npos || at == std::string::npos
                   ? -1.0
                   : std::stod(usage.substr(at + 9));
    };
    SearchOptions options;
    std::string message;
    ASSERT_EQ(ParseSearchOptions({}, options, message), ParseOutcome::Run);
    EXPECT_EQ(options.seconds, promised("seconds"));
    EXPECT_EQ(options.searches, promised("searches"));
    EXPECT_EQ(options.interval, promised("interval"));
}

TEST(SearchOptions, EveryOptionIsTaken) {
    SearchRequest request = DefaultSearchRequest();
    request.type = 0xAB;
    std::strcpy(request.info, "x=1");
    SearchOptions options;
    std::string message;
    ASSERT_EQ(ParseSearchOptions(
                  {"--seconds", "4.5", "--searches", "3", "--interval=1", "--no-interface-search",
                   "--log-dir", "/tmp/logs/", "--request-hex", HexOf(request), "--json"},
                  options, message),
              ParseOutcome::Run)
        << message;
    EXPECT_EQ(options.seconds, 4.5);
    EXPECT_EQ(options.searches, 3);
    EXPECT_EQ(options.interval, 1);
    EXPECT_FALSE(options.interfaceSearch);
    EXPECT_EQ(options.logDir, "/tmp/logs/");
    ASSERT_TRUE(options.request.has_value());
    EXPECT_EQ(std::memcmp(&*options.request, &request, sizeof request), 0);
    EXPECT_TRUE(options.json);
}

TEST(SearchOptions, InterfacePatternsRepeatAndWatchTakesItsInterval) {
    SearchOptions options;
    std::string message;
    ASSERT_EQ(ParseSearchOptions({"--interface", "eth*", "--interface=wl?n0", "--exclude-interface",
                                  "docker*", "--watch", "--every", "2", "--json"},
                                 options, message),
              ParseOutcome::Run)
        << message;
    EXPECT_EQ(options.interfaces, (std::vector<std::string>{"eth*", "wl?n0"}));
    EXPECT_EQ(options.excludeInterfaces, std::vector<std::string>{"docker*"});
    EXPECT_TRUE(options.watch);
    EXPECT_EQ(options.every, 2);
    ASSERT_EQ(ParseSearchOptions({"--diagnose", "--seconds", "3"}, options, message),
              ParseOutcome::Run);
    EXPECT_TRUE(options.diagnose);
    EXPECT_FALSE(options.watch);
}

TEST(SearchOptions, TheBooksRunsTakeTheirTargets) {
    SearchOptions options;
    std::string message;
    ASSERT_EQ(
        ParseSearchOptions({"--wake", "AA-BB-CC-DD-EE-FF", "--wait=5", "--json"}, options, message),
        ParseOutcome::Run)
        << message;
    EXPECT_EQ(options.wake, "AA-BB-CC-DD-EE-FF");
    EXPECT_EQ(options.wait, 5);
    EXPECT_TRUE(options.remember);
    ASSERT_EQ(ParseSearchOptions({"--forget", "all"}, options, message), ParseOutcome::Run);
    EXPECT_EQ(options.forget, "all");
    EXPECT_FALSE(options.wake);
    ASSERT_EQ(ParseSearchOptions({"--no-remember", "--seconds", "3"}, options, message),
              ParseOutcome::Run);
    EXPECT_FALSE(options.remember);
    EXPECT_EQ(options.wait, 60);
}

TEST(SearchOptions, HelpIsNotAnError) {
    SearchOptions options;
    std::string message;
    EXPECT_EQ(ParseSearchOptions({"--help"}, options, message), ParseOutcome::Help);
    EXPECT_NE(SearchUsage().find("usage: nas-search"), std::string::npos);
}

struct InfoRequest {
    const char* name;
    std::vector<std::string> args;
    ParseOutcome outcome;
};

class InfoRequests : public ::testing::TestWithParam<InfoRequest> {};

// --help and --version answer before the values are checked, as a user asking for them expects,
// and leave the options alone; a command line that does not parse is still refused.
TEST_P(InfoRequests, AnswerBeforeTheValuesAreChecked) {
    SearchOptions options;
    options.searches = 77;
    std::string message;
    EXPECT_EQ(ParseSearchOptions(GetParam().args, options, message), GetParam().outcome);
    EXPECT_EQ(options.searches, 77);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InfoRequests,
    ::testing::Values(
        InfoRequest{"version", {"--version"}, ParseOutcome::Version},
        InfoRequest{
            "version_with_bad_value", {"--seconds", "0", "--version"}, ParseOutcome::Version},
        InfoRequest{"help_before_version", {"--version", "--help"}, ParseOutcome::Help},
        InfoRequest{"version_with_stray_word", {"--version", "extra"}, ParseOutcome::Invalid},
        InfoRequest{"version_with_a_value", {"--version=1"}, ParseOutcome::Invalid}),
    [](const ::testing::TestParamInfo<InfoRequest>& info) { return info.param.name; });

struct BadArguments {
    const char* name;
    std::vector<std::string> args;
};

class RefusedArguments : public ::testing::TestWithParam<BadArguments> {};

TEST_P(RefusedArguments, AreInvalidWithAReason) {
    SearchOptions options;
    options.searches = 77;
    std::string message;
    EXPECT_EQ(ParseSearchOptions(GetParam().args, options, message), ParseOutcome::Invalid);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(options.searches, 77) << "a refused command line must leave the options alone";
}

const std::string kGoodHex = HexOf(DefaultSearchRequest());

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedArguments,
    ::testing::Values(BadArguments{"unknown_option", {"--frobnicate"}},
                      BadArguments{"positional", {"extra"}},
                      BadArguments{"seconds_zero", {"--seconds", "0"}},
                      BadArguments{"seconds_negative", {"--seconds", "-3"}},
                      BadArguments{"seconds_text", {"--seconds", "soon"}},
                      BadArguments{"seconds_nan", {"--seconds", "nan"}},
                      BadArguments{"seconds_huge", {"--seconds", "1e9"}},
                      BadArguments{"seconds_missing_value", {"--seconds"}},
                      BadArguments{"searches_zero", {"--searches", "0"}},
                      BadArguments{"searches_too_many", {"--searches", "1001"}},
                      BadArguments{"searches_fraction", {"--searches", "1.5"}},
                      BadArguments{"interval_negative", {"--interval", "-1"}},
                      BadArguments{"searches_after_window",
                                   {"--seconds", "5", "--searches", "3", "--interval", "2.5"}},
                      BadArguments{"log_dir_empty", {"--log-dir", ""}},
                      BadArguments{"hex_short", {"--request-hex", kGoodHex.substr(2)}},
                      BadArguments{"hex_long", {"--request-hex", kGoodHex + "00"}},
                      BadArguments{"hex_not_hex", {"--request-hex", "g" + kGoodHex.substr(1)}},
                      BadArguments{"hex_blank", {"--request-hex", " " + kGoodHex.substr(1)}},
                      BadArguments{"every_without_watch", {"--every", "5"}},
                      BadArguments{"every_too_short", {"--watch", "--every", "1.5"}},
                      BadArguments{"watch_with_a_window", {"--watch", "--seconds", "5"}},
                      BadArguments{"watch_with_diagnose", {"--watch", "--diagnose"}},
                      BadArguments{"interface_empty", {"--interface", ""}},
                      BadArguments{"wake_and_known", {"--wake", "nas1", "--known"}},
                      BadArguments{"wake_and_watch", {"--wake", "nas1", "--watch"}},
                      BadArguments{"forget_and_known", {"--forget", "all", "--known"}},
                      BadArguments{"wait_without_wake", {"--wait", "10"}},
                      BadArguments{"wait_zero", {"--wake", "nas1", "--wait", "0"}},
                      BadArguments{"wake_empty", {"--wake", ""}},
                      BadArguments{"known_without_the_book", {"--known", "--no-remember"}},
                      BadArguments{"wake_with_a_window", {"--wake", "nas1", "--seconds", "5"}},
                      BadArguments{"exclude_missing_value", {"--exclude-interface"}},
                      BadArguments{"probe_missing_value", {"--probe"}}),
    [](const ::testing::TestParamInfo<BadArguments>& info) { return info.param.name; });

TEST(RequestHex, ReadsEitherCaseIntoTheRecordsBytes) {
    SearchRequest request{};
    std::string hex = kGoodHex;
    for (char& c : hex) c = static_cast<char>(std::toupper(c));
    ASSERT_TRUE(ParseRequestHex(hex, request));
    const SearchRequest expected = DefaultSearchRequest();
    EXPECT_EQ(std::memcmp(&request, &expected, sizeof request), 0);
    EXPECT_EQ(hex.substr(0, 16), "0B010000FFFFFFFF");
}

}  // namespace
