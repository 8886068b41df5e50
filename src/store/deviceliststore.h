#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "search/searchlib.h"
#include "src/store/devicesighting.h"

// The application's list of found devices, fed by the search library's callback on worker
// threads and read by the main thread. Keeps accepted vendors only, merges repeated reports
// and drops a device on its byebye; beside each entry, the sender of its latest report and when
// it was last heard. One instance per process.
class CDeviceListStore {
public:
    static CDeviceListStore& Instance();

    // Stores callback (may be null; it is handed every report after the list is updated),
    // then starts the search library with OnSearchResult. Returns InitSearchLib's result.
    int InitSearch(FindDeviceCallback callback, bool logSwitch, const char* logLocation,
                   bool interfaceSwitch);
    // One search through every worker; null sends the default request.
    int SendSearch(SearchRequest* request);
    // The library's callback: updates the list from one report, then forwards the report.
    static int OnSearchResult(deviceinfo* record, int handle);

    // Whether the list would take a report from this vendor: KORVANT with any suffix, or
    // TALIX3, in any letter case of the first 8 bytes.
    static bool AcceptedVendor(const deviceinfo& record);

    void CopyDeviceList(std::vector<deviceinfo>& destination);
    // The list with each entry's sender and last-heard time.
    void CopySightings(std::vector<DeviceSighting>& destination);
    void ClearDeviceList();
    // Takes the device at ip out of the list: a watch found it silent.
    void ForgetDevice(const std::string& ip);
    // Stops the search library (ExitSearchLib), from the thread that started it.
    void ExitSearch();

private:
    CDeviceListStore() = default;
    int HandleResult(deviceinfo* record, int handle);
    void AddDevice(deviceinfo record, const char* sender, std::time_t now);
    void RemoveDevice(const deviceinfo& record);
    void RebuildIndex();

    std::vector<DeviceSighting> list;
    // Position of the entry for each ip text. Entries never share an ip, and an entry equal to
    // a report has the report's ip, so the entry with the report's ip is the only one that
    // merging can pick: the index finds it without walking the list on every report.
    std::unordered_map<std::string, std::size_t> positionByIp;
    std::mutex mutex;
    // Written before the library starts its workers; atomic so a later InitSearch is safe too.
    std::atomic<FindDeviceCallback> applicationCallback{nullptr};
};
