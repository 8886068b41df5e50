#pragma once

#include <QObject>

#include <mutex>

#include "src/store/devicewatch.h"

class DeviceSource;
class QTimer;

// The boxes present, followed as nas-search --watch follows them: every report is taken as it
// comes (an announcement at once), and once watching has started a round ends every 30 s with a
// new search, a box being gone after its byebye or three rounds without a word; a box gone silent
// leaves the device list too. Reports arrive on the search's threads and are taken there under
// the watch's lock; only a change crosses to the main thread, where everything else runs.
class BoxWatch : public QObject {
    Q_OBJECT
public:
    // source must outlive the watch; its reports come here from take().
    explicit BoxWatch(DeviceSource& source, QObject* parent = nullptr);

    // A report the device list took; any thread.
    void take(const deviceinfo& record);
    // Rounds begin, the first with a search now.
    void start();
    // Rounds end; reports are still taken.
    void stop();
    bool watching() const;
    // A search now (Search now); the round in progress starts again from it.
    void searchNow();

    static constexpr int kRoundMilliseconds = 30 * 1000;
    static constexpr long kSilentRounds = 3;

signals:
    // A box appeared, changed what it says of itself, or went (by byebye or silence).
    void changed(const WatchEvent& event);
    // A round ended; the device list holds the boxes present.
    void roundEnded();

private:
    void endRound();

    DeviceSource& source;
    QTimer* rounds;
    std::mutex watchMutex;
    CDeviceWatch watch{kSilentRounds};
};
