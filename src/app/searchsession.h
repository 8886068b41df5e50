#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <memory>
#include <string>
#include <vector>

#include "src/app/launchoptions.h"

class BookKeeper;
class BoxWatch;
class DeviceSource;
class SearchTargetList;
class Waker;

// The search as the window and the tray share it, one per process: the device source (the search
// library and the device list), the search targets, the watch over the boxes present, the book of
// known boxes, waking and the interface choice of the launch options. It starts the search once,
// whoever asks first, and stops it once at the end, recording what was found. A target name that
// resolves later joins the search with a search of its own. While the watch runs, a round that
// ends after a box came, changed or went records the boxes, as does every tenth minute. Main
// thread.
class SearchSession : public QObject {
    Q_OBJECT
public:
    // source must outlive the session.
    SearchSession(DeviceSource& source, const LaunchOptions& options, QObject* parent = nullptr);
    // Stops the search if stop() was not called.
    ~SearchSession() override;

    DeviceSource& devices() { return source; }
    const LaunchOptions& launchOptions() const { return options; }
    BookKeeper& book() { return *bookKeeper; }
    Waker& waker() { return *boxWaker; }
    BoxWatch& watch() { return *boxWatch; }
    SearchTargetList& targets() { return *targetList; }
    // Keeps the targets in the user's settings and searches them from the next search on.
    void keepTargets(const QStringList& kept);
    // Whether the interface of that name may be searched from and woken through (the launch
    // options' --interface and --exclude-interface).
    bool choosesInterface(const std::string& name) const;

    // Starts the search library with the targets, once; later calls do nothing.
    void start();
    bool started() const { return running; }
    // A new search window (what the hints read starts anew) with one search.
    void startSearchWindow();
    // Records the devices found in the book and stops the search: nothing is reported after it.
    void stop();

    static constexpr qint64 kRecordEveryMilliseconds = 10 * 60 * 1000;

signals:
    // The search started serving a network that appeared.
    void networkAppeared();

private:
    // Records the devices heard, each as last heard.
    void record();

    DeviceSource& source;
    LaunchOptions options;
    BookKeeper* bookKeeper;
    Waker* boxWaker;
    BoxWatch* boxWatch;
    SearchTargetList* targetList;
    bool running = false;
    bool stopped = false;
    // Whether a box came, changed or went since the book last recorded the watch's boxes, and
    // how long ago that was.
    bool boxesChanged = false;
    QElapsedTimer sinceRecord;
};
