#include "src/app/storedevicesource.h"

#include <utility>

#include "search/searchlib.h"
#include "src/store/deviceliststore.h"

StoreDeviceSource::StoreDeviceSource(std::vector<std::string> interfaces,
                                     std::vector<std::string> excludeInterfaces)
    : interfaces(std::move(interfaces)), excludeInterfaces(std::move(excludeInterfaces)) {}

void StoreDeviceSource::SetTargets(const std::vector<std::string>& addresses) {
    SetSearchTargets(addresses);
}

void StoreDeviceSource::InitSearch() {
    SetSearchInterfaces(interfaces, excludeInterfaces);
    // No callback of the window's own and no log file; a search worker per local address.
    CDeviceListStore::Instance().InitSearch(nullptr, false, nullptr, true);
}

void StoreDeviceSource::SendSearch() {
    CDeviceListStore::Instance().SendSearch(nullptr);
}

void StoreDeviceSource::CopyDeviceList(std::vector<deviceinfo>& destination) {
    CDeviceListStore::Instance().CopyDeviceList(destination);
}

void StoreDeviceSource::ClearDeviceList() {
    CDeviceListStore::Instance().ClearDeviceList();
}

void StoreDeviceSource::ExitSearch() {
    CDeviceListStore::Instance().ExitSearch();
}

SearchFacts StoreDeviceSource::Facts(std::size_t devicesFound) {
    return GatherSearchFacts(devicesFound);
}
