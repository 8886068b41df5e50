#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "search/deviceinfo.h"

namespace discovery_test {

struct Report {
    deviceinfo record;
    int handle;
    std::string sender;  // CurrentReportSender() during the callback
};

// Installs a callback that keeps every report, and forgets the earlier ones.
void CollectReports();
std::vector<Report> Reports();
// Waits until at least count reports arrived or the limit passed; returns what arrived.
std::vector<Report> WaitForReports(std::size_t count,
                                   std::chrono::milliseconds limit = std::chrono::seconds(2));

}  // namespace discovery_test
