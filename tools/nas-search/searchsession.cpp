#include "tools/nas-search/searchsession.h"

#include <signal.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "search/searchhealth.h"
#include "search/searchhints.h"
#include "search/searchlib.h"
#include "src/store/deviceliststore.h"
#include "tools/nas-search/reportformat.h"

namespace {

std::atomic<CSearchSession*> current{nullptr};

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

CSearchSession::CSearchSession(const SearchOptions& options, CSearchOutput& output,
                               ReportHandler handler)
    : options(options), output(output), handler(std::move(handler)) {
    // Blocked before the library starts its threads, so they inherit the mask and the signals
    // wait for WaitUntil on this thread.
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    current.store(this);
    SetSearchInterfaces(options.interfaces, options.excludeInterfaces);
    SetSearchWorkerCallback(&CSearchSession::OnWorker);
    SetSearchTargets(options.targets);
    CDeviceListStore::Instance().InitSearch(&CSearchSession::OnReport, options.logDir.has_value(),
                                            options.logDir ? options.logDir->c_str() : nullptr,
                                            options.interfaceSearch);
    running = true;
    for (const SearchWorkerHealth& worker : GetSearchWorkerHealth()) output.Worker(worker);
    // Said, not refused: the interface may still appear while the search runs.
    for (const std::string& pattern : UnmatchedInterfacePatterns()) {
        const std::string line =
            ErrorText("the interface pattern '" + pattern + "' matches no interface") + "\n";
        std::fputs(line.c_str(), stderr);
    }
    if (!options.targets.empty()) output.Probe(options.targets.size());
}

CSearchSession::~CSearchSession() {
    Stop();
}

void CSearchSession::Search() {
    SearchRequest request = options.request.value_or(SearchRequest{});
    CDeviceListStore::Instance().SendSearch(options.request ? &request : nullptr);
}

int CSearchSession::WaitUntil(Clock::time_point deadline) {
    const sigset_t signals = StopSignals();
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return 0;
        const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(nanos / 1000000000),
                         static_cast<long>(nanos % 1000000000)};
        const int signal = sigtimedwait(&signals, nullptr, &timeout);
        if (signal > 0) return signal;
    }
}

void CSearchSession::Stop() {
    if (!running) return;
    running = false;
    ExitSearchLib();
    SetSearchWorkerCallback(nullptr);
    current.store(nullptr);
}

int CSearchSession::OnReport(deviceinfo* record, int handle) {
    if (CSearchSession* session = current.load()) session->handler(*record, handle);
    return 0;
}

void CSearchSession::OnWorker(const SearchWorkerHealth& worker) {
    if (CSearchSession* session = current.load()) session->output.Worker(worker);
}
