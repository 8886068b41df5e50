#include "search/details/searchthreadregistry.h"

#include <utility>

#include "search/details/localiplist.h"
#include "search/details/searchdevicebroadcastthread.h"
#include "search/details/searchdevicemulticastthread.h"
#include "search/details/searchdevicemulticommandthead.h"
#include "search/protocol.h"

namespace {

bool bInterfaceSearch = false;
// Never destroyed, and reachable for the whole process: the workers it holds are never freed.
std::vector<IPANDSEARCHTHREAD>& searchThreadList = *new std::vector<IPANDSEARCHTHREAD>;
int nextInterfacePort = kFirstInterfacePort;

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

}  // namespace

void IPANDSEARCHTHREAD::setvalue(std::string localIP, CSearchDeviceThread* searchThread) {
    strLocalIP = std::move(localIP);
    pSearchThread = searchThread;
}

void AppendSearchThread(const std::string& localIP, CSearchDeviceThread* worker) {
    IPANDSEARCHTHREAD entry;
    entry.setvalue(localIP, worker);
    searchThreadList.push_back(entry);
}

void CreateSearchThreads(bool interfaceSwitch) {
    // Each worker is set up before it is registered, so a search never reaches a worker whose
    // receive thread is not yet running.
    CSearchDeviceThread* broadcast = new CSearchDeviceBroadcastThread;
    broadcast->InitThreadValue(nullptr, kBroadcastPort, false);
    AppendSearchThread("", broadcast);

    CSearchDeviceThread* ssdp = new CSearchDeviceMulticastThread;
    ssdp->InitThreadValue(nullptr, kSsdpPort, !interfaceSwitch);
    AppendSearchThread("", ssdp);

    if (interfaceSwitch) UpdateInterfaceThreads();
}

void UpdateInterfaceThreads() {
    std::vector<std::string> addresses;
    GetLocalIPList(addresses);
    // Looking through entries appended in this same pass gives an address listed twice one
    // worker; addresses that went away keep theirs.
    for (const std::string& address : addresses) {
        if (RunningEntryFor(address)) continue;
        CSearchDeviceThread* worker = new CSearchDeviceMultiCommandThead;
        worker->InitThreadValue(address.c_str(), nextInterfacePort, true);
        AppendSearchThread(address, worker);
        nextInterfacePort += kInterfacePortStep;
    }
}

void SendToAllThreads(const SearchRequest* request) {
    if (bInterfaceSearch) UpdateInterfaceThreads();
    for (std::size_t i = 0; i < searchThreadList.size(); ++i) {
        if (!Running(searchThreadList[i])) continue;
        CSearchDeviceThread* worker = searchThreadList[i].pSearchThread;
        worker->ClearLastDevice();
        worker->SendSearchCommand(request);
    }
}

void StopSearchThreads() {
    for (std::size_t i = 0; i < searchThreadList.size(); ++i) {
        if (Running(searchThreadList[i])) searchThreadList[i].pSearchThread->ExitWorkThread();
    }
}

void JoinSearchThreads() {
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) entry.pSearchThread->JoinWorkThread();
}

void SetInterfaceSearch(bool interfaceSwitch) {
    bInterfaceSearch = interfaceSwitch;
}
bool InterfaceSearch() {
    return bInterfaceSearch;
}

const std::vector<IPANDSEARCHTHREAD>& SearchThreadList() {
    return searchThreadList;
}
int NextInterfacePort() {
    return nextInterfacePort;
}
