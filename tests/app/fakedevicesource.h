#pragma once

#include "src/app/devicesource.h"

// A device source without a network, so that the window's tests run as any user: the test
// reports devices into its list and reads back what the controller asked of it. Main thread.
class FakeDeviceSource : public DeviceSource {
public:
    void SetTargets(const std::vector<std::string>& addresses) override { targets = addresses; }
    void InitSearch() override { ++inits; }
    void SendSearch() override { ++searches; }
    void CopyDeviceList(std::vector<deviceinfo>& destination) override { destination = list; }
    void ClearDeviceList() override;
    void ExitSearch() override { ++exits; }
    SearchFacts Facts(std::size_t devicesFound) override;

    // Adds a device, or overwrites the entry with the same address as the store does.
    void report(const char* ip, const char* host, const char* product = "KNS-220");

    std::vector<deviceinfo> list;
    std::vector<std::string> targets;
    // What Facts tells, but for the number of devices found; healthy until a test says otherwise.
    SearchFacts facts = HealthySearch();

    // One LAN, three workers listening, a search sent and answered: no hint to give.
    static SearchFacts HealthySearch();
    int inits = 0;
    int searches = 0;
    int clears = 0;
    int exits = 0;
};
