#include "src/app/storedevicesource.h"

#include <utility>

#include "search/searchhealth.h"
#include "search/searchlib.h"
#include "src/store/deviceliststore.h"

namespace {

// The library tells one plain function; it hands the news to the window's handler.
std::function<void()>& NetworkHandler() {
    static std::function<void()> handler;
    return handler;
}

void OnWorker(const SearchWorkerHealth& worker) {
    if (worker.state != SearchWorkerState::Gone && NetworkHandler()) NetworkHandler()();
}

}  // namespace

StoreDeviceSource::StoreDeviceSource(std::vector<std::string> interfaces,
                                     std::vector<std::string> excludeInterfaces)
    : interfaces(std::move(interfaces)), excludeInterfaces(std::move(excludeInterfaces)) {}

void StoreDeviceSource::SetTargets(const std::vector<std::string>& addresses) {
    SetSearchTargets(addresses);
}

void StoreDeviceSource::InitSearch() {
    SetSearchInterfaces(interfaces, excludeInterfaces);
    SetSearchWorkerCallback(&OnWorker);
    // No callback of the window's own and no log file; a search worker per local address.
    CDeviceListStore::Instance().InitSearch(nullptr, false, nullptr, true);
}

void StoreDeviceSource::SendSearch() {
    StartSearchWindow();
    CDeviceListStore::Instance().SendSearch(nullptr);
}

void StoreDeviceSource::CopyDeviceList(std::vector<deviceinfo>& destination) {
    CDeviceListStore::Instance().CopyDeviceList(destination);
}

void StoreDeviceSource::CopySightings(std::vector<DeviceSighting>& destination) {
    CDeviceListStore::Instance().CopySightings(destination);
}

void StoreDeviceSource::ClearDeviceList() {
    CDeviceListStore::Instance().ClearDeviceList();
}

void StoreDeviceSource::ExitSearch() {
    CDeviceListStore::Instance().ExitSearch();
    SetSearchWorkerCallback(nullptr);
}

SearchDiagnosis StoreDeviceSource::Diagnose(std::size_t devicesFound) {
    return DiagnoseSearch(devicesFound);
}

void StoreDeviceSource::SetNetworkHandler(std::function<void()> handler) {
    NetworkHandler() = std::move(handler);
}
