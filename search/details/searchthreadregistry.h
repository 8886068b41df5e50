#pragma once

#include <string>
#include <vector>

#include "search/details/searchdevicethread.h"

// One registry entry: the local IPv4 address a worker serves ("" for the broadcast and the
// shared SSDP worker) and the worker. The entry does not own the worker: workers live for the
// rest of the process, because their detached receive threads may still be using them.
struct IPANDSEARCHTHREAD {
    std::string strLocalIP;
    CSearchDeviceThread* pSearchThread = nullptr;

    IPANDSEARCHTHREAD() = default;
    IPANDSEARCHTHREAD(const IPANDSEARCHTHREAD&) = default;
    IPANDSEARCHTHREAD& operator=(const IPANDSEARCHTHREAD&) = default;
    ~IPANDSEARCHTHREAD() = default;

    void setvalue(std::string localIP, CSearchDeviceThread* searchThread);
};

// The registry and its steps. Process-wide state without a lock: only the thread that makes the
// library's entry calls touches it. Entries are appended, never removed or reordered.

// First port of the per-interface workers; each new one gets 20 more, never reset.
constexpr int kFirstInterfacePort = 1530;
constexpr int kInterfacePortStep = 20;

// Broadcast worker (67), shared SSDP worker (1900; retries only without per-interface
// workers), then with interfaceSwitch the per-interface workers.
void CreateSearchThreads(bool interfaceSwitch);
// One per-interface worker for every local IPv4 address that has no entry yet.
void UpdateInterfaceThreads();
// With the per-interface switch on, first covers new addresses; then every worker in registry
// order forgets its last report and sends the request.
void SendToAllThreads(void* request);
// Tells every worker to stop; waits for none.
void StopSearchThreads();

void SetInterfaceSearch(bool interfaceSwitch);
bool InterfaceSearch();

// Appends an entry for a worker that is already set up, so its thread is running by the time a
// search can reach it.
void AppendSearchThread(const std::string& localIP, CSearchDeviceThread* worker);

// Read-only views for diagnostics and tests.
const std::vector<IPANDSEARCHTHREAD>& SearchThreadList();
int NextInterfacePort();
