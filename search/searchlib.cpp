#include "search/searchlib.h"

#include "log/searchlog.h"
#include "search/details/finddevice.h"
#include "search/details/probetargets.h"
#include "search/details/searchthreadregistry.h"
#include "search/searchhealth.h"

int InitSearchLib(FindDeviceCallback callback, bool logSwitch, const char* logLocation,
                  bool interfaceSwitch) {
    OpenSearchLog(logSwitch, logLocation);
    SetFindDeviceCallback(callback);
    SetInterfaceSearch(interfaceSwitch);
    OpenDispatch();
    CreateSearchThreads(interfaceSwitch);
    return 0;
}

int SendMessage(void* pdhcp) {
    if (pdhcp == nullptr) {
        WriteSearchLog("SendMessage : pdhcp is NULL ");
        const SearchRequest request = DefaultSearchRequest();
        SendToAllThreads(&request);
    } else {
        WriteSearchLog("SendMessage : pdhcp is not NULL ");
        SendToAllThreads(static_cast<const SearchRequest*>(pdhcp));
    }
    return 0;
}

void SetSearchInterfaces(const std::vector<std::string>& include,
                         const std::vector<std::string>& exclude) {
    SetInterfaceChoice(InterfaceChoice{include, exclude});
}

bool ChoosesSearchInterface(const std::vector<std::string>& include,
                            const std::vector<std::string>& exclude,
                            const std::string& interfaceName) {
    return InterfaceChoice{include, exclude}.Chooses(interfaceName);
}

void SetSearchTargets(const std::vector<std::string>& addresses) {
    PublishProbeTargets(addresses);
}

std::vector<SearchTargetHealth> GetSearchTargetHealth() {
    const std::shared_ptr<const CProbeTargetTable> targets = CurrentProbeTargets();
    return targets ? targets->Health() : std::vector<SearchTargetHealth>{};
}

std::vector<SearchWorkerHealth> GetSearchWorkerHealth() {
    return RunningWorkerHealth();
}

void StartSearchWindow() {
    StartWindow();
}

void SetSearchWorkerCallback(SearchWorkerCallback callback) {
    SetWorkerCallback(callback);
}

void ExitSearchLib() {
    // Closed first, so that the reports still waiting are dropped rather than handed over.
    CloseDispatch();
    {
        // Called from a callback, the reports queued behind it must get through to end.
        DispatchReleaseForStop release;
        StopSearchThreads();
        JoinSearchThreads();
    }
    CloseSearchLog();
}
