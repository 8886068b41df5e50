#pragma once

#include "src/app/devicesource.h"

// The real window's device source: the process's device list store, fed by the search library
// on every interface. Main thread only, like every DeviceSource.
class StoreDeviceSource : public DeviceSource {
public:
    void InitSearch() override;
    void SendSearch() override;
    void CopyDeviceList(std::vector<deviceinfo>& destination) override;
    void ClearDeviceList() override;
    void ExitSearch() override;
};
