#pragma once

#include "search/details/internal.h"

#include <string>

#include "search/details/searchdevicethread.h"

// Broadcast search worker: sends the 148-byte SearchRequest to 255.255.255.255:68 from its
// socket on port 67 (bound by the port helper for a program without the privilege) and reports
// the devices' 148-byte answers. An answer equal to the last report is not reported again until
// ClearLastDevice.
class CSearchDeviceBroadcastThread : public CSearchDeviceThread {
public:
    SearchWorkerRole Role() const override { return SearchWorkerRole::Broadcast; }
    void CreateWorkThread() override;
    // Sends request unchanged; null sends the default request.
    int SendSearchCommand(const SearchRequest* request) override;
    void HandleReceive(char* data, int length, std::string& fromIp) override;

private:
    // Binds the socket to nPort; where that is denied (no privilege), takes the socket the port
    // helper bound instead. Throws the error that explains a failure.
    void BindPort();
};
