#pragma once

#include "search/details/internal.h"

#include <boost/thread/mutex.hpp>

#include "search/deviceinfo.h"
#include "search/searchlib.h"

// The one path by which a found device leaves the library. Every worker calls OnFindDevice on
// its own receive thread; findDeviceMutex lets one report at a time through to the callback.
// Timed, so that a report still waiting for it can give up once the library is stopping.
extern boost::timed_mutex findDeviceMutex;

// Stores the application's callback; InitSearchLib calls it before any worker starts.
// Null means nobody listens: reports are then logged and dropped.
void SetFindDeviceCallback(FindDeviceCallback callback);

// Open from the start of the process and from InitSearchLib on; closed by ExitSearchLib. A
// report that is still waiting for the mutex when the dispatch closes is dropped, so that a
// callback which stops the library never waits for a worker that waits for it.
void OpenDispatch();
void CloseDispatch();

// Copies the record and hands the copy, with the reporting worker's port, to the stored
// callback under findDeviceMutex. size is what the workers pass (240) and is not consulted.
void OnFindDevice(const deviceinfo* record, int size, int nPort);
