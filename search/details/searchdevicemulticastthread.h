#pragma once

#include "search/details/internal.h"

#include <string>

#include "search/details/searchdevicethread.h"

// SSDP search worker: member of the group 239.143.255.250, sends the fixed M-SEARCH to
// port 1900 and turns branded answers and announcements into device reports.
// With bTestPort set, a failed set-up retries on the next port, at most 20 times in its life.
class CSearchDeviceMulticastThread : public CSearchDeviceThread {
public:
    SearchWorkerRole Role() const override { return SearchWorkerRole::Ssdp; }
    void CreateWorkThread() override;
    void ExitWorkThread() override;
    int SendSearchCommand(const SearchRequest* request) override;
    void HandleReceive(char* data, int length, std::string& fromIp) override;

    // Joins (true) or leaves (false) the SSDP group on the any-interface, under the socket lock;
    // logs its own errors.
    void AlterMulticastGroup(bool join);
    // Retries CreateWorkThread on the next port while fewer than 20 retries were made.
    void HandleCreateWorkThreadError();
};
