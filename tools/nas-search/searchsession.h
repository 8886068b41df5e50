#pragma once

#include <chrono>
#include <functional>

#include "search/deviceinfo.h"
#include "tools/nas-search/searchoptions.h"
#include "tools/nas-search/searchoutput.h"

// One run of the search library for nas-search, on the program's main thread. It blocks
// SIGINT and SIGTERM for every thread (they are waited for here instead), starts the library
// through the device list store with the options' interfaces and log, prints each worker as it
// starts, and routes the store's reports to a handler, which runs on the library's threads.
// Only one session exists at a time.
class CSearchSession {
public:
    using ReportHandler = std::function<void(const deviceinfo& record, int handle)>;
    using Clock = std::chrono::steady_clock;

    CSearchSession(const SearchOptions& options, CSearchOutput& output, ReportHandler handler);
    // Stops the library if Stop was not called.
    ~CSearchSession();
    CSearchSession(const CSearchSession&) = delete;
    CSearchSession& operator=(const CSearchSession&) = delete;

    // One search with the options' request (or the library's default one).
    void Search();
    // Sleeps until deadline; the stop signal that came first, or 0.
    int WaitUntil(Clock::time_point deadline);
    // Stops the library: no report arrives after this returns.
    void Stop();

private:
    static int OnReport(deviceinfo* record, int handle);
    static void OnWorker(const SearchWorkerHealth& worker);

    const SearchOptions& options;
    CSearchOutput& output;
    ReportHandler handler;
    bool running = false;
};
