#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <exception>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include "search/details/finddevice.h"
#include "search/details/internal.h"
#include "search/details/workercounters.h"
#include "search/deviceinfo.h"
#include "search/searchhealth.h"
#include "search/searchrequest.h"

// Base of every search worker: one UDP socket bound to nPort and one receive thread that hands
// each datagram, with a zero byte behind it, to HandleReceive. The library's caller thread (or
// the network watcher's) sets the worker up, sends and stops it; the receive thread only
// receives and handles. The registry deletes a worker only once its thread was joined.
class CSearchDeviceThread {
public:
    CSearchDeviceThread();
    // Joins a receive thread that was stopped but not joined yet (never delete it from there).
    virtual ~CSearchDeviceThread();
    CSearchDeviceThread(const CSearchDeviceThread&) = delete;
    CSearchDeviceThread& operator=(const CSearchDeviceThread&) = delete;

    // Stores address, port and retry flag, then runs the derived class's CreateWorkThread.
    virtual void InitThreadValue(const char* ip, int port, bool flag);
    virtual void CreateWorkThread();
    // Asks the receive thread to stop; on return the socket is closed and its port free.
    virtual void ExitWorkThread();
    virtual int SendSearchCommand(const SearchRequest* request);
    virtual void ClearLastDevice();
    virtual int WorkThreadProc();
    virtual void HandleReceive(char* data, int length, std::string& fromIp);

    // Waits, however long a callback in flight takes, for the receive thread to end after
    // ExitWorkThread; a receive blocked in the kernel was woken by the stop. The receive thread
    // itself (a callback that stops the library) is not waited for: it ends once the callback
    // returns, and the worker must then stay alive. False in that case only.
    bool JoinWorkThread();

    // Which kind of worker this is, for the health report.
    virtual SearchWorkerRole Role() const = 0;
    // The worker's state and counters; any thread.
    SearchWorkerHealth Health() const;
    // Counts from now on, as the next search window starts.
    void ResetCounters() { counters.Reset(); }
    // The SSDP group memberships, for the health report; none for most workers.
    virtual std::vector<SearchGroupMembership> Groups() const { return {}; }
    // The interface whose address the worker serves; set before InitThreadValue.
    void SetInterfaceName(const std::string& name) { interfaceName = name; }

    int Port() const { return nPort; }
    // The port the worker was given, before any retry moved it on.
    int FirstPort() const { return firstPort; }
    bool RetriesPorts() const { return bTestPort; }
    const std::string& InterfaceName() const { return interfaceName; }
    int TestCount() const { return testCount; }
    const std::string& LocalIP() const { return strIP; }
    bool ExitRequested() const { return bExitSock.load(); }
    // True from a successful thread start until the receive loop has ended.
    bool WorkThreadRunning() const { return threadActive.load(); }
    deviceinfo LastDevice();
    // Sends one datagram from the worker's socket for another part of the library (a probe
    // sweep, on its own thread), under the socket lock and outside the worker's counters: the
    // sender counts its own. The error, or none; never throws.
    boost::system::error_code SendTo(const void* data, std::size_t size,
                                     const boost::asio::ip::udp::endpoint& to);

    static constexpr std::size_t kReceiveLength = 1024;
    // How long a stop waits for a woken receive to return before it leaves the close to the
    // receive thread.
    static constexpr std::chrono::milliseconds kLeaveLimit{1000};

protected:
    // Starts the receive thread; throws what the thread library throws.
    void StartWorkThread();
    // Undoes a failed set-up: closes the socket and logs the creation error.
    void FailCreateWorkThread(const std::exception& error);
    // Sends one datagram under the socket lock, so that it never meets the socket's close.
    std::size_t SendDatagram(const void* data, std::size_t size,
                             const boost::asio::ip::udp::endpoint& to);
    // Every use of the socket from the caller's thread while the receive thread runs.
    boost::mutex::scoped_lock LockSocket() { return boost::mutex::scoped_lock(socketMutex); }
    // Keeps record as lastDevice when it differs from it; true when it did (a new report).
    // Inline, like ReportDevice: both run for every datagram.
    bool ReplaceLastDevice(const deviceinfo& record) {
        boost::mutex::scoped_lock lock(lastDeviceMutex);
        if (record.compare(lastDevice)) return false;
        lastDevice = record;
        return true;
    }
    // Hands a new record, heard from fromIp, to the dispatch and counts it.
    void ReportDevice(const deviceinfo& record, const std::string& fromIp) {
        WorkerCounters::Count(counters.devicesReported);
        OnFindDevice(&record, static_cast<int>(sizeof record), nPort, fromIp.c_str());
    }
    // Reports a box's 148-byte answer to the search request (a SearchRequest with
    // kSearchAnswerCmd) unless it equals the last report; ignores any other datagram.
    void HandleSearchAnswer(const char* data, int length, const std::string& fromIp);

    // Updated without locks by the receive thread, read by the caller's thread.
    WorkerCounters counters;

    deviceinfo lastDevice;
    boost::asio::io_context ioService;
    boost::asio::ip::udp::socket udpSocket;
    std::string strIP;
    int nPort;
    int testCount;
    std::atomic<bool> bExitSock;
    bool bTestPort;

private:
    void CloseSocket();
    void RecordSetupError(const std::exception& error);
    // Receives one datagram into buffer; 0 on any failure, or once a stop was asked for.
    std::size_t ReceiveDatagram(char* buffer, boost::asio::ip::udp::endpoint& sender);
    void FinishWorkThread();

    // Keeps a parser's compare-and-replace of lastDevice apart from ClearLastDevice.
    boost::mutex lastDeviceMutex;
    // Guards the socket's state between the caller's thread and the receive thread.
    boost::mutex socketMutex;
    // Signalled when the receive thread leaves a receive.
    boost::condition_variable receiveLeft;
    // The receive thread is inside a receive on the socket (under socketMutex).
    bool inReceive;
    boost::thread workThread;
    // Cleared as the receive thread's very last access to the worker.
    std::atomic<bool> threadActive;
    bool threadStarted = false;
    std::string interfaceName;
    int firstPort = 0;
    // The last failed set-up attempt, for the health report.
    int setupError = 0;
    std::string setupErrorText;
};
