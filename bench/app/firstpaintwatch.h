#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

#include <time.h>

inline double MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Installed on the application of a benchmark child (main thread): reports the end of the first
// paint of any widget as "first-paint-ms N", counted from startMs, then what alsoReport prints,
// and ends the process. A zero timer started during the paint runs once the whole window has been
// painted and flushed.
class FirstPaintWatch : public QObject {
public:
    explicit FirstPaintWatch(double startMs, std::function<void()> alsoReport = {})
        : startMs(startMs), alsoReport(std::move(alsoReport)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            seen = true;
            QTimer::singleShot(0, [this] {
                std::printf("first-paint-ms %.1f\n", MonotonicMs() - startMs);
                if (alsoReport) alsoReport();
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    double startMs;
    std::function<void()> alsoReport;
    bool seen = false;
};
