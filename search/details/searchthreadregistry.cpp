#include "search/details/searchthreadregistry.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <utility>

#include "log/searchlog.h"
#include "search/details/localiplist.h"
#include "search/details/networkwatcher.h"
#include "search/details/probesweep.h"
#include "search/details/searchdevicebroadcastthread.h"
#include "search/details/searchdevicemulticastthread.h"
#include "search/details/searchdevicemulticommandthead.h"
#include "search/protocol.h"

namespace {

// Taken by every step; recursive because a search first follows the network.
std::recursive_mutex registryMutex;
bool bInterfaceSearch = false;
// Set by a stop, cleared by the next start: a search after ExitSearchLib starts nothing.
bool stopped = false;
// Never destroyed, and reachable for the whole process, like the workers left to a callback.
std::vector<IPANDSEARCHTHREAD>& searchThreadList = *new std::vector<IPANDSEARCHTHREAD>;
// Stopped workers whose thread may still be finishing a report; deleted once it has ended.
std::vector<CSearchDeviceThread*>& retiredWorkers = *new std::vector<CSearchDeviceThread*>;
// Workers whose thread called ExitSearchLib from a callback: never joined, never deleted.
std::vector<CSearchDeviceThread*>& keptWorkers = *new std::vector<CSearchDeviceThread*>;
// The health of the workers retired in this search window, as they were when they went.
std::vector<SearchWorkerHealth> goneWorkers;
InterfaceChoice interfaceChoice;
// The request of the latest search, which a worker added afterwards sends at once.
std::optional<SearchRequest> latestRequest;
std::atomic<SearchWorkerCallback> workerCallback{nullptr};
CNetworkWatcher& networkWatcher = *new CNetworkWatcher;

using Lock = std::lock_guard<std::recursive_mutex>;

bool Running(const IPANDSEARCHTHREAD& entry) {
    return !entry.pSearchThread->ExitRequested();
}

bool RunningEntryFor(const std::string& localIP) {
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) {
        if (entry.strLocalIP == localIP && Running(entry)) return true;
    }
    return false;
}

bool Listed(const std::vector<LocalInterfaceAddress>& addresses, const std::string& address) {
    return std::any_of(addresses.begin(), addresses.end(), [&](const LocalInterfaceAddress& entry) {
        return entry.address == address;
    });
}

// Deletes a stopped worker once its thread has ended; wait says whether to wait for that.
// False while the worker must stay.
bool Reap(CSearchDeviceThread* worker, bool wait) {
    if (!wait && worker->WorkThreadRunning()) return false;
    if (worker->JoinWorkThread()) {
        delete worker;
    } else {
        keptWorkers.push_back(worker);
    }
    return true;
}

void ReapRetired() {
    retiredWorkers.erase(
        std::remove_if(retiredWorkers.begin(), retiredWorkers.end(),
                       [](CSearchDeviceThread* worker) { return Reap(worker, false); }),
        retiredWorkers.end());
}

// Stops the per-interface workers whose address is no longer one to search from.
std::vector<SearchWorkerHealth> RetireGoneThreads(
    const std::vector<LocalInterfaceAddress>& addresses) {
    std::vector<SearchWorkerHealth> gone;
    for (auto entry = searchThreadList.begin(); entry != searchThreadList.end();) {
        CSearchDeviceThread* worker = entry->pSearchThread;
        if (worker->Role() != SearchWorkerRole::Interface || Listed(addresses, entry->strLocalIP)) {
            ++entry;
            continue;
        }
        // The sweep in progress may send from it, and a retired worker is deleted later; the
        // next search takes the sweep up where it stopped.
        ProbeSweep().Stop();
        WriteSearchLog("Watch Local IP Info : %s went, its worker on port %d stops  ",
                       entry->strLocalIP.c_str(), worker->Port());
        worker->ExitWorkThread();
        SearchWorkerHealth health = worker->Health();
        health.state = SearchWorkerState::Gone;
        goneWorkers.push_back(health);
        gone.push_back(std::move(health));
        retiredWorkers.push_back(worker);
        entry = searchThreadList.erase(entry);
    }
    return gone;
}

CSearchDeviceThread* NewInterfaceWorker(const std::string& interfaceName,
                                        const std::string& address, int port) {
    CSearchDeviceThread* worker = new CSearchDeviceMultiCommandThead;
    worker->SetInterfaceName(interfaceName);
    worker->InitThreadValue(address.c_str(), port, true);
    return worker;
}

// Adds the workers that new addresses need; returns them, already registered.
std::vector<CSearchDeviceThread*> AddInterfaceThreads(
    const std::vector<LocalInterfaceAddress>& addresses) {
    std::vector<CSearchDeviceThread*> added;
    // Looking through entries appended in this same pass gives an address listed twice one
    // worker.
    for (const LocalInterfaceAddress& address : addresses) {
        if (!interfaceChoice.Chooses(address.name) || RunningEntryFor(address.address)) continue;
        const int port = FreeInterfacePort();
        if (port == 0) {
            WriteSearchLog("Watch Local IP Info : no free port for %s  ", address.address.c_str());
            continue;
        }
        CSearchDeviceThread* worker = NewInterfaceWorker(address.name, address.address, port);
        AppendSearchThread(address.address, worker);
        added.push_back(worker);
    }
    return added;
}

// A worker like the failed one, set up anew on the port it was first given.
CSearchDeviceThread* SetUpAgain(const CSearchDeviceThread& failed, const std::string& localIP) {
    switch (failed.Role()) {
        case SearchWorkerRole::Interface:
            return NewInterfaceWorker(failed.InterfaceName(), localIP, failed.FirstPort());
        case SearchWorkerRole::Broadcast: {
            CSearchDeviceThread* worker = new CSearchDeviceBroadcastThread;
            worker->InitThreadValue(nullptr, failed.FirstPort(), failed.RetriesPorts());
            return worker;
        }
        case SearchWorkerRole::Ssdp: {
            CSearchDeviceThread* worker = new CSearchDeviceMulticastThread;
            worker->InitThreadValue(nullptr, failed.FirstPort(), failed.RetriesPorts());
            return worker;
        }
    }
    return nullptr;
}

// Workers whose set-up failed (a port taken, no privilege, an address not yet usable) are set
// up again at each search; returns those that now listen.
std::vector<SearchWorkerHealth> SetUpFailedAgain() {
    std::vector<SearchWorkerHealth> listening;
    for (IPANDSEARCHTHREAD& entry : searchThreadList) {
        CSearchDeviceThread* failed = entry.pSearchThread;
        const SearchWorkerHealth health = failed->Health();
        if (!Running(entry) || health.state != SearchWorkerState::Failed ||
            health.setupErrorText.empty()) {
            continue;
        }
        CSearchDeviceThread* worker = SetUpAgain(*failed, entry.strLocalIP);
        // Its thread never started, so nothing else can hold it.
        delete failed;
        entry.pSearchThread = worker;
        SearchWorkerHealth now = worker->Health();
        if (now.state == SearchWorkerState::Listening) listening.push_back(std::move(now));
    }
    return listening;
}

CSearchDeviceMulticastThread* SharedSsdpWorker() {
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) {
        if (entry.pSearchThread->Role() == SearchWorkerRole::Ssdp && Running(entry)) {
            return dynamic_cast<CSearchDeviceMulticastThread*>(entry.pSearchThread);
        }
    }
    return nullptr;
}

void Announce(const std::vector<SearchWorkerHealth>& workers) {
    if (SearchWorkerCallback callback = workerCallback.load()) {
        for (const SearchWorkerHealth& worker : workers) callback(worker);
    }
}

// The watcher's answer to a change: a worker searching at once with the latest request, so that
// a box on a network that just appeared is found in this search.
void FollowNetworkChange() {
    Announce(FollowNetwork());
}

}  // namespace

void IPANDSEARCHTHREAD::setvalue(std::string localIP, CSearchDeviceThread* searchThread) {
    strLocalIP = std::move(localIP);
    pSearchThread = searchThread;
}

void AppendSearchThread(const std::string& localIP, CSearchDeviceThread* worker) {
    Lock lock(registryMutex);
    IPANDSEARCHTHREAD entry;
    entry.setvalue(localIP, worker);
    searchThreadList.push_back(entry);
}

int FreeInterfacePort() {
    Lock lock(registryMutex);
    // A retired worker has closed its socket already, so only the registered ones hold a slot.
    const auto taken = [](int port) {
        return std::any_of(searchThreadList.begin(), searchThreadList.end(),
                           [port](const IPANDSEARCHTHREAD& entry) {
                               return entry.pSearchThread->Role() == SearchWorkerRole::Interface &&
                                      entry.pSearchThread->FirstPort() == port;
                           });
    };
    for (int port = kFirstInterfacePort; port <= 65535; port += kInterfacePortStep) {
        if (!taken(port)) return port;
    }
    return 0;
}

void CreateSearchThreads(bool interfaceSwitch) {
    {
        Lock lock(registryMutex);
        stopped = false;
        latestRequest.reset();
        goneWorkers.clear();
        // Each worker is set up before it is registered, so a search never reaches a worker
        // whose receive thread is not yet running.
        CSearchDeviceThread* broadcast = new CSearchDeviceBroadcastThread;
        broadcast->InitThreadValue(nullptr, kBroadcastPort, false);
        AppendSearchThread("", broadcast);

        CSearchDeviceThread* ssdp = new CSearchDeviceMulticastThread;
        ssdp->InitThreadValue(nullptr, kSsdpPort, !interfaceSwitch);
        AppendSearchThread("", ssdp);

        if (interfaceSwitch) {
            std::vector<LocalInterfaceAddress> addresses;
            GetLocalInterfaceList(addresses);
            AddInterfaceThreads(addresses);
        }
    }
    // Also without per-interface workers: the group follows the addresses.
    networkWatcher.Start(&FollowNetworkChange);
}

std::vector<SearchWorkerHealth> FollowNetwork() {
    // One listing serves the group (every address) and the per-interface workers.
    std::vector<LocalInterfaceAddress> all;
    std::string error;
    const bool listed = ListLocalAddresses(all, error);
    std::vector<LocalInterfaceAddress> searchable;
    if (bInterfaceSearch) searchable = SearchableAddresses(all, listed, error);

    Lock lock(registryMutex);
    if (stopped) return {};
    ReapRetired();
    std::vector<SearchWorkerHealth> changed;
    if (bInterfaceSearch) {
        changed = RetireGoneThreads(searchable);
        for (CSearchDeviceThread* worker : AddInterfaceThreads(searchable)) {
            if (latestRequest) {
                worker->ClearLastDevice();
                worker->SendSearchCommand(&*latestRequest);
            }
            changed.push_back(worker->Health());
        }
    }
    if (CSearchDeviceMulticastThread* ssdp = SharedSsdpWorker()) ssdp->FollowGroup(all);
    return changed;
}

void SendToAllThreads(const SearchRequest* request) {
    std::vector<SearchWorkerHealth> changed;
    {
        Lock lock(registryMutex);
        if (stopped) return;
        // The sweep in progress sends from workers that may be set up anew here.
        ProbeSweep().Stop();
        // Workers added here send below, with every other.
        latestRequest.reset();
        changed = FollowNetwork();
        for (SearchWorkerHealth& worker : SetUpFailedAgain()) changed.push_back(std::move(worker));
        latestRequest = *request;
        std::vector<CSearchDeviceThread*> searched;
        for (std::size_t i = 0; i < searchThreadList.size(); ++i) {
            if (!Running(searchThreadList[i])) continue;
            CSearchDeviceThread* worker = searchThreadList[i].pSearchThread;
            worker->ClearLastDevice();
            worker->SendSearchCommand(request);
            searched.push_back(worker);
        }
        StartProbeSweep(searched, *request);
    }
    Announce(changed);
}

void StartWindow() {
    Lock lock(registryMutex);
    goneWorkers.clear();
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) entry.pSearchThread->ResetCounters();
    if (const std::shared_ptr<const CProbeTargetTable> targets = CurrentProbeTargets()) {
        targets->Reset();
    }
}

void StopSearchThreads() {
    // First, and without the registry's lock, which the watcher's thread may be waiting for.
    networkWatcher.Stop();
    Lock lock(registryMutex);
    stopped = true;
    // Under the lock, with stopped set: no search can start a sweep after this one, and the
    // sweep, which sends from the workers' sockets, ends before them.
    ProbeSweep().Stop();
    for (std::size_t i = 0; i < searchThreadList.size(); ++i) {
        if (Running(searchThreadList[i])) searchThreadList[i].pSearchThread->ExitWorkThread();
    }
}

void JoinSearchThreads() {
    std::vector<CSearchDeviceThread*> workers;
    {
        Lock lock(registryMutex);
        for (const IPANDSEARCHTHREAD& entry : searchThreadList) {
            workers.push_back(entry.pSearchThread);
        }
        workers.insert(workers.end(), retiredWorkers.begin(), retiredWorkers.end());
        searchThreadList.clear();
        retiredWorkers.clear();
        goneWorkers.clear();
    }
    // Without the lock: a callback that stops the library needs it while we wait for others.
    for (CSearchDeviceThread* worker : workers) Reap(worker, true);
}

std::vector<SearchWorkerHealth> RunningWorkerHealth() {
    Lock lock(registryMutex);
    std::vector<SearchWorkerHealth> workers;
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) {
        if (Running(entry)) workers.push_back(entry.pSearchThread->Health());
    }
    workers.insert(workers.end(), goneWorkers.begin(), goneWorkers.end());
    return workers;
}

void SetInterfaceSearch(bool interfaceSwitch) {
    bInterfaceSearch = interfaceSwitch;
}
bool InterfaceSearch() {
    return bInterfaceSearch;
}
void SetInterfaceChoice(const InterfaceChoice& choice) {
    Lock lock(registryMutex);
    interfaceChoice = choice;
}
InterfaceChoice CurrentInterfaceChoice() {
    Lock lock(registryMutex);
    return interfaceChoice;
}
void SetWorkerCallback(SearchWorkerCallback callback) {
    workerCallback.store(callback);
}

const std::vector<IPANDSEARCHTHREAD>& SearchThreadList() {
    return searchThreadList;
}
