#pragma once

// What the search library can tell about itself: each worker's state and what it has sent and
// heard in the current search window. The hints (searchhints.h) explain an empty result.

#include <cstdint>
#include <string>
#include <vector>

enum class SearchWorkerRole { Broadcast, Ssdp, Interface };

enum class SearchWorkerState {
    Listening,  // socket bound, receive thread running
    Failed,     // the socket could not be opened or bound (setupError says why)
    Stopped,    // the receive loop ended on an error; nothing is received any more
    Gone,       // its address left the machine: stopped, its port freed
};

// "broadcast", "ssdp", "interface"; "listening", "failed", "stopped", "gone": as reports print
// them.
const char* SearchWorkerRoleName(SearchWorkerRole role);
const char* SearchWorkerStateName(SearchWorkerState state);

// The shared SSDP worker's membership of the group on one interface address.
struct SearchGroupMembership {
    std::string interfaceName;
    std::string address;
    int error = 0;  // errno of the failed join; 0 when joined
    std::string errorText;
};

// One worker. Counters cover the current search window (see StartSearchWindow).
struct SearchWorkerHealth {
    SearchWorkerRole role = SearchWorkerRole::Broadcast;
    std::string address;        // local IPv4 address served; empty for the shared workers
    std::string interfaceName;  // its interface; empty for the shared workers
    int firstPort = 0;          // the port the worker was given
    int port = 0;               // the port it ended on after any retries
    SearchWorkerState state = SearchWorkerState::Failed;
    int setupError = 0;  // errno of the failed open or bind; 0 when it did not fail
    std::string setupErrorText;

    std::uint32_t searchesSent = 0;
    std::uint32_t sendErrors = 0;
    int lastSendError = 0;  // errno of the last failed send
    std::string lastSendErrorText;
    std::uint32_t datagramsReceived = 0;
    std::uint32_t answersReceived = 0;     // boxes' answers to a search
    std::uint32_t announcementsHeard = 0;  // boxes' NOTIFY messages on the group
    std::uint32_t devicesReported = 0;     // records handed to the application
    // The shared SSDP worker's group memberships, one per interface address; empty for others.
    std::vector<SearchGroupMembership> groups;
};

// A worker in one readable line, as in "interface eth0 (10.1.0.5), port 1530: listening";
// with counters, what it sent and heard in the search window follows, and the group
// memberships that failed.
std::string DescribeSearchWorker(const SearchWorkerHealth& worker, bool counters);

// The workers of the running library, in the order they were created: the broadcast worker,
// the shared SSDP worker, then the per-interface workers; then those retired in this search
// window (state gone). Empty before InitSearchLib and after ExitSearchLib. Any thread.
std::vector<SearchWorkerHealth> GetSearchWorkerHealth();

// Begins a search window: every worker counts anew, and the workers retired in the last window
// are no longer listed. InitSearchLib begins the first. A window holds any number of searches
// (SendMessage), so the counters the hints read cover all of them.
void StartSearchWindow();

// Told about every per-interface worker added after InitSearchLib has returned, by a search
// (SendMessage) or, within a second of a new address, by the library's network watcher on its
// own thread; and about every worker retired because its address went (state gone). It must
// not call the library's entry calls. Set it before InitSearchLib; null (the default) tells
// nobody.
using SearchWorkerCallback = void (*)(const SearchWorkerHealth& worker);
void SetSearchWorkerCallback(SearchWorkerCallback callback);
