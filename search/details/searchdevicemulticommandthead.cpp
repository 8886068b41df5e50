#include "search/details/searchdevicemulticommandthead.h"

#include <cstdint>
#include <exception>

#include "log/searchlog.h"
#include "search/details/receivebuffer.h"
#include "search/searchrequest.h"

namespace asio = boost::asio;
using asio::ip::udp;

void CSearchDeviceMultiCommandThead::CreateWorkThread() {
    WriteSearchLog("SendThread %d : Create Search Device Work Thread   ", nPort);
    try {
        udpSocket.open(udp::v4());
        // An invalid address text throws here and is retried like a failed bind.
        const asio::ip::address_v4 local =
            strIP.empty() ? asio::ip::address_v4::any() : asio::ip::make_address_v4(strIP);
        udpSocket.bind(udp::endpoint(local, nPort));
        EnlargeReceiveBuffer(udpSocket);
        StartWorkThread();
    } catch (const std::exception& e) {
        FailCreateWorkThread(e);
        if (bTestPort) HandleCreateWorkThreadError();
    }
}

void CSearchDeviceMultiCommandThead::ExitWorkThread() {
    CSearchDeviceThread::ExitWorkThread();
}

void CSearchDeviceMultiCommandThead::HandleReceive(char* data, int length, std::string& fromIp) {
    // SSDP is text: no SSDP datagram begins with the answer's command byte.
    if (length == static_cast<int>(sizeof(SearchRequest)) &&
        static_cast<std::uint8_t>(data[0]) == kSearchAnswerCmd) {
        HandleSearchAnswer(data, length, fromIp);
        return;
    }
    CSearchDeviceMulticastThread::HandleReceive(data, length, fromIp);
}
