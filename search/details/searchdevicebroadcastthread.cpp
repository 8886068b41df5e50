#include "search/details/searchdevicebroadcastthread.h"

#include <cstring>
#include <exception>

#include <boost/asio/socket_base.hpp>

#include "log/searchlog.h"
#include "search/details/broadcastparser.h"
#include "search/details/probetargets.h"
#include "search/details/receivebuffer.h"
#include "search/protocol.h"

namespace asio = boost::asio;
using asio::ip::udp;

void CSearchDeviceBroadcastThread::CreateWorkThread() {
    WriteSearchLog("SendThread %d : Create Search Device Work Thread ", nPort);
    try {
        udpSocket.open(udp::v4());
        udpSocket.set_option(asio::socket_base::broadcast(true));
        udpSocket.bind(
            udp::endpoint(asio::ip::address_v4::any(), static_cast<unsigned short>(nPort)));
        // A whole LAN answering one search at once would overflow the default buffer.
        EnlargeReceiveBuffer(udpSocket);
        StartWorkThread();
    } catch (const std::exception& e) {
        FailCreateWorkThread(e);
    }
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
    if (length != static_cast<int>(sizeof(SearchRequest))) return;
    WriteSearchLog("SendThread %d : Handle Broadcast Recive Information  ", nPort);
    deviceinfo record;
    SearchRequest answer;
    std::memcpy(&answer, data, sizeof answer);
    if (answer.cmd != kSearchAnswerCmd) {
        WriteSearchLog("SendThread %d : Recive IP : %s is not Device ", nPort, fromIp.c_str());
        return;
    }
    WorkerCounters::Count(counters.answersReceived);
    CountProbeAnswer(fromIp.c_str());
    CopyDeviceField(record.ip, fromIp.c_str());
    ParseBroadcastInfo(answer, record);

    if (!ReplaceLastDevice(record)) {
        WriteSearchLog("SendThread %d : Handle Broadcast Recive Information Fail ", nPort);
        return;
    }
    WriteSearchLog("SendThread %d : Handle Broadcast Recive Information Success ", nPort);
    // Outside the worker's lock: the callback may take its time under the dispatch mutex.
    ReportDevice(record, fromIp);
}
