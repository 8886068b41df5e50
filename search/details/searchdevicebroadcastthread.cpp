#include "search/details/searchdevicebroadcastthread.h"

#include <unistd.h>

#include <exception>
#include <string>

#include <boost/asio/socket_base.hpp>
#include <boost/system/system_error.hpp>

#include "log/searchlog.h"
#include "search/details/porthelper.h"
#include "search/details/receivebuffer.h"
#include "search/protocol.h"

namespace asio = boost::asio;
using asio::ip::udp;

void CSearchDeviceBroadcastThread::CreateWorkThread() {
    WriteSearchLog("SendThread %d : Create Search Device Work Thread ", nPort);
    try {
        udpSocket.open(udp::v4());
        BindPort();
        udpSocket.set_option(asio::socket_base::broadcast(true));
        // A whole LAN answering one search at once would overflow the default buffer.
        EnlargeReceiveBuffer(udpSocket);
        StartWorkThread();
    } catch (const std::exception& e) {
        FailCreateWorkThread(e);
    }
}

void CSearchDeviceBroadcastThread::BindPort() {
    boost::system::error_code error;
    udpSocket.bind(udp::endpoint(asio::ip::address_v4::any(), static_cast<unsigned short>(nPort)),
                   error);
    if (!error) return;
    const bool denied = error == boost::system::errc::permission_denied ||
                        error == boost::system::errc::operation_not_permitted;
    // Thrown as the throwing bind would, so that the log line reads as it always has.
    if (!denied || nPort != kBroadcastPort) throw boost::system::system_error(error, "bind");

    const std::string helper = PortHelperPath();
    WriteSearchLog("SendThread %d : Bind Port Denied, Ask Port Helper %s  ", nPort, helper.c_str());
    const PortHelperResult result = RunPortHelper(helper);
    if (result.descriptor < 0) {
        WriteSearchLog("SendThread %d : Port Helper Fail : %s  ", nPort, result.failure.c_str());
        // What the helper met binding the port (another program holding it) is the real error;
        // a helper that told nothing leaves the denial, which the hints explain.
        if (result.error != 0) error.assign(result.error, boost::system::system_category());
        throw boost::system::system_error(error, "bind");
    }
    boost::system::error_code ignored;
    udpSocket.close(ignored);
    udpSocket.assign(udp::v4(), result.descriptor, error);
    if (error) {
        ::close(result.descriptor);
        throw boost::system::system_error(error, "assign");
    }
    WriteSearchLog("SendThread %d : Port Helper Bound Port  ", nPort);
}

int CSearchDeviceBroadcastThread::SendSearchCommand(const SearchRequest* request) {
    WriteSearchLog("SendThread %d : Send Broadcast Search Command  ", nPort);
    const SearchRequest fallback = DefaultSearchRequest();
    const SearchRequest* record = request != nullptr ? request : &fallback;
    try {
        SendDatagram(record, sizeof *record,
                     udp::endpoint(asio::ip::address_v4::broadcast(), kBroadcastRequestPort));
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Send Broadcast Search Error : %s   ", nPort, e.what());
    }
    return 0;
}

void CSearchDeviceBroadcastThread::HandleReceive(char* data, int length, std::string& fromIp) {
    HandleSearchAnswer(data, length, fromIp);
}
