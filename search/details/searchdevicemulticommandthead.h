#pragma once

#include "search/details/internal.h"

#include "search/details/searchdevicemulticastthread.h"

// SSDP search worker of one local IPv4 address: its socket is bound to (strIP, nPort), so its
// M-SEARCH leaves from that address and the answers to it come back here. It never joins the
// SSDP group; announcements are the shared SSDP worker's business. Retries on the following
// ports like the SSDP worker when bTestPort is set. A probe sweep may send the search request
// to a box beyond this network from it (when the broadcast worker cannot send), so it also
// reports the boxes' 148-byte answers.
class CSearchDeviceMultiCommandThead : public CSearchDeviceMulticastThread {
public:
    SearchWorkerRole Role() const override { return SearchWorkerRole::Interface; }
    void CreateWorkThread() override;
    // Stops like the base worker: no group to leave.
    void ExitWorkThread() override;
    void HandleReceive(char* data, int length, std::string& fromIp) override;
};
