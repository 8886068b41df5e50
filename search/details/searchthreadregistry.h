#pragma once

#include "search/details/internal.h"

#include <string>
#include <vector>

#include "search/details/interfacechoice.h"
#include "search/details/searchdevicethread.h"
#include "search/searchhealth.h"
#include "search/searchrequest.h"

// One registry entry: the local IPv4 address a worker serves ("" for the broadcast and the
// shared SSDP worker) and the worker. The entry does not own the worker: workers live for the
// rest of the process, so that nothing is ever freed under a thread that may still use it.
struct IPANDSEARCHTHREAD {
    std::string strLocalIP;
    CSearchDeviceThread* pSearchThread = nullptr;

    IPANDSEARCHTHREAD() = default;
    IPANDSEARCHTHREAD(const IPANDSEARCHTHREAD&) = default;
    IPANDSEARCHTHREAD& operator=(const IPANDSEARCHTHREAD&) = default;
    ~IPANDSEARCHTHREAD() = default;

    void setvalue(std::string localIP, CSearchDeviceThread* searchThread);
};

// The registry and its steps: process-wide state under one lock, because the thread that makes
// the library's entry calls and the network watcher's thread both add workers. Entries are
// appended, never removed or reordered; the entries of a stopped library stay behind those of
// a later start.

// Broadcast worker (67), shared SSDP worker (1900; retries only without per-interface
// workers), then with interfaceSwitch the per-interface workers and the network watcher.
void CreateSearchThreads(bool interfaceSwitch);
// One per-interface worker for every chosen local IPv4 address that no running worker serves.
void UpdateInterfaceThreads();
// With the per-interface switch on, first covers new addresses; then every running worker in
// registry order starts counting anew, forgets its last report and sends the request.
void SendToAllThreads(const SearchRequest* request);
// Stops the network watcher, then tells every running worker to stop; each returns with its
// socket closed.
void StopSearchThreads();
// Waits, bounded, for the receive threads of stopped workers to end (not the caller's own).
void JoinSearchThreads();

void SetInterfaceSearch(bool interfaceSwitch);
bool InterfaceSearch();
void SetInterfaceChoice(const InterfaceChoice& choice);
void SetWorkerCallback(SearchWorkerCallback callback);

// The health of every running worker, in registry order.
std::vector<SearchWorkerHealth> RunningWorkerHealth();

// Appends an entry for a worker that is already set up, so its thread is running by the time a
// search can reach it.
void AppendSearchThread(const std::string& localIP, CSearchDeviceThread* worker);

// Read-only views for diagnostics and tests.
const std::vector<IPANDSEARCHTHREAD>& SearchThreadList();
int NextInterfacePort();
