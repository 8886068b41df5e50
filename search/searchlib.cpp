#include "search/searchlib.h"

#include "log/searchlog.h"
#include "search/details/finddevice.h"
#include "search/details/searchthreadregistry.h"

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

void ExitSearchLib() {
    // Closed first, so that a report waiting behind a callback that called us gives up.
    CloseDispatch();
    StopSearchThreads();
    JoinSearchThreads();
    CloseSearchLog();
}
