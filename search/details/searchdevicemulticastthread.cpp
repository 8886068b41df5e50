#include "search/details/searchdevicemulticastthread.h"

#include <exception>

#include <boost/asio/ip/multicast.hpp>

#include "log/searchlog.h"
#include "search/details/finddevice.h"
#include "search/details/receivebuffer.h"
#include "search/details/ssdpparser.h"

namespace asio = boost::asio;
using asio::ip::udp;

namespace {

constexpr const char* kSsdpGroup = "239.143.255.250";
constexpr unsigned short kSsdpPort = 1900;
constexpr int kRetryLimit = 20;

// Sent byte for byte, without a terminating zero; devices answer only this exact search.
constexpr char kMSearch[] =
    "M-SEARCH * HTTP/1.1\r\n"
    "HOST: 239.143.255.250:1900\r\n"
    "ST: urn:schemas-upnp-org:device:HomeNasDevice:1\r\n"
    "MAN: \"ssdp:discover\"\r\n"
    "MX: 3\r\n"
    "\r\n";
static_assert(sizeof kMSearch - 1 == 129, "the M-SEARCH datagram is 129 bytes");

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
            udpSocket.set_option(
                asio::ip::multicast::join_group(group, asio::ip::address_v4::any()));
            WriteSearchLog("SendThread %d : Add To Multicast Group Info ", nPort);
        } else {
            udpSocket.set_option(
                asio::ip::multicast::leave_group(group, asio::ip::address_v4::any()));
            WriteSearchLog("SendThread %d : Leave To Multicast Group Info ", nPort);
        }
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Alter Device Mulitcast Group Error : %s  \r\n", nPort,
                       e.what());
    }
}

void CSearchDeviceMulticastThread::ExitWorkThread() {
    AlterMulticastGroup(false);
    CSearchDeviceThread::ExitWorkThread();
}

int CSearchDeviceMulticastThread::SendSearchCommand(void*) {
    WriteSearchLog("SendThread %d : Send Search Device Command  ", nPort);
    try {
        udp::endpoint group(asio::ip::make_address_v4(kSsdpGroup), kSsdpPort);
        SendDatagram(kMSearch, sizeof kMSearch - 1, group);
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Send Search Device Error : %s   ", nPort, e.what());
    }
    return 0;
}

void CSearchDeviceMulticastThread::HandleReceive(char* data, int, std::string& fromIp) {
    WriteSearchLog("SendThread %d : Handle Mulitcast Recive Information  ", nPort);
    deviceinfo record;
    if (!ParseSsdpDatagram(data, fromIp.c_str(), record)) return;

    bool isNew;
    {
        boost::mutex::scoped_lock lock(lastDeviceMutex);
        isNew = !record.compare(lastDevice);
        if (isNew) lastDevice = record;
    }
    if (!isNew) {
        // An identical report empties the memory, so identical reports alternate: the next
        // one goes out again. ClearLastDevice takes the lock itself, hence after the scope.
        ClearLastDevice();
        WriteSearchLog(
            "SendThread %d : Handle Mulitcast Recive Information Fail : Old Device, type = %d ",
            nPort, record.type);
        return;
    }
    WriteSearchLog("SendThread %d : Handle Mulitcast Recive Information Success, type = %d ", nPort,
                   record.type);
    // Outside the worker's lock: the callback may take its time under the dispatch mutex.
    OnFindDevice(&record, static_cast<int>(sizeof record), nPort);
}
