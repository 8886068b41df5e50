#include "search/details/searchthreadregistry.h"

#include <utility>

#include "search/details/localiplist.h"
#include "search/details/searchdevicebroadcastthread.h"
#include "search/details/searchdevicemulticastthread.h"
#include "search/details/searchdevicemulticommandthead.h"

namespace {

bool bInterfaceSearch = false;
// Never destroyed: it keeps the workers, which outlive every static destructor because their
// detached receive threads may still be ending when the process exits.
std::vector<IPANDSEARCHTHREAD>& searchThreadList = *new std::vector<IPANDSEARCHTHREAD>;
int nextInterfacePort = kFirstInterfacePort;

constexpr int kBroadcastPort = 67;
constexpr int kSsdpPort = 1900;

bool HasEntryFor(const std::string& localIP) {
    for (const IPANDSEARCHTHREAD& entry : searchThreadList) {
        if (entry.strLocalIP == localIP) return true;
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
    // receive thread is not yet running. Workers are never freed (see IPANDSEARCHTHREAD).
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
        if (HasEntryFor(address)) continue;
        CSearchDeviceThread* worker = new CSearchDeviceMultiCommandThead;
        worker->InitThreadValue(address.c_str(), nextInterfacePort, true);
        AppendSearchThread(address, worker);
        nextInterfacePort += kInterfacePortStep;
    }
}

void SendToAllThreads(void* request) {
    if (bInterfaceSearch) UpdateInterfaceThreads();
    for (std::size_t i = 0; i < searchThreadList.size(); ++i) {
        CSearchDeviceThread* worker = searchThreadList[i].pSearchThread;
        worker->ClearLastDevice();
        worker->SendSearchCommand(request);
    }
}

void StopSearchThreads() {
    for (std::size_t i = 0; i < searchThreadList.size(); ++i) {
        searchThreadList[i].pSearchThread->ExitWorkThread();
    }
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
