#include "search/details/searchdevicethread.h"

#include <sys/socket.h>

#include <cstring>
#include <exception>

#include <boost/bind/bind.hpp>
#include <boost/chrono/duration.hpp>
#include <boost/system/system_error.hpp>

#include "log/searchlog.h"
#include "search/details/broadcastparser.h"
#include "search/details/probetargets.h"

namespace asio = boost::asio;
using asio::ip::udp;

namespace {

boost::chrono::milliseconds BoostDuration(std::chrono::milliseconds duration) {
    return boost::chrono::milliseconds(duration.count());
}

}  // namespace

CSearchDeviceThread::CSearchDeviceThread()
    : udpSocket(ioService),
      nPort(1530),
      testCount(0),
      bExitSock(false),
      bTestPort(false),
      inReceive(false),
      threadActive(false) {}

CSearchDeviceThread::~CSearchDeviceThread() {
    if (workThread.joinable()) JoinWorkThread();
}

void CSearchDeviceThread::InitThreadValue(const char* ip, int port, bool flag) {
    strIP = ip != nullptr ? ip : "";
    nPort = port;
    firstPort = port;
    bTestPort = flag;
    WriteSearchLog("SendThread %d : Init Search Device Work Thread Value, strIP : %s, nPort : %d  ",
                   nPort, strIP.c_str(), nPort);
    CreateWorkThread();
}

void CSearchDeviceThread::CreateWorkThread() {
    WriteSearchLog("SendThread %d : Create Search Device Work Thread   ", nPort);
    try {
        udpSocket.open(udp::v4());
        udpSocket.bind(udp::endpoint(asio::ip::address_v4::any(), nPort));
        StartWorkThread();
    } catch (const std::exception& e) {
        FailCreateWorkThread(e);
    }
}

void CSearchDeviceThread::StartWorkThread() {
    threadActive = true;
    try {
        workThread = boost::thread(boost::bind(&CSearchDeviceThread::WorkThreadProc, this));
        threadStarted = true;
    } catch (...) {
        threadActive = false;
        throw;
    }
}

void CSearchDeviceThread::FailCreateWorkThread(const std::exception& error) {
    CloseSocket();
    RecordSetupError(error);
    WriteSearchLog("SendThread %d : Create Search Device Work Thread Error : %s   ", nPort,
                   error.what());
}

void CSearchDeviceThread::RecordSetupError(const std::exception& error) {
    const auto* system = dynamic_cast<const boost::system::system_error*>(&error);
    setupError = system != nullptr ? system->code().value() : 0;
    setupErrorText = system != nullptr ? system->code().message() : error.what();
}

void CSearchDeviceThread::CloseSocket() {
    boost::system::error_code ignored;
    udpSocket.close(ignored);
}

void CSearchDeviceThread::ExitWorkThread() {
    bExitSock = true;
    bool closed = true;
    {
        boost::mutex::scoped_lock lock(socketMutex);
        if (inReceive) {
            // Closing alone does not wake a blocked receive on Linux; shutting the socket down
            // does, also when the receive has not quite started yet. The socket is closed once
            // the receive has returned, so no close ever races with it.
            ::shutdown(udpSocket.native_handle(), SHUT_RDWR);
            closed = receiveLeft.wait_for(lock, BoostDuration(kLeaveLimit),
                                          [this] { return !inReceive; });
        }
        // Left open only when the receive did not return in time: the receive thread then closes
        // it on its way out.
        if (closed) CloseSocket();
    }
    if (!closed) {
        WriteSearchLog(
            "SendThread %d : Exit Search Device Tread , receive still busy after %d ms  ", nPort,
            static_cast<int>(kLeaveLimit.count()));
    }
    WriteSearchLog("SendThread %d : Exit Search Device Tread , bExitSock : %d  ", nPort,
                   static_cast<int>(bExitSock.load()));
}

bool CSearchDeviceThread::JoinWorkThread() {
    if (!workThread.joinable()) return true;
    if (workThread.get_id() == boost::this_thread::get_id()) {
        // Called from this worker's own callback: it ends as soon as the callback returns.
        workThread.detach();
        return false;
    }
    // No limit: the promise is that no callback runs once the library has stopped, and only a
    // callback can keep the thread, the receive having been woken by the stop.
    workThread.join();
    return true;
}

int CSearchDeviceThread::SendSearchCommand(const SearchRequest*) {
    return 0;
}

void CSearchDeviceThread::ClearLastDevice() {
    boost::mutex::scoped_lock lock(lastDeviceMutex);
    lastDevice.clear();
}

deviceinfo CSearchDeviceThread::LastDevice() {
    boost::mutex::scoped_lock lock(lastDeviceMutex);
    return lastDevice;
}

int CSearchDeviceThread::WorkThreadProc() {
    try {
        WriteSearchLog("SendThread %d : Begin Search Device Work Thread  ", nPort);
        udp::endpoint sender;
        char buffer[kReceiveLength + 1];
        while (!bExitSock) {
            WriteSearchLog("SendThread %d : Wait Reciver Socket Protocol Info  ", nPort);
            std::memset(buffer, 0, sizeof buffer);
            const std::size_t length = ReceiveDatagram(buffer, sender);
            WriteSearchLog("SendThread %d : Reciver Socket Protocol Info  ", nPort);
            if (length != 0) {
                WorkerCounters::Count(counters.datagramsReceived);
                std::string fromIp = sender.address().to_string();
                WriteSearchLog("SendThread %d : Recive Socket Protocol IP : %s, nLen : %d  ", nPort,
                               fromIp.c_str(), static_cast<int>(length));
                HandleReceive(buffer, static_cast<int>(length), fromIp);
            }
        }
    } catch (const std::exception& e) {
        WriteSearchLog("SendThread %d : Create Socket Protocolt Server Error : %s  ", nPort,
                       e.what());
    }
    FinishWorkThread();
    return 0;
}

std::size_t CSearchDeviceThread::ReceiveDatagram(char* buffer, udp::endpoint& sender) {
    {
        boost::mutex::scoped_lock lock(socketMutex);
        if (bExitSock) return 0;
        inReceive = true;
    }
    boost::system::error_code error;
    const std::size_t length =
        udpSocket.receive_from(asio::buffer(buffer, kReceiveLength), sender, 0, error);
    {
        boost::mutex::scoped_lock lock(socketMutex);
        inReceive = false;
    }
    receiveLeft.notify_all();
    return error ? 0 : length;
}

void CSearchDeviceThread::FinishWorkThread() {
    {
        boost::mutex::scoped_lock lock(socketMutex);
        // After a stop the socket is normally closed already; a stop that timed out left it to
        // this thread. After a handler's error it stays open, as the worker stays registered,
        // and ExitWorkThread closes it later.
        if (bExitSock) CloseSocket();
    }
    threadActive = false;
}

void CSearchDeviceThread::HandleReceive(char*, int, std::string&) {}

void CSearchDeviceThread::HandleSearchAnswer(const char* data, int length,
                                             const std::string& fromIp) {
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

std::size_t CSearchDeviceThread::SendDatagram(const void* data, std::size_t size,
                                              const udp::endpoint& to) {
    boost::mutex::scoped_lock lock(socketMutex);
    try {
        const std::size_t sent = udpSocket.send_to(asio::buffer(data, size), to);
        WorkerCounters::Count(counters.searchesSent);
        return sent;
    } catch (const boost::system::system_error& error) {
        WorkerCounters::Count(counters.sendErrors);
        counters.lastSendError.store(error.code().value(), std::memory_order_relaxed);
        throw;
    }
}

boost::system::error_code CSearchDeviceThread::SendTo(const void* data, std::size_t size,
                                                      const udp::endpoint& to) {
    boost::mutex::scoped_lock lock(socketMutex);
    boost::system::error_code error;
    udpSocket.send_to(asio::buffer(data, size), to, 0, error);
    return error;
}

SearchWorkerHealth CSearchDeviceThread::Health() const {
    SearchWorkerHealth health;
    health.role = Role();
    health.address = strIP;
    health.interfaceName = interfaceName;
    health.firstPort = firstPort;
    health.port = nPort;
    health.state = threadActive.load() ? SearchWorkerState::Listening
                   : threadStarted     ? SearchWorkerState::Stopped
                                       : SearchWorkerState::Failed;
    health.setupError = setupError;
    health.setupErrorText = setupErrorText;
    const auto read = [](const std::atomic<std::uint32_t>& counter) {
        return counter.load(std::memory_order_relaxed);
    };
    health.searchesSent = read(counters.searchesSent);
    health.sendErrors = read(counters.sendErrors);
    health.lastSendError = counters.lastSendError.load(std::memory_order_relaxed);
    if (health.lastSendError != 0) {
        health.lastSendErrorText = boost::system::system_category().message(health.lastSendError);
    }
    health.datagramsReceived = read(counters.datagramsReceived);
    health.answersReceived = read(counters.answersReceived);
    health.announcementsHeard = read(counters.announcementsHeard);
    health.devicesReported = read(counters.devicesReported);
    health.groups = Groups();
    return health;
}
