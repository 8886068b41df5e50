#include "search/details/searchdevicemulticastthread.h"

#include <exception>

#include <boost/asio/ip/multicast.hpp>

#include "log/searchlog.h"
#include "search/details/probetargets.h"
#include "search/details/receivebuffer.h"
#include "search/details/ssdpparser.h"
#include "search/protocol.h"

namespace asio = boost::asio;
using asio::ip::udp;

namespace {

constexpr int kRetryLimit = 20;

}  // namespace

void CSearchDeviceMulticastThread::CreateWorkThread() {
    WriteSearchLog("SendThread %d : Create Search Device Work Thread   ", nPort);
    try {
        udpSocket.open(udp::v4());
        AlterMulticastGroup(true);
        udpSocket.bind(
            udp::endpoint(asio::ip::address_v4::any(), static_cast<unsigned short>(nPort)));
        // A whole LAN answering one search at once would overflow the default buffer.
        EnlargeReceiveBuffer(udpSocket);
        StartWorkThread();
    } catch (const std::exception& e) {
        FailCreateWorkThread(e);
        if (bTestPort) HandleCreateWorkThreadError();
    }
}

void CSearchDeviceMulticastThread::HandleCreateWorkThreadError() {
    WriteSearchLog("SendThread %d : Handle Create Search Device Work Thread Error  ", nPort);
    if (testCount >= kRetryLimit) return;
    ++testCount;
    ++nPort;
    WriteSearchLog(
        "SendThread %d : Test Create Search Device Work Thread, testCount = %d, port = %d  ", nPort,
        testCount, nPort);
    // Runs inside the failed attempt's error handling, so retries nest at most 20 deep.
    CreateWorkThread();
}

void CSearchDeviceMulticastThread::AlterMulticastGroup(bool join) {
    try {
        asio::ip::address_v4 group = asio::ip::make_address_v4(kSsdpGroup);
        // The any-interface lets the system pick the interface the group's route names.
        if (join) {
            auto lock = LockSocket();
            udpSocket.set_option(
                asio::ip::multicast::join_group(group, asio::ip::address_v4::any()));
        } else {
            auto lock = LockSocket();
            udpSocket.set_option(
                asio::ip::multicast::leave_group(group, asio::ip::address_v4::any()));
        }
        WriteSearchLog(join ? "SendThread %d : Add To Multicast Group Info "
                            : "SendThread %d : Leave To Multicast Group Info ",
                       nPort);
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Alter Device Mulitcast Group Error : %s  \r\n", nPort,
                       e.what());
    }
}

void CSearchDeviceMulticastThread::ExitWorkThread() {
    AlterMulticastGroup(false);
    CSearchDeviceThread::ExitWorkThread();
}

int CSearchDeviceMulticastThread::SendSearchCommand(const SearchRequest*) {
    WriteSearchLog("SendThread %d : Send Search Device Command  ", nPort);
    try {
        udp::endpoint group(asio::ip::make_address_v4(kSsdpGroup), kSsdpPort);
        SendDatagram(kMSearch, kMSearchLength, group);
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Send Search Device Error : %s   ", nPort, e.what());
    }
    return 0;
}

void CSearchDeviceMulticastThread::HandleReceive(char* data, int, std::string& fromIp) {
    WriteSearchLog("SendThread %d : Handle Mulitcast Recive Information  ", nPort);
    deviceinfo record;
    if (!ParseSsdpDatagram(data, fromIp.c_str(), record)) return;
    WorkerCounters::Count(record.type == kDeviceAnswer ? counters.answersReceived
                                                       : counters.announcementsHeard);
    if (record.type == kDeviceAnswer) CountProbeAnswer(fromIp.c_str());

    if (!ReplaceLastDevice(record)) {
        // An identical report empties the memory, so identical reports alternate: the next
        // one goes out again.
        ClearLastDevice();
        WriteSearchLog(
            "SendThread %d : Handle Mulitcast Recive Information Fail : Old Device, type = %d ",
            nPort, record.type);
        return;
    }
    WriteSearchLog("SendThread %d : Handle Mulitcast Recive Information Success, type = %d ", nPort,
                   record.type);
    // Outside the worker's lock: the callback may take its time under the dispatch mutex.
    ReportDevice(record);
}
