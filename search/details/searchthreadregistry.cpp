#include "search/details/searchthreadregistry.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <utility>

#include "search/details/localiplist.h"
#include "search/details/networkwatcher.h"
#include "search/details/probesweep.h"
#include "search/details/searchdevicebroadcastthread.h"
#include "search/details/searchdevicemulticastthread.h"
#include "search/details/searchdevicemulticommandthead.h"
#include "search/protocol.h"

namespace {

// Taken by every step; recursive because a search first covers new addresses.
std::recursive_mutex registryMutex;
bool bInterfaceSearch = false;
// Never destroyed, and reachable for the whole process: the workers it holds are never freed.
std::vector<IPANDSEARCHTHREAD>& searchThreadList = *new std::vector<IPANDSEARCHTHREAD>;
int nextInterfacePort = kFirstInterfacePort;
InterfaceChoice interfaceChoice;
// The request of the latest search, which a worker added afterwards sends at once.
std::optional<SearchRequest> latestRequest;
std::atomic<SearchWorkerCallback> workerCallback{nullptr};
CNetworkWatcher& networkWatcher = *new CNetworkWatcher;

using Lock = std::lock_guard<std::recursive_mutex>;

bool Running(const IPANDSEARCHTHREAD& entry) {
    return !entry.pSearchThread->ExitRequested();
}

// A stopped worker no longer serves its address: a later start gives the address a new one.
bool RunningEntryFor(const std::string& localIP) {
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) {
        if (entry.strLocalIP == localIP && Running(entry)) return true;
    }
    return false;
}

// Adds the workers that new addresses need; returns them, already registered.
std::vector<CSearchDeviceThread*> AddInterfaceThreads() {
    std::vector<LocalInterfaceAddress> addresses;
    GetLocalInterfaceList(addresses);
    std::vector<CSearchDeviceThread*> added;
    // Looking through entries appended in this same pass gives an address listed twice one
    // worker; addresses that went away keep theirs.
    for (const LocalInterfaceAddress& address : addresses) {
        if (!interfaceChoice.Chooses(address.name) || RunningEntryFor(address.address)) continue;
        CSearchDeviceThread* worker = new CSearchDeviceMultiCommandThead;
        worker->SetInterfaceName(address.name);
        worker->InitThreadValue(address.address.c_str(), nextInterfacePort, true);
        AppendSearchThread(address.address, worker);
        nextInterfacePort += kInterfacePortStep;
        added.push_back(worker);
    }
    return added;
}

void Announce(const std::vector<SearchWorkerHealth>& workers) {
    if (SearchWorkerCallback callback = workerCallback.load()) {
        for (const SearchWorkerHealth& worker : workers) callback(worker);
    }
}

// The watcher's answer to a change: workers for new addresses, searching at once with the
// latest request so that a box on a network that just appeared is found in this search.
void FollowNetworkChange() {
    std::vector<SearchWorkerHealth> added;
    {
        Lock lock(registryMutex);
        for (CSearchDeviceThread* worker : AddInterfaceThreads()) {
            if (latestRequest) {
                worker->ClearLastDevice();
                worker->SendSearchCommand(&*latestRequest);
            }
            added.push_back(worker->Health());
        }
    }
    Announce(added);
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

void CreateSearchThreads(bool interfaceSwitch) {
    {
        Lock lock(registryMutex);
        latestRequest.reset();
        // Each worker is set up before it is registered, so a search never reaches a worker
        // whose receive thread is not yet running.
        CSearchDeviceThread* broadcast = new CSearchDeviceBroadcastThread;
        broadcast->InitThreadValue(nullptr, kBroadcastPort, false);
        AppendSearchThread("", broadcast);

        CSearchDeviceThread* ssdp = new CSearchDeviceMulticastThread;
        ssdp->InitThreadValue(nullptr, kSsdpPort, !interfaceSwitch);
        AppendSearchThread("", ssdp);

        if (interfaceSwitch) AddInterfaceThreads();
    }
    if (interfaceSwitch) networkWatcher.Start(&FollowNetworkChange);
}

void UpdateInterfaceThreads() {
    std::vector<SearchWorkerHealth> added;
    {
        Lock lock(registryMutex);
        for (CSearchDeviceThread* worker : AddInterfaceThreads()) added.push_back(worker->Health());
    }
    Announce(added);
}

void SendToAllThreads(const SearchRequest* request) {
    if (bInterfaceSearch) UpdateInterfaceThreads();
    Lock lock(registryMutex);
    latestRequest = *request;
    std::vector<CSearchDeviceThread*> searched;
    for (std::size_t i = 0; i < searchThreadList.size(); ++i) {
        if (!Running(searchThreadList[i])) continue;
        CSearchDeviceThread* worker = searchThreadList[i].pSearchThread;
        worker->ResetCounters();
        worker->ClearLastDevice();
        worker->SendSearchCommand(request);
        searched.push_back(worker);
    }
    StartProbeSweep(searched, *request);
}

void StopSearchThreads() {
    // First, and without the registry's lock, which the watcher's thread may be waiting for.
    networkWatcher.Stop();
    Lock lock(registryMutex);
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
    }
    // Without the lock: a callback that stops the library needs it while we wait for others.
    for (CSearchDeviceThread* worker : workers) worker->JoinWorkThread();
}

std::vector<SearchWorkerHealth> RunningWorkerHealth() {
    Lock lock(registryMutex);
    std::vector<SearchWorkerHealth> workers;
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) {
        if (Running(entry)) workers.push_back(entry.pSearchThread->Health());
    }
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
void SetWorkerCallback(SearchWorkerCallback callback) {
    workerCallback.store(callback);
}

const std::vector<IPANDSEARCHTHREAD>& SearchThreadList() {
    return searchThreadList;
}
int NextInterfacePort() {
    return nextInterfacePort;
}
