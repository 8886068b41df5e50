// The registry's dispatch of searches and stops, and the local address list, without sockets:
// probe workers stand in for the real ones.

#include <sys/socket.h>

#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "log/searchlog.h"
#include "search/details/localiplist.h"
#include "search/details/searchthreadregistry.h"
#include "search/searchlib.h"
#include "tests/support/templog.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Records the calls the registry makes. The registry owns the probes once appended.
class ProbeWorker : public CSearchDeviceThread {
public:
    SearchWorkerRole Role() const override { return SearchWorkerRole::Interface; }
    ProbeWorker(std::vector<std::string>* calls, std::string name)
        : calls(calls), name(std::move(name)) {}

    void ClearLastDevice() override {
        calls->push_back(name + " clear");
        CSearchDeviceThread::ClearLastDevice();
    }
    int SendSearchCommand(const SearchRequest* request) override {
        calls->push_back(name + " send");
        requests.push_back(request);
        std::memcpy(&lastRequest, request, sizeof lastRequest);
        return 7;
    }
    void ExitWorkThread() override { calls->push_back(name + " exit"); }

    std::vector<const SearchRequest*> requests;
    SearchRequest lastRequest{};

private:
    std::vector<std::string>* calls;
    std::string name;
};

// The calls outlive a test's probes: the registry may still hold them in the next test.
std::deque<std::vector<std::string>> allCalls;

struct Probes {
    std::vector<std::string>* calls = &allCalls.emplace_back();
    ProbeWorker* first = new ProbeWorker(calls, "first");
    ProbeWorker* second = new ProbeWorker(calls, "second");

    Probes() {
        AppendSearchThread("", first);
        AppendSearchThread("10.0.0.1", second);
    }
};

TEST(SearchThreadRegistry, SendMessageClearsThenSendsTheCallersRecordThroughEveryWorkerInOrder) {
    Probes probes;
    SearchRequest request = DefaultSearchRequest();
    request.type = 9;

    EXPECT_EQ(SendMessage(&request), 0);

    EXPECT_THAT(*probes.calls,
                ElementsAre("first clear", "first send", "second clear", "second send"));
    // The caller's record itself, not a copy.
    EXPECT_THAT(probes.first->requests, ElementsAre(&request));
    EXPECT_THAT(probes.second->requests, ElementsAre(&request));
}

TEST(SearchThreadRegistry, SendMessageWithoutRecordSendsTheDefaultRequestAndLogsIt) {
    nasfinder::test::TempLog log;
    Probes probes;

    EXPECT_EQ(SendMessage(nullptr), 0);

    const SearchRequest expected = DefaultSearchRequest();
    ASSERT_EQ(probes.first->requests.size(), 1u);
    EXPECT_EQ(std::memcmp(&probes.first->lastRequest, &expected, sizeof expected), 0);
    EXPECT_EQ(std::memcmp(&probes.second->lastRequest, &expected, sizeof expected), 0);
    EXPECT_EQ(probes.first->requests[0], probes.second->requests[0]);
    EXPECT_THAT(log.Contents(), HasSubstr("SendMessage : pdhcp is NULL *["));
}

TEST(SearchThreadRegistry, ExitSearchLibStopsEveryWorkerInOrderAndClosesTheLog) {
    nasfinder::test::TempLog log;
    Probes probes;

    ExitSearchLib();

    EXPECT_THAT(*probes.calls, ElementsAre("first exit", "second exit"));
    EXPECT_THAT(log.Contents(), HasSubstr("------Exit Log System-------\r\n"));
    // The workers were joined and deleted: nothing is left to serve a later search.
    EXPECT_TRUE(SearchThreadList().empty());
    SendMessage(nullptr);
    EXPECT_EQ(probes.calls->size(), 2u) << "a search after the stop reached a worker";
}

// The address list: which interface addresses become per-interface workers.
struct AddressCase {
    const char* name;
    std::vector<LocalInterfaceAddress> addresses;
    std::vector<std::string> expected;
};

LocalInterfaceAddress Address(const char* name, int family, const char* text, bool up = true,
                              bool loopback = false) {
    return {name, family, text, up, loopback};
}

class LocalIPListTest : public ::testing::TestWithParam<AddressCase> {
protected:
    void TearDown() override { SetLocalAddressSource(nullptr); }
};

TEST_P(LocalIPListTest, KeepsIPv4OfInterfacesUpAndNotLoopbackInSystemOrder) {
    const AddressCase& c = GetParam();
    SetLocalAddressSource([&c](std::vector<LocalInterfaceAddress>& out, std::string&) {
        out = c.addresses;
        return true;
    });
    std::vector<std::string> list{"stale"};
    GetLocalIPList(list);
    EXPECT_EQ(list, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalIPListTest,
    ::testing::Values(
        AddressCase{"none", {}, {}},
        AddressCase{"loopback_only", {Address("lo", AF_INET, "127.0.0.1", true, true)}, {}},
        AddressCase{
            "ipv6_only",
            {Address("lo", AF_INET6, "::1", true, true), Address("eth0", AF_INET6, "fe80::1")},
            {}},
        AddressCase{"down_interface", {Address("eth0", AF_INET, "10.0.0.5", false)}, {}},
        AddressCase{"other_families", {Address("eth0", AF_PACKET, "")}, {}},
        AddressCase{
            "system_order_kept",
            {Address("lo", AF_INET, "127.0.0.1", true, true),
             Address("wlan0", AF_INET, "192.168.1.7"), Address("wlan0", AF_INET6, "fe80::7"),
             Address("eth0", AF_INET, "10.0.0.5"), Address("eth0", AF_INET, "10.0.0.6")},
            {"192.168.1.7", "10.0.0.5", "10.0.0.6"}},
        AddressCase{"duplicates_kept_for_the_registry",
                    {Address("eth0", AF_INET, "10.0.0.5"), Address("eth1", AF_INET, "10.0.0.5")},
                    {"10.0.0.5", "10.0.0.5"}}),
    [](const ::testing::TestParamInfo<AddressCase>& info) { return info.param.name; });

TEST(LocalIPList, LogsTheStartAndEachAddress) {
    nasfinder::test::TempLog log;
    SetLocalAddressSource([](std::vector<LocalInterfaceAddress>& out, std::string&) {
        out = {Address("eth0", AF_INET, "10.0.0.5"), Address("eth0", AF_INET6, "fe80::5")};
        return true;
    });
    std::vector<std::string> list;
    GetLocalIPList(list);
    SetLocalAddressSource(nullptr);

    const std::string text = log.Contents();
    EXPECT_THAT(text, HasSubstr("Get Current Local IP Info *["));
    EXPECT_THAT(text, HasSubstr("Get Current Local IP, IP = 10.0.0.5  *["));
    EXPECT_THAT(text, Not(HasSubstr("fe80::5")));
    EXPECT_THAT(text, Not(HasSubstr("Mulitcast")));
}

TEST(LocalIPList, AFailedListingIsLoggedAndYieldsWhatWasGathered) {
    nasfinder::test::TempLog log;
    SetLocalAddressSource([](std::vector<LocalInterfaceAddress>& out, std::string& error) {
        out = {Address("eth0", AF_INET, "10.0.0.5")};
        error = "No buffer space available";
        return false;
    });
    std::vector<std::string> list;
    GetLocalIPList(list);
    EXPECT_THAT(list, ElementsAre("10.0.0.5"));

    SetLocalAddressSource([](std::vector<LocalInterfaceAddress>&, std::string&) -> bool {
        throw std::runtime_error("listing exploded");
    });
    GetLocalIPList(list);
    EXPECT_TRUE(list.empty());
    SetLocalAddressSource(nullptr);

    const std::string text = log.Contents();
    EXPECT_THAT(text, HasSubstr("Add To Mulitcast Group Error : No buffer space available   *["));
    EXPECT_THAT(text, HasSubstr("Add To Mulitcast Group Error : listing exploded   *["));
}

}  // namespace
