#include "search/details/finddevice.h"

#include <atomic>
#include <cstring>

#include <boost/thread/locks.hpp>

#include "log/searchlog.h"

boost::mutex findDeviceMutex;

namespace {

// Written once before the workers start and only read afterwards; atomic so that a tool or
// test that swaps it between runs needs no further care.
std::atomic<FindDeviceCallback> storedCallback{nullptr};
std::atomic<bool> dispatchOpen{true};
// The lock a callback on this thread runs under, if any.
thread_local boost::unique_lock<boost::mutex>* heldForCallback = nullptr;
// The sender of the report a callback on this thread is handed; a pointer, so that setting it
// costs no allocation per datagram.
thread_local const char* reportSender = "";

}  // namespace

void SetFindDeviceCallback(FindDeviceCallback callback) {
    storedCallback.store(callback);
}

void OpenDispatch() {
    dispatchOpen.store(true);
}

void CloseDispatch() {
    dispatchOpen.store(false);
}

void OnFindDevice(const deviceinfo* record, int, int nPort, const char* fromIp) {
    WriteSearchLog("Handle %d : Search %d Thread Find Device and wait for mutex  ", nPort, nPort);
    boost::unique_lock<boost::mutex> lock(findDeviceMutex);
    if (!dispatchOpen.load()) {
        WriteSearchLog("Handle %d : Search %d Thread Find Device dropped, search stopping  ",
                       nPort, nPort);
        return;
    }
    WriteSearchLog("Handle %d : Search %d Thread Find Device have Mutex  ", nPort, nPort);
    // The callback gets a copy of its own: the worker's record lives on its stack only for the
    // call, and whatever the callback writes must not reach the worker.
    deviceinfo copy;
    std::memcpy(static_cast<void*>(&copy), record, sizeof copy);
    WriteSearchLog("Handle %d : Search %d Thread Find Device ID : %s, IP : %s  ", nPort, nPort,
                   copy.id, copy.ip);
    if (FindDeviceCallback callback = storedCallback.load()) {
        struct Held {
            Held(boost::unique_lock<boost::mutex>& lock, const char* fromIp) {
                heldForCallback = &lock;
                reportSender = fromIp;
            }
            ~Held() {
                heldForCallback = nullptr;
                reportSender = "";
            }
        } held(lock, fromIp);
        callback(&copy, nPort);
    }
    WriteSearchLog("Handle %d : Search %d Thread Find Device Success Handle  ", nPort, nPort);
}

const char* CurrentReportSender() {
    return reportSender;
}

DispatchReleaseForStop::DispatchReleaseForStop() : released(heldForCallback) {
    if (released != nullptr) released->unlock();
}

DispatchReleaseForStop::~DispatchReleaseForStop() {
    if (released != nullptr) released->lock();
}
