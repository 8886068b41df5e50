#include "tools/nas-search/searchrun.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>
#include <vector>

#include "src/store/deviceliststore.h"
#include "tools/nas-search/reportformat.h"
#include "tools/nas-search/reportprinter.h"

namespace {

using Clock = std::chrono::steady_clock;

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

// Sleeps until deadline; returns the stop signal that came first, or 0.
int WaitUntil(Clock::time_point deadline) {
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

Clock::time_point After(Clock::time_point start, double seconds) {
    return start +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// The countdown goes where a person watches: standard error, when that is a terminal.
void ShowCountdown(bool shown, double secondsLeft) {
    if (shown) std::fprintf(stderr, "\rsearching, %3.0f s left ", std::ceil(secondsLeft));
}

void ClearCountdown(bool shown) {
    if (shown) std::fprintf(stderr, "\r%*s\r", 24, "");
}

int Stop(int signal) {
    ExitSearchLib();
    CReportPrinter::Use(nullptr);
    return 128 + signal;
}

}  // namespace

int RunSearch(const SearchOptions& options, std::FILE* out) {
    // Blocked before the library starts its threads, so they inherit the mask and the
    // signals wait for sigtimedwait on this thread.
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // The library's threads have ended when ExitSearchLib returns; the printer outlives them.
    CReportPrinter printer(out, options.json);
    CReportPrinter::Use(&printer);
    CDeviceListStore& store = CDeviceListStore::Instance();
    store.InitSearch(&CReportPrinter::OnReport, options.logDir.has_value(),
                     options.logDir ? options.logDir->c_str() : nullptr, options.interfaceSearch);

    SearchRequest request = options.request.value_or(SearchRequest{});
    SearchRequest* requestArgument = options.request ? &request : nullptr;
    const bool countdown = !options.json && isatty(STDERR_FILENO) == 1;

    const Clock::time_point start = Clock::now();
    const Clock::time_point end = After(start, options.seconds);
    int nextSearch = 0;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= end) break;
        if (nextSearch < options.searches && now >= After(start, nextSearch * options.interval)) {
            store.SendSearch(requestArgument);
            ++nextSearch;
            continue;
        }
        ShowCountdown(countdown, std::chrono::duration<double>(end - now).count());
        // Wakes at least once a second, for the countdown.
        Clock::time_point wake = std::min(end, now + std::chrono::seconds(1));
        if (nextSearch < options.searches) {
            wake = std::min(wake, After(start, nextSearch * options.interval));
        }
        if (const int signal = WaitUntil(wake)) {
            ClearCountdown(countdown);
            printer.Close();
            return Stop(signal);
        }
    }
    ClearCountdown(countdown);

    printer.Close();
    std::vector<deviceinfo> devices;
    store.CopyDeviceList(devices);
    if (options.json) {
        for (const deviceinfo& device : devices)
            std::fprintf(out, "%s\n", DeviceJson(device).c_str());
        std::fprintf(out, "%s\n", DoneJson(devices.size()).c_str());
    } else {
        std::fputs(DeviceTable(devices).c_str(), out);
    }
    std::fflush(out);
    ExitSearchLib();
    CReportPrinter::Use(nullptr);
    return 0;
}
