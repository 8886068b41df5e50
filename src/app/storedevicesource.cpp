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

std::function<void(const deviceinfo&)>& ReportHandler() {
    static std::function<void(const deviceinfo&)> handler;
    return handler;
}

int OnReport(deviceinfo* record, int) {
    if (ReportHandler()) ReportHandler()(*record);
    return 0;
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
    // No log file; a search worker per local address.
    CDeviceListStore::Instance().InitSearch(&OnReport, false, nullptr, true);
}

void StoreDeviceSource::StartSearchWindow() {
    ::StartSearchWindow();
}

void StoreDeviceSource::SendSearch() {
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

void StoreDeviceSource::ForgetDevice(const std::string& ip) {
    CDeviceListStore::Instance().ForgetDevice(ip);
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

void StoreDeviceSource::SetReportHandler(std::function<void(const deviceinfo&)> handler) {
    ReportHandler() = std::move(handler);
}
