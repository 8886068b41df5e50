#include "tests/app/fakedevicesource.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <ctime>

void FakeDeviceSource::ClearDeviceList() {
    list.clear();
    ++clears;
}

void FakeDeviceSource::CopySightings(std::vector<DeviceSighting>& destination) {
    destination.clear();
    for (const deviceinfo& record : list) {
        DeviceSighting sighting{record};
        std::strncpy(sighting.from, record.ip, sizeof sighting.from - 1);
        sighting.lastHeard = std::time(nullptr);
        destination.push_back(sighting);
    }
}

void FakeDeviceSource::report(const char* ip, const char* host, const char* product) {
    deviceinfo record;
    CopyDeviceField(record.id, ip);
    CopyDeviceField(record.ip, ip);
    CopyDeviceField(record.host, host);
    CopyDeviceField(record.product, product);
    CopyDeviceField(record.factory, "KORVANT");
    record.type = 1;
    const auto same = std::find_if(list.begin(), list.end(), [&](const deviceinfo& entry) {
        return std::strncmp(entry.ip, record.ip, sizeof entry.ip) == 0;
    });
    if (same != list.end()) {
        *same = record;
    } else {
        list.push_back(record);
    }
    if (reports) reports(record);
}

void FakeDeviceSource::byebye(const char* ip) {
    const auto same = std::find_if(list.begin(), list.end(), [&](const deviceinfo& entry) {
        return DeviceFieldText(entry.ip) == ip;
    });
    if (same == list.end()) return;
    deviceinfo record = *same;
    record.type = 4;
    list.erase(same);
    if (reports) reports(record);
}

void FakeDeviceSource::ForgetDevice(const std::string& ip) {
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [&](const deviceinfo& entry) { return DeviceFieldText(entry.ip) == ip; }),
        list.end());
}

SearchDiagnosis FakeDeviceSource::Diagnose(std::size_t devicesFound) {
    std::unique_lock<std::mutex> lock(factsMutex);
    released.wait_for(lock, std::chrono::seconds(5), [this] { return !diagnosesHeld; });
    SearchFacts told = facts;
    told.devicesFound = devicesFound;
    SearchDiagnosis diagnosis;
    diagnosis.hints = SearchHints(told);
    diagnosis.workers = told.workers;
    return diagnosis;
}

void FakeDeviceSource::holdDiagnoses(bool held) {
    {
        std::lock_guard<std::mutex> lock(factsMutex);
        diagnosesHeld = held;
    }
    released.notify_all();
}

void FakeDeviceSource::setFacts(const SearchFacts& told) {
    std::lock_guard<std::mutex> lock(factsMutex);
    facts = told;
}

SearchFacts FakeDeviceSource::HealthySearch() {
    SearchFacts facts;
    facts.interfaces = {{"eth0", AF_INET, "192.168.1.2", true, false}};
    const SearchWorkerRole roles[] = {SearchWorkerRole::Broadcast, SearchWorkerRole::Ssdp,
                                      SearchWorkerRole::Interface};
    const int ports[] = {67, 1900, 1530};
    for (int i = 0; i < 3; ++i) {
        SearchWorkerHealth worker;
        worker.role = roles[i];
        worker.firstPort = worker.port = ports[i];
        worker.state = SearchWorkerState::Listening;
        worker.searchesSent = 1;
        worker.answersReceived = 1;
        facts.workers.push_back(worker);
    }
    facts.workers[2].address = "192.168.1.2";
    facts.workers[2].interfaceName = "eth0";
    facts.portHelperPath = "/usr/libexec/nasfinder/nasfinder-port-helper";
    return facts;
}
