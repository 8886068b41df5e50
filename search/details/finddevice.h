#pragma once

#include "search/details/internal.h"

#include <boost/thread/mutex.hpp>

#include "search/deviceinfo.h"
#include "search/searchlib.h"

// The one path by which a found device leaves the library. Every worker calls OnFindDevice on
// its own receive thread; findDeviceMutex lets one report at a time through to the callback.
extern boost::mutex findDeviceMutex;

// Stores the application's callback; InitSearchLib calls it before any worker starts.
// Null means nobody listens: reports are then logged and dropped.
void SetFindDeviceCallback(FindDeviceCallback callback);

// Open from the start of the process and from InitSearchLib on; closed by ExitSearchLib. A
// report that gets the mutex after the dispatch closed is dropped.
void OpenDispatch();
void CloseDispatch();

// Copies the record and hands the copy, with the reporting worker's port, to the stored
// callback under findDeviceMutex; while the callback runs, CurrentReportSender() tells fromIp,
// the dotted address the datagram came from. size is what the workers pass (240) and is not
// consulted.
void OnFindDevice(const deviceinfo* record, int size, int nPort, const char* fromIp);

// While it lives on a thread that is inside the callback (a callback that stops the library),
// the mutex is let go, so that the reports queued behind it reach the closed dispatch and their
// workers can end; it is taken again before the callback goes on.
class DispatchReleaseForStop {
public:
    DispatchReleaseForStop();
    ~DispatchReleaseForStop();
    DispatchReleaseForStop(const DispatchReleaseForStop&) = delete;
    DispatchReleaseForStop& operator=(const DispatchReleaseForStop&) = delete;

private:
    boost::unique_lock<boost::mutex>* released;
};
