#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/thread/mutex.hpp>

#include "search/deviceinfo.h"

// Base of every search worker: one UDP socket bound to nPort and one detached receive thread
// that hands each datagram, with a zero byte behind it, to HandleReceive. Workers are never
// deleted once set up, because the receive thread may outlive ExitWorkThread.
class CSearchDeviceThread {
public:
    CSearchDeviceThread();
    virtual ~CSearchDeviceThread();
    CSearchDeviceThread(const CSearchDeviceThread&) = delete;
    CSearchDeviceThread& operator=(const CSearchDeviceThread&) = delete;

    // Stores address, port and retry flag, then runs the derived class's CreateWorkThread.
    virtual void InitThreadValue(const char* ip, int port, bool flag);
    virtual void CreateWorkThread();
    // Asks the receive thread to stop and returns at once.
    virtual void ExitWorkThread();
    virtual int SendSearchCommand(void* request);
    virtual void ClearLastDevice();
    virtual int WorkThreadProc();
    virtual void HandleReceive(char* data, int length, std::string& fromIp);

    int Port() const { return nPort; }
    int TestCount() const { return testCount; }
    const std::string& LocalIP() const { return strIP; }
    bool ExitRequested() const { return bExitSock.load(); }
    // True from a successful thread start until the receive loop has ended.
    bool WorkThreadRunning() const { return threadActive.load(); }
    deviceinfo LastDevice();

    static constexpr std::size_t kReceiveLength = 1024;

protected:
    // Starts the detached receive thread; throws what the thread library throws.
    void StartWorkThread();
    // Undoes a failed set-up: closes the socket and logs the creation error.
    void FailCreateWorkThread(const std::exception& error);
    // Sends one datagram; safe against the receive thread closing the socket on its way out.
    std::size_t SendDatagram(const void* data, std::size_t size,
                             const boost::asio::ip::udp::endpoint& to);

    deviceinfo lastDevice;
    boost::asio::io_context ioService;
    boost::asio::ip::udp::socket udpSocket;
    std::string strIP;
    int nPort;
    int testCount;
    std::atomic<bool> bExitSock;
    bool bTestPort;

    // Keeps a parser's compare-and-replace of lastDevice apart from ClearLastDevice.
    // ClearLastDevice takes it, so never call ClearLastDevice while holding it.
    boost::mutex lastDeviceMutex;

private:
    void CloseSocket();
    void FinishWorkThread();

    // Guards the socket's open state between the caller's thread and the receive thread.
    boost::mutex socketMutex;
    // The receive thread owns the socket's closing while this is set (under socketMutex).
    bool receiving;
    // Cleared as the receive thread's very last access to the worker.
    std::atomic<bool> threadActive;
};
