#include "search/details/searchdevicethread.h"

#include <sys/socket.h>

#include <cstring>
#include <exception>

#include <boost/bind/bind.hpp>
#include <boost/thread/thread.hpp>

#include "log/searchlog.h"

namespace asio = boost::asio;
using asio::ip::udp;

CSearchDeviceThread::CSearchDeviceThread()
    : udpSocket(ioService),
      nPort(1530),
      testCount(0),
      bExitSock(false),
      bTestPort(false),
      receiving(false),
      threadActive(false) {}

CSearchDeviceThread::~CSearchDeviceThread() = default;

void CSearchDeviceThread::InitThreadValue(const char* ip, int port, bool flag) {
    strIP = ip != nullptr ? ip : "";
    nPort = port;
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
    receiving = true;
    threadActive = true;
    try {
        boost::thread worker(boost::bind(&CSearchDeviceThread::WorkThreadProc, this));
        worker.detach();
    } catch (...) {
        receiving = false;
        threadActive = false;
        throw;
    }
}

void CSearchDeviceThread::FailCreateWorkThread(const std::exception& error) {
    CloseSocket();
    WriteSearchLog("SendThread %d : Create Search Device Work Thread Error : %s   ", nPort,
                   error.what());
}

void CSearchDeviceThread::CloseSocket() {
    boost::system::error_code ignored;
    udpSocket.close(ignored);
}

void CSearchDeviceThread::ExitWorkThread() {
    bExitSock = true;
    {
        boost::mutex::scoped_lock lock(socketMutex);
        if (receiving) {
            // Closing alone does not wake a blocked receive on Linux; shutting the socket down
            // does. The receive thread then closes it, so no close races with its receive.
            ::shutdown(udpSocket.native_handle(), SHUT_RDWR);
        } else {
            CloseSocket();
        }
    }
    WriteSearchLog("SendThread %d : Exit Search Device Tread , bExitSock : %d  ", nPort,
                   static_cast<int>(bExitSock.load()));
}

int CSearchDeviceThread::SendSearchCommand(void*) {
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
        boost::system::error_code error;
        char buffer[kReceiveLength + 1];
        while (!bExitSock) {
            WriteSearchLog("SendThread %d : Wait Reciver Socket Protocol Info  ", nPort);
            std::memset(buffer, 0, sizeof buffer);
            std::size_t length =
                udpSocket.receive_from(asio::buffer(buffer, kReceiveLength), sender, 0, error);
            if (error) length = 0;
            WriteSearchLog("SendThread %d : Reciver Socket Protocol Info  ", nPort);
            if (length != 0) {
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

void CSearchDeviceThread::FinishWorkThread() {
    {
        boost::mutex::scoped_lock lock(socketMutex);
        // After a stop request the socket is the thread's to close; after a handler's error it
        // stays open, as the worker stays registered, and ExitWorkThread closes it later.
        if (bExitSock) CloseSocket();
        receiving = false;
    }
    threadActive = false;
}

void CSearchDeviceThread::HandleReceive(char*, int, std::string&) {}

std::size_t CSearchDeviceThread::SendDatagram(const void* data, std::size_t size,
                                              const udp::endpoint& to) {
    boost::mutex::scoped_lock lock(socketMutex);
    return udpSocket.send_to(asio::buffer(data, size), to);
}
