#pragma once

#include <functional>
#include <string>
#include <vector>

#include "src/app/devicesource.h"

// The real window's device source: the process's device list store, fed by the search library
// on the chosen interfaces (every one by default). Main thread, but for Diagnose; one at a
// time, as the library is one per process.
class StoreDeviceSource : public DeviceSource {
public:
    StoreDeviceSource() = default;
    // Shell patterns on interface names, as the search library takes them.
    StoreDeviceSource(std::vector<std::string> interfaces,
                      std::vector<std::string> excludeInterfaces);

    void SetTargets(const std::vector<std::string>& addresses) override;
    void InitSearch() override;
    void StartSearchWindow() override;
    void SendSearch() override;
    void CopyDeviceList(std::vector<deviceinfo>& destination) override;
    void CopySightings(std::vector<DeviceSighting>& destination) override;
    void ClearDeviceList() override;
    void ForgetDevice(const std::string& ip) override;
    void ExitSearch() override;
    SearchDiagnosis Diagnose(std::size_t devicesFound) override;
    void SetNetworkHandler(std::function<void()> handler) override;
    void SetReportHandler(std::function<void(const deviceinfo&)> handler) override;

private:
    std::vector<std::string> interfaces;
    std::vector<std::string> excludeInterfaces;
};
