// Why a search found nothing: each hint from the facts it rests on, and none for a healthy
// search. Also the pieces the facts come from: the interface choice and the /proc table.

#include <sys/socket.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "search/details/interfacechoice.h"
#include "search/details/portholder.h"
#include "search/details/searchfacts.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

SearchWorkerHealth Worker(SearchWorkerRole role, int port, const char* address = "") {
    SearchWorkerHealth worker;
    worker.role = role;
    worker.firstPort = worker.port = port;
    worker.address = address;
    worker.state = SearchWorkerState::Listening;
    worker.searchesSent = 1;
    return worker;
}

SearchWorkerHealth FailedWorker(SearchWorkerRole role, int port, int error, const char* text) {
    SearchWorkerHealth worker = Worker(role, port);
    worker.state = SearchWorkerState::Failed;
    worker.setupError = error;
    worker.setupErrorText = text;
    worker.searchesSent = 0;
    return worker;
}

// A machine with one LAN, three workers that searched once, and what the boxes said.
SearchFacts Searched(unsigned answers, unsigned announcements, std::size_t devices) {
    SearchFacts facts;
    facts.interfaces = {{"lo", AF_INET, "127.0.0.1", true, true},
                        {"eth0", AF_INET, "10.1.0.1", true, false}};
    facts.workers = {Worker(SearchWorkerRole::Broadcast, 67), Worker(SearchWorkerRole::Ssdp, 1900),
                     Worker(SearchWorkerRole::Interface, 1530, "10.1.0.1")};
    facts.workers[2].answersReceived = answers;
    facts.workers[1].announcementsHeard = announcements;
    facts.devicesFound = devices;
    facts.portHelperPath = "/usr/libexec/nasfinder/nasfinder-port-helper";
    return facts;
}

struct HintCase {
    const char* name;
    SearchFacts facts;
    std::vector<std::string> codes;  // code and variant
};

std::vector<std::string> Codes(const std::vector<SearchHint>& hints) {
    std::vector<std::string> codes;
    for (const SearchHint& hint : hints) {
        codes.push_back(hint.variant.empty() ? hint.code : hint.code + " " + hint.variant);
    }
    return codes;
}

std::vector<HintCase> Cases() {
    std::vector<HintCase> cases;
    cases.push_back({"healthy_and_found", Searched(3, 1, 1), {}});
    cases.push_back({"healthy_found_by_answers_only", Searched(2, 0, 2), {}});
    cases.push_back({"no_search_sent_yet", Searched(0, 0, 0), {}});
    for (auto& worker : cases.back().facts.workers) worker.searchesSent = 0;
    cases.push_back({"nothing_answered_or_announced", Searched(0, 0, 0), {"nothing-heard"}});

    HintCase offline{"loopback_only", Searched(0, 0, 0), {"no-ipv4-interface"}};
    offline.facts.interfaces.resize(1);
    offline.facts.workers.resize(2);
    for (auto& worker : offline.facts.workers) {
        worker.sendErrors = 1;
        worker.lastSendError = ENETUNREACH;
        worker.lastSendErrorText = "Network is unreachable";
    }
    cases.push_back(offline);

    HintCase denied{"no_privilege_for_67", Searched(2, 0, 1), {"broadcast-port-denied"}};
    denied.facts.workers[0] =
        FailedWorker(SearchWorkerRole::Broadcast, 67, EACCES, "Permission denied");
    cases.push_back(denied);

    HintCase held67{"67_held_by_a_known_program", Searched(2, 0, 1), {"port-in-use 67"}};
    held67.facts.workers[0] =
        FailedWorker(SearchWorkerRole::Broadcast, 67, EADDRINUSE, "Address already in use");
    held67.facts.portHolders = {{67, 4242, "dhcpd"}};
    cases.push_back(held67);

    HintCase held1900{
        "1900_held_by_an_unseen_program", Searched(2, 0, 1), {"port-in-use 1900 unknown"}};
    held1900.facts.workers[1] =
        FailedWorker(SearchWorkerRole::Ssdp, 1900, EADDRINUSE, "Address already in use");
    cases.push_back(held1900);

    // Without per-interface workers the SSDP worker moves on, away from the announcements.
    HintCase moved{"ssdp_moved_off_1900", Searched(2, 0, 1), {"port-in-use 1900"}};
    moved.facts.workers[1].port = 1901;
    moved.facts.workers[1].setupError = EADDRINUSE;
    moved.facts.portHolders = {{1900, 77, "mediad"}};
    cases.push_back(moved);

    // A per-interface worker that moved on loses nothing: its answers follow it.
    HintCase movedInterface{"interface_worker_moved", Searched(2, 0, 1), {}};
    movedInterface.facts.workers[2].port = 1531;
    movedInterface.facts.workers[2].setupError = EADDRINUSE;
    cases.push_back(movedInterface);

    cases.push_back({"announced_but_never_answered", Searched(0, 2, 1), {"answers-blocked"}});

    // Sending: only when no search reached a network, or a worker of an address that is here
    // failed and nothing was found.
    const auto failSend = [](SearchWorkerHealth& worker, bool sentNone) {
        worker.sendErrors = 1;
        worker.lastSendError = ENETUNREACH;
        worker.lastSendErrorText = "Network is unreachable";
        if (sentNone) worker.searchesSent = 0;
    };
    HintCase sharedFailed{"no_default_route_but_the_lan_answered", Searched(2, 0, 1), {}};
    failSend(sharedFailed.facts.workers[0], true);
    failSend(sharedFailed.facts.workers[1], true);
    cases.push_back(sharedFailed);
    HintCase sharedFailedEmpty{
        "no_default_route_and_nothing_there", Searched(0, 0, 0), {"nothing-heard"}};
    failSend(sharedFailedEmpty.facts.workers[0], true);
    failSend(sharedFailedEmpty.facts.workers[1], true);
    cases.push_back(sharedFailedEmpty);
    HintCase nothingReached{"no_search_reached_a_network", Searched(0, 0, 0), {"send-failed"}};
    for (auto& worker : nothingReached.facts.workers) failSend(worker, true);
    cases.push_back(nothingReached);
    HintCase interfaceFailed{
        "the_lans_worker_failed_and_nothing_found", Searched(0, 0, 0), {"send-failed"}};
    failSend(interfaceFailed.facts.workers[2], true);
    cases.push_back(interfaceFailed);
    // A laptop that moved: the old address's worker fails, the new network answers.
    HintCase movedOn{"a_worker_of_an_address_that_went", Searched(2, 0, 1), {}};
    movedOn.facts.workers.push_back(Worker(SearchWorkerRole::Interface, 1550, "192.168.7.20"));
    failSend(movedOn.facts.workers.back(), true);
    cases.push_back(movedOn);
    HintCase gone{"a_retired_worker_with_nothing_found", Searched(0, 0, 0), {"nothing-heard"}};
    gone.facts.workers.push_back(Worker(SearchWorkerRole::Interface, 1550, "10.1.0.1"));
    gone.facts.workers.back().state = SearchWorkerState::Gone;
    failSend(gone.facts.workers.back(), true);
    cases.push_back(gone);

    // Answers count over the whole search window, a retired worker's too.
    HintCase answeredThenGone{"answered_on_a_worker_since_retired", Searched(0, 1, 1), {}};
    answeredThenGone.facts.workers.push_back(Worker(SearchWorkerRole::Interface, 1550, "10.9.0.1"));
    answeredThenGone.facts.workers.back().state = SearchWorkerState::Gone;
    answeredThenGone.facts.workers.back().answersReceived = 2;
    cases.push_back(answeredThenGone);

    // Up without a carrier (a cable pulled, a bridge with nothing behind it) is no network.
    HintCase noCarrier{"an_address_without_a_carrier", Searched(0, 0, 0), {"no-ipv4-interface"}};
    noCarrier.facts.interfaces[1].running = false;
    cases.push_back(noCarrier);

    HintCase both{"held_and_denied_together",
                  Searched(0, 0, 0),
                  {"broadcast-port-denied", "port-in-use 1900 unknown"}};
    both.facts.workers[0] = FailedWorker(SearchWorkerRole::Broadcast, 67, EPERM, "not permitted");
    both.facts.workers[1] = FailedWorker(SearchWorkerRole::Ssdp, 1900, EADDRINUSE, "in use");
    cases.push_back(both);

    // Probed targets: a route error, silence, and a box that answered.
    const auto target = [](const char* address, unsigned sent, int error, unsigned answers) {
        return SearchTargetHealth{address, sent, error != 0 ? 1u : 0u, error, answers};
    };
    HintCase noRoute{"probe_without_route", Searched(2, 0, 1), {"probe-no-route"}};
    noRoute.facts.targets = {target("10.9.0.5", 1, ENETUNREACH, 0),
                             target("10.9.0.6", 1, EHOSTUNREACH, 0)};
    cases.push_back(noRoute);
    HintCase silent{"probe_unanswered", Searched(0, 0, 0), {"probe-unanswered"}};
    silent.facts.targets = {target("10.78.3.5", 2, 0, 0), target("10.78.3.6", 2, 0, 0)};
    cases.push_back(silent);
    HintCase found{"probe_found_its_box", Searched(0, 0, 1), {}};
    found.facts.targets = {target("10.78.3.5", 2, 0, 0), target("10.78.3.6", 2, 0, 1)};
    cases.push_back(found);
    HintCase mixed{"probe_found_one_other_unreachable", Searched(2, 0, 1), {"probe-no-route"}};
    mixed.facts.targets = {target("10.78.3.5", 2, 0, 1), target("10.9.0.5", 0, ENETUNREACH, 0)};
    cases.push_back(mixed);
    HintCase unsent{"probe_not_sent_yet", Searched(2, 0, 1), {}};
    unsent.facts.targets = {target("10.78.3.5", 0, 0, 0)};
    cases.push_back(unsent);
    // Probes none of which went out: a send refused, or no worker to send from.
    HintCase refused{"probe_send_refused", Searched(0, 0, 0), {"probe-not-sent"}};
    refused.facts.targets = {target("10.78.3.5", 0, EPERM, 0)};
    cases.push_back(refused);
    HintCase noSender{"probe_without_a_worker_to_send", Searched(2, 0, 1), {"probe-not-sent"}};
    noSender.facts.targets = {target("10.78.3.5", 0, 0, 0)};
    noSender.facts.targets[0].probesUnsent = 2;
    cases.push_back(noSender);
    // The M-SEARCH went, the request had no worker: the target was probed all the same.
    HintCase halfSent{"probe_partly_sent", Searched(0, 0, 0), {"probe-unanswered"}};
    halfSent.facts.targets = {target("10.78.3.5", 1, 0, 0)};
    halfSent.facts.targets[0].probesUnsent = 1;
    cases.push_back(halfSent);
    HintCase routeAndRefused{"probe_one_without_route_one_refused",
                             Searched(2, 0, 1),
                             {"probe-no-route", "probe-not-sent"}};
    routeAndRefused.facts.targets = {target("10.9.0.5", 0, ENETUNREACH, 0),
                                     target("10.78.3.5", 0, EPERM, 0)};
    cases.push_back(routeAndRefused);
    return cases;
}

class SearchHintsTest : public ::testing::TestWithParam<HintCase> {};

TEST_P(SearchHintsTest, GivesTheHintsTheFactsCallFor) {
    const std::vector<SearchHint> hints = SearchHints(GetParam().facts);
    EXPECT_THAT(Codes(hints), ElementsAreArray(GetParam().codes));
    for (const SearchHint& hint : hints) {
        EXPECT_FALSE(hint.summary.empty()) << hint.code;
        EXPECT_EQ(hint.text.find('{'), std::string::npos) << "unfilled pattern: " << hint.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Situations, SearchHintsTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SearchHints, TellWhatToDoWithTheFactsTheyRestOn) {
    SearchFacts held = Searched(1, 0, 1);
    held.workers[0] = FailedWorker(SearchWorkerRole::Broadcast, 67, EACCES, "Permission denied");
    held.workers[1] = FailedWorker(SearchWorkerRole::Ssdp, 1900, EADDRINUSE, "in use");
    held.portHolders = {{1900, 4242, "mediad"}};
    const std::vector<SearchHint> hints = SearchHints(held);
    ASSERT_EQ(hints.size(), 2u);
    EXPECT_THAT(hints[0].text, HasSubstr("run once: sudo setcap cap_net_bind_service=+ep "
                                         "'/usr/libexec/nasfinder/nasfinder-port-helper'"));
    EXPECT_EQ(hints[1].summary, "Port 1900 is in use");
    EXPECT_THAT(hints[1].text, HasSubstr("mediad (process 4242) holds UDP port 1900"));
    EXPECT_EQ(hints[1].Fact("pid"), "4242");
    EXPECT_TRUE(hints[1].facts[1].number);
    EXPECT_EQ(SearchHints(Searched(0, 3, 1)).at(0).Fact("ports"), "67, 1900, 1530");

    // Every interface is named once, a name inside another's too.
    SearchFacts offline = Searched(0, 0, 0);
    offline.interfaces = {{"enp0s31f6", AF_INET6, "fe80::1", true, false},
                          {"enp0s3", AF_INET, "10.0.2.15", true, false, false},
                          {"enp0s3", AF_INET6, "fe80::2", true, false, false}};
    EXPECT_EQ(SearchHints(offline).at(0).Fact("interfaces"), "enp0s31f6, enp0s3");
}

TEST(ShellQuotedProgramPath, GivesAPathACommandLineTakesAsItIs) {
    EXPECT_EQ(ShellQuotedProgramPath("/usr/bin/nasfinder (deleted)"), "'/usr/bin/nasfinder'");
    EXPECT_EQ(ShellQuotedProgramPath("/home/ann/my apps/nasfinder"),
              "'/home/ann/my apps/nasfinder'");
    EXPECT_EQ(ShellQuotedProgramPath("/opt/it's/nasfinder"), "'/opt/it'\\''s/nasfinder'");
}

TEST(SearchHints, NameTheFirstThreeTargetsAndCountThemAll) {
    SearchFacts facts = Searched(2, 0, 1);
    for (const char* address : {"10.78.3.1", "10.78.3.2", "10.78.3.3", "10.78.3.4"}) {
        facts.targets.push_back({address, 2, 0, 0, 0});
    }
    const std::vector<SearchHint> hints = SearchHints(facts);
    ASSERT_EQ(hints.size(), 1u);
    EXPECT_EQ(hints[0].Fact("targets"), "10.78.3.1, 10.78.3.2, 10.78.3.3, …");
    EXPECT_EQ(hints[0].Fact("count"), "4");
    EXPECT_THAT(hints[0].text, HasSubstr("UDP ports 1900 and 68"));
}

TEST(FillHintPattern, FillsKnownNamesAndKeepsUnknownOnes) {
    const std::vector<SearchHintFact> facts{{"port", "1900", true}, {"program", "x{y}", false}};
    EXPECT_EQ(FillHintPattern("{program} holds {port}.", facts), "x{y} holds 1900.");
    EXPECT_EQ(FillHintPattern("{missing} and {port", facts), "{missing} and {port");
    EXPECT_EQ(FillHintPattern("", facts), "");
}

struct ChoiceCase {
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    const char* name;
    bool chosen;
};

class InterfaceChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(InterfaceChoiceTest, ChoosesByShellPatterns) {
    const ChoiceCase& c = GetParam();
    EXPECT_EQ((InterfaceChoice{c.include, c.exclude}.Chooses(c.name)), c.chosen) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Patterns, InterfaceChoiceTest,
                         ::testing::Values(ChoiceCase{{}, {}, "eth0", true},
                                           ChoiceCase{{"eth*"}, {}, "eth0", true},
                                           ChoiceCase{{"eth*"}, {}, "wlan0", false},
                                           ChoiceCase{{"eth?", "wl*"}, {}, "wlan0", true},
                                           ChoiceCase{{}, {"docker*", "br-*"}, "docker0", false},
                                           ChoiceCase{{}, {"docker*", "br-*"}, "br-1a2b", false},
                                           ChoiceCase{{}, {"docker*"}, "eth0", true},
                                           // An exclusion wins over an inclusion.
                                           ChoiceCase{{"*"}, {"veth*"}, "veth12", false},
                                           ChoiceCase{{"lan[12]"}, {}, "lan2", true},
                                           ChoiceCase{{"lan[12]"}, {}, "lan3", false},
                                           ChoiceCase{{"eth0"}, {}, "eth01", false},
                                           // An alias label is its interface.
                                           ChoiceCase{{"eth0"}, {}, "eth0:1", true},
                                           ChoiceCase{{}, {"eth0"}, "eth0:1", false}));

TEST(InterfaceChoice, NamesThePatternsThatMatchNoInterface) {
    const InterfaceChoice choice{{"eth*", "wlan*"}, {"docker*", "eth0"}};
    EXPECT_THAT(choice.Unmatched({"lo", "eth0:1", "enp0s3"}), ElementsAre("wlan*", "docker*"));
}

TEST(UdpSocketInodes, ReadsTheSocketsBoundToAPortFromTheProcTable) {
    std::istringstream table(
        "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
        "timeout inode ref pointer drops\n"
        "  123: 00000000:076C 00000000:0000 07 00000000:00000000 00:00000000 00000000     0  "
        "      0 4711 2 0000000000000000 0\n"
        "  124: 0100007F:076C 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000  "
        "      0 4712 2 0000000000000000 0\n"
        "  125: 00000000:0043 00000000:0000 07 00000000:00000000 00:00000000 00000000     0  "
        "      0 4713 2 0000000000000000 0\n"
        "  126: garbage\n");
    EXPECT_THAT(UdpSocketInodes(table, 1900), ElementsAre(4711u, 4712u));
    table.clear();
    table.seekg(0);
    EXPECT_THAT(UdpSocketInodes(table, 67), ElementsAre(4713u));
}

}  // namespace
