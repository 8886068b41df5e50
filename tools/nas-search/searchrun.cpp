#include "tools/nas-search/searchrun.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <vector>

#include "search/searchhints.h"
#include "src/store/deviceliststore.h"
#include "src/store/devicewatch.h"
#include "tools/nas-search/searchoutput.h"
#include "tools/nas-search/searchsession.h"
#include "tools/nas-search/wakerun.h"

namespace {

using Clock = CSearchSession::Clock;

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

}  // namespace

int RunSearch(const SearchOptions& options, std::FILE* out) {
    CSearchOutput output(out, options.json);
    CSearchSession session(options, output, [&output](const deviceinfo& record, int handle) {
        output.Report(record, handle);
    });
    const bool countdown = !options.json && isatty(STDERR_FILENO) == 1;

    const Clock::time_point start = Clock::now();
    const Clock::time_point end = After(start, options.seconds);
    int nextSearch = 0;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= end) break;
        if (nextSearch < options.searches && now >= After(start, nextSearch * options.interval)) {
            session.Search();
            ++nextSearch;
            continue;
        }
        ShowCountdown(countdown, std::chrono::duration<double>(end - now).count());
        // Wakes at least once a second, for the countdown.
        Clock::time_point wake = std::min(end, now + std::chrono::seconds(1));
        if (nextSearch < options.searches) {
            wake = std::min(wake, After(start, nextSearch * options.interval));
        }
        if (const int signal = session.WaitUntil(wake)) {
            ClearCountdown(countdown);
            output.CloseReports();
            session.Stop();
            return 128 + signal;
        }
    }
    ClearCountdown(countdown);

    output.CloseReports();
    std::vector<deviceinfo> devices;
    CDeviceListStore::Instance().CopyDeviceList(devices);
    output.Devices(devices);
    RememberStoreList(options);
    // Read while the workers still run: a stopped library has none to tell about.
    const SearchDiagnosis diagnosis = DiagnoseSearch(devices.size());
    if (options.diagnose) {
        output.Diagnosis(diagnosis.workers, diagnosis.hints);
    } else {
        output.Hints(diagnosis.hints);
    }
    session.Stop();
    output.Done(devices.size(), false);
    return 0;
}

int RunWatch(const SearchOptions& options, std::FILE* out) {
    CSearchOutput output(out, options.json);
    // Reports come on the library's threads, round ends on this one.
    std::mutex watchMutex;
    CDeviceWatch watch;
    CSearchSession session(options, output, [&](const deviceinfo& record, int handle) {
        std::lock_guard<std::mutex> lock(watchMutex);
        const auto event =
            watch.OnReport(record, output.InterfaceOfPort(handle), std::time(nullptr));
        if (event) output.Watch(*event);
    });
    for (;;) {
        session.Search();
        if (session.WaitUntil(After(Clock::now(), options.every)) != 0) break;
        std::lock_guard<std::mutex> lock(watchMutex);
        for (const WatchEvent& event : watch.EndRound(std::time(nullptr))) output.Watch(event);
    }
    RememberStoreList(options);
    // In a watch a signal is the normal way to stop.
    session.Stop();
    output.Done(watch.Present(), true);
    return 0;
}
