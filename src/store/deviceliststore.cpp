#include "src/store/deviceliststore.h"

#include <cstdio>
#include <cstring>

#include "search/protocol.h"
#include "src/store/printabletext.h"

namespace {

std::string IpKey(const deviceinfo& record) {
    return std::string(DeviceFieldText(record.ip));
}

// Upper-cases the first 8 bytes, terminator or not, so that vendor names compare in one case.
void UpperCaseVendorPrefix(char (&factory)[32]) {
    for (int i = 0; i < 8; ++i) {
        if (factory[i] >= 'a' && factory[i] <= 'z') factory[i] = static_cast<char>(factory[i] - 32);
    }
}

// KORVANT with any suffix (or none) passes; TALIX3 only as the whole text.
bool AcceptedFactory(const char (&factory)[32]) {
    return std::strncmp(factory, "KORVANT", 8) == 0 || std::strncmp("TALIX3", factory, 7) == 0 ||
           std::strncmp("KORVANT-GmbH", factory, 7) == 0;
}

void OverwriteEntry(deviceinfo& entry, const deviceinfo& report) {
    std::strncpy(entry.id, report.id, sizeof entry.id);
    std::strncpy(entry.ip, report.ip, sizeof entry.ip);
    std::strncpy(entry.host, report.host, sizeof entry.host);
    std::strncpy(entry.product, report.product, sizeof entry.product);
    std::strncpy(entry.extra, report.extra, sizeof entry.extra);
    std::strncpy(entry.osversion, report.osversion, sizeof entry.osversion);
    std::strncpy(entry.factory, report.factory, sizeof entry.factory);
    entry.lifetime = report.lifetime;
    entry.type = report.type;
}

}  // namespace

CDeviceListStore& CDeviceListStore::Instance() {
    static CDeviceListStore store;
    return store;
}

int CDeviceListStore::InitSearch(FindDeviceCallback callback, bool logSwitch,
                                 const char* logLocation, bool interfaceSwitch) {
    applicationCallback.store(callback);
    return InitSearchLib(&CDeviceListStore::OnSearchResult, logSwitch, logLocation,
                         interfaceSwitch);
}

int CDeviceListStore::SendSearch(SearchRequest* request) {
    return SendMessage(request);
}

int CDeviceListStore::OnSearchResult(deviceinfo* record, int handle) {
    return Instance().HandleResult(record, handle);
}

int CDeviceListStore::HandleResult(deviceinfo* record, int handle) {
    deviceinfo copy;
    std::memcpy(static_cast<void*>(&copy), record, sizeof copy);
    if (copy.type == kDeviceByebye) {
        RemoveDevice(copy);
    } else if (copy.type == kDeviceAnswer || copy.type == kDeviceAlive) {
        AddDevice(copy, CurrentReportSender(), std::time(nullptr));
    }
    // The store's mutex is released by now, so the application may read the list from here.
    if (FindDeviceCallback callback = applicationCallback.load()) return callback(record, handle);
    return 0;
}

bool CDeviceListStore::AcceptedVendor(const deviceinfo& record) {
    char factory[sizeof record.factory];
    std::memcpy(factory, record.factory, sizeof factory);
    UpperCaseVendorPrefix(factory);
    return AcceptedFactory(factory);
}

void CDeviceListStore::AddDevice(deviceinfo record, const char* sender, std::time_t now) {
    UpperCaseVendorPrefix(record.factory);
    // Bounded: a record handed in from outside the library need not carry a terminator. The
    // vendor text comes from the network, so it is made printable, on the stack.
    char factory[sizeof record.factory + 1];
    const std::size_t length = strnlen(record.factory, sizeof record.factory);
    std::memcpy(factory, record.factory, length);
    factory[MakePrintable(factory, length)] = '\0';
    std::printf("\nNewDeviceInfo.factory = %s\n", factory);
    if (!AcceptedFactory(record.factory)) return;

    std::lock_guard<std::mutex> lock(mutex);
    std::string ip = IpKey(record);
    auto found = positionByIp.find(ip);
    if (found == positionByIp.end()) {
        list.push_back(DeviceSighting{record});
        found = positionByIp.emplace(std::move(ip), list.size() - 1).first;
    }
    DeviceSighting& entry = list[found->second];
    if (entry.record.compare(record)) {
        entry.record.lifetime = record.lifetime;
    } else {
        OverwriteEntry(entry.record, record);
    }
    // An address is at most 15 characters; a longer text is not one and is not kept.
    std::strncpy(entry.from, std::strlen(sender) < sizeof entry.from ? sender : "",
                 sizeof entry.from);
    entry.lastHeard = now;
}

void CDeviceListStore::RemoveDevice(const deviceinfo& record) {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto entry = list.begin(); entry != list.end(); ++entry) {
        if (std::strncmp(entry->record.id, record.id, sizeof record.id) == 0) {
            list.erase(entry);
            RebuildIndex();
            return;
        }
    }
}

void CDeviceListStore::RebuildIndex() {
    positionByIp.clear();
    for (std::size_t i = 0; i < list.size(); ++i) positionByIp.emplace(IpKey(list[i].record), i);
}

void CDeviceListStore::CopyDeviceList(std::vector<deviceinfo>& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    destination.clear();
    for (const DeviceSighting& entry : list) destination.push_back(entry.record);
}

void CDeviceListStore::CopySightings(std::vector<DeviceSighting>& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    destination = list;
}

void CDeviceListStore::ClearDeviceList() {
    std::lock_guard<std::mutex> lock(mutex);
    list.clear();
    positionByIp.clear();
}

void CDeviceListStore::ForgetDevice(const std::string& ip) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = positionByIp.find(ip);
    if (found == positionByIp.end()) return;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(found->second));
    RebuildIndex();
}

void CDeviceListStore::ExitSearch() {
    ExitSearchLib();
}
