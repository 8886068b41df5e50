#pragma once

// What the search library can tell about itself: each worker's state and what it has seen since
// the last search, and the machine's network interfaces. The hints (searchhints.h) explain an
// empty result from these facts.

#include <cstdint>
#include <string>
#include <vector>

enum class SearchWorkerRole { Broadcast, Ssdp, Interface };

enum class SearchWorkerState {
    Listening,  // socket bound, receive thread running
    Failed,     // the socket could not be opened or bound (setupError says why)
    Stopped,    // the receive loop ended on an error; nothing is received any more
};

// "broadcast", "ssdp", "interface"; "listening", "failed", "stopped": as reports print them.
const char* SearchWorkerRoleName(SearchWorkerRole role);
const char* SearchWorkerStateName(SearchWorkerState state);

// One running worker. Counters cover the time since the last search (SendMessage).
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
};

// A worker in one readable line, as in "interface eth0 (10.1.0.5), port 1530: listening";
// with counters, what it sent and heard since the last search follows.
std::string DescribeSearchWorker(const SearchWorkerHealth& worker, bool counters);

// The workers of the running library, in the order they were created: the broadcast worker,
// the shared SSDP worker, then the per-interface workers. Empty before InitSearchLib and after
// ExitSearchLib. Call it from the thread that makes the entry calls.
std::vector<SearchWorkerHealth> GetSearchWorkerHealth();

// Told about every per-interface worker added after InitSearchLib has returned: by a search
// (SendMessage) or, within a second of a new address, by the library's network watcher, on its
// own thread. It must not call the library's entry calls. Set it before InitSearchLib; null
// (the default) tells nobody.
using SearchWorkerCallback = void (*)(const SearchWorkerHealth& worker);
void SetSearchWorkerCallback(SearchWorkerCallback callback);

// One address of one network interface, as the system lists them.
struct LocalInterfaceAddress {
    std::string name;     // interface name
    int family = 0;       // AF_INET, AF_INET6, ...
    std::string address;  // numeric text; empty for families without one
    bool up = false;
    bool loopback = false;
};

// The system's interface addresses (getifaddrs), in its order. False with the reason in error
// when the list could not be read; addresses then holds what was gathered.
bool ReadSystemInterfaceAddresses(std::vector<LocalInterfaceAddress>& addresses,
                                  std::string& error);
