#pragma once

#include <functional>
#include <condition_variable>
#include <mutex>

#include "search/details/searchfacts.h"
#include "src/app/devicesource.h"

// A device source without a network, so that the window's tests run as any user: the test
// reports devices into its list and reads back what the controller asked of it. Main thread,
// but for Diagnose, which reads the facts under a lock.
class FakeDeviceSource : public DeviceSource {
public:
    void SetTargets(const std::vector<std::string>& addresses) override { targets = addresses; }
    void InitSearch() override { ++inits; }
    void StartSearchWindow() override { ++windows; }
    void SendSearch() override { ++searches; }
    void CopyDeviceList(std::vector<deviceinfo>& destination) override { destination = list; }
    // Each device as heard just now from its own address.
    void CopySightings(std::vector<DeviceSighting>& destination) override;
    void ClearDeviceList() override;
    void ForgetDevice(const std::string& ip) override;
    void ExitSearch() override { ++exits; }
    SearchDiagnosis Diagnose(std::size_t devicesFound) override;
    void SetNetworkHandler(std::function<void()> handler) override { network = handler; }
    void SetReportHandler(std::function<void(const deviceinfo&)> handler) override {
        reports = handler;
    }
    // What the search library would do when a new address got its worker.
    void networkAppears() { network(); }
    // Diagnose waits, as a loaded machine would make it, until held is false again.
    void holdDiagnoses(bool held);
    // Replaces the facts Diagnose reads.
    void setFacts(const SearchFacts& told);

    // Adds a device, or overwrites the entry with the same address as the store does, and hands
    // the report on as the search would.
    void report(const char* ip, const char* host, const char* product = "KNS-220");
    // A byebye: the device leaves the list, and the report is handed on.
    void byebye(const char* ip);

    std::vector<deviceinfo> list;
    // What Diagnose rests on, but for the number of devices found; healthy until a test says
    // otherwise.
    std::vector<std::string> targets;
    // What Facts tells, but for the number of devices found; healthy until a test says otherwise.
    SearchFacts facts = HealthySearch();
    std::mutex factsMutex;
    std::condition_variable released;
    bool diagnosesHeld = false;
    std::function<void()> network;
    std::function<void(const deviceinfo&)> reports;

    // One LAN, three workers listening, a search sent and answered: no hint to give.
    static SearchFacts HealthySearch();
    int inits = 0;
    int windows = 0;
    int searches = 0;
    int clears = 0;
    int exits = 0;
};
