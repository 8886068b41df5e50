#pragma once

#include "search/details/internal.h"

#include <string>
#include <vector>

#include "search/details/interfacechoice.h"
#include "search/details/searchdevicethread.h"
#include "search/searchhealth.h"
#include "search/searchrequest.h"

// One registry entry: the local IPv4 address a worker serves ("" for the broadcast and the
// shared SSDP worker) and the worker, which the registry owns from AppendSearchThread on.
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
// the library's entry calls and the network watcher's thread both change it. A per-interface
// worker whose address leaves the machine is retired: stopped at once (its port free), listed
// as gone until the next search window, and deleted once its thread has ended. A worker is
// deleted only after its thread was joined; the one thread never joined (a callback that
// stops the library) keeps its worker for the rest of the process.

// Broadcast worker (67), shared SSDP worker (1900; retries only without per-interface
// workers; in the group on every interface address), then with interfaceSwitch the
// per-interface workers; and the network watcher, which keeps all of it in step with the
// machine's addresses.
void CreateSearchThreads(bool interfaceSwitch);
// Follows the addresses now: retires the workers of addresses that went, adds one for every
// chosen address no worker serves (with the per-interface switch on), keeps the SSDP group
// memberships in step. Returns the workers added and retired, for the worker callback.
std::vector<SearchWorkerHealth> FollowNetwork();
// Nothing after StopSearchThreads. Follows the network, sets up again the workers whose set-up
// failed, then every running worker in registry order forgets its last report and sends the
// request.
void SendToAllThreads(const SearchRequest* request);
// Every worker counts anew; the workers retired in the last window are no longer listed.
void StartWindow();
// Stops the network watcher and the probe sweep, then tells every running worker to stop; each
// returns with its socket closed. Searches start nothing from here until the next
// CreateSearchThreads.
void StopSearchThreads();
// Waits, without a limit, for the receive threads of stopped workers to end (not the caller's
// own), then deletes the workers and empties the registry.
void JoinSearchThreads();

void SetInterfaceSearch(bool interfaceSwitch);
bool InterfaceSearch();
void SetInterfaceChoice(const InterfaceChoice& choice);
InterfaceChoice CurrentInterfaceChoice();
void SetWorkerCallback(SearchWorkerCallback callback);

// The health of every running worker in registry order, then of those retired in this window.
std::vector<SearchWorkerHealth> RunningWorkerHealth();

// Appends an entry for a worker that is already set up, so its thread is running by the time a
// search can reach it. The registry owns it from here.
void AppendSearchThread(const std::string& localIP, CSearchDeviceThread* worker);

// The first port of the lowest per-interface slot (1530 + 20·k) that no worker holds; 0 when
// every slot below 65536 is taken.
int FreeInterfacePort();

// Read-only view for diagnostics and tests.
const std::vector<IPANDSEARCHTHREAD>& SearchThreadList();
