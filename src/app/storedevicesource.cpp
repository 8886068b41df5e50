#include "src/app/storedevicesource.h"

#include "src/store/deviceliststore.h"

void StoreDeviceSource::InitSearch() {
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
