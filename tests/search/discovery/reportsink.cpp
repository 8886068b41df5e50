#include "tests/search/discovery/reportsink.h"

#include <condition_variable>
#include <mutex>

#include "search/details/finddevice.h"

namespace discovery_test {
namespace {

std::mutex sinkMutex;
std::condition_variable arrived;
std::vector<Report> reports;

int Collect(deviceinfo* record, int handle) {
    std::lock_guard<std::mutex> lock(sinkMutex);
    reports.push_back({*record, handle, CurrentReportSender()});
    arrived.notify_all();
    return 0;
}

}  // namespace

void CollectReports() {
    std::lock_guard<std::mutex> lock(sinkMutex);
    reports.clear();
    SetFindDeviceCallback(&Collect);
}

std::vector<Report> Reports() {
    std::lock_guard<std::mutex> lock(sinkMutex);
    return reports;
}

std::vector<Report> WaitForReports(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(sinkMutex);
    arrived.wait_for(lock, limit, [&] { return reports.size() >= count; });
    return reports;
}

}  // namespace discovery_test
