#include "search/details/finddevice.h"

#include <atomic>
#include <cstring>

#include <boost/chrono/duration.hpp>
#include <boost/thread/locks.hpp>

#include "log/searchlog.h"

boost::timed_mutex findDeviceMutex;

namespace {

// Written once before the workers start and only read afterwards; atomic so that a tool or
// test that swaps it between runs needs no further care.
std::atomic<FindDeviceCallback> storedCallback{nullptr};
std::atomic<bool> dispatchOpen{true};

// How often a waiting report looks whether the dispatch closed; the wait itself wakes as soon
// as the mutex is free.
constexpr boost::chrono::milliseconds kClosedCheck{50};

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

void OnFindDevice(const deviceinfo* record, int, int nPort) {
    WriteSearchLog("Handle %d : Search %d Thread Find Device and wait for mutex  ", nPort, nPort);
    boost::unique_lock<boost::timed_mutex> lock(findDeviceMutex, boost::defer_lock);
    while (!lock.try_lock_for(kClosedCheck)) {
        if (!dispatchOpen.load()) {
            WriteSearchLog("Handle %d : Search %d Thread Find Device dropped, search stopping  ",
                           nPort, nPort);
            return;
        }
    }
    WriteSearchLog("Handle %d : Search %d Thread Find Device have Mutex  ", nPort, nPort);
    // The callback gets a copy of its own: the worker's record lives on its stack only for the
    // call, and whatever the callback writes must not reach the worker.
    deviceinfo copy;
    std::memcpy(static_cast<void*>(&copy), record, sizeof copy);
    WriteSearchLog("Handle %d : Search %d Thread Find Device ID : %s, IP : %s  ", nPort, nPort,
                   copy.id, copy.ip);
    if (FindDeviceCallback callback = storedCallback.load()) callback(&copy, nPort);
    WriteSearchLog("Handle %d : Search %d Thread Find Device Success Handle  ", nPort, nPort);
}
