#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "search/deviceinfo.h"
#include "src/store/knownboxes.h"
#include "src/store/wakesender.h"

class DeviceSource;
class QTimer;

// Wakes remembered boxes as nas-search --wake does: the magic packet goes out on a pool thread
// (three rounds take 200 ms), then a search every 2 s, sending the packet again each time (nobody
// acknowledges one, and a lost one must not leave the box asleep), until the box answers or 2
// minutes pass. Only an answer heard after the second in which the wake began counts (the device
// list keeps whole seconds): after the computer slept, the list still holds the boxes heard
// before. Several boxes may wait at once. Main thread.
class Waker : public QObject {
    Q_OBJECT
public:
    // chosen tells whether the packet may leave by the interface of that name; source must
    // outlive the waker.
    Waker(DeviceSource& source, std::function<bool(const std::string&)> chosen,
          QObject* parent = nullptr);

    // Starts waking box, which must have a MAC; a box already waiting starts its wait anew.
    void wake(const KnownBox& box);
    // The box waits no more, without a word.
    void cancel(const KnownBox& box);
    void cancelAll();
    bool waiting() const { return !boxes.empty(); }

    static constexpr int kSearchEveryMilliseconds = 2000;
    static constexpr qint64 kWaitMilliseconds = 2 * 60 * 1000;

signals:
    // The first sending for box: where it went and what could not be sent.
    void sent(const KnownBox& box, const WakeSent& result);
    void woken(const KnownBox& box, const deviceinfo& answered);
    void notWoken(const KnownBox& box);

private:
    struct Waiting {
        KnownBox box;
        QElapsedTimer waited;
        std::time_t since = 0;
    };

    // Sends box's packet from a pool thread; the first sending's outcome reaches sent().
    void send(const KnownBox& box, bool first);
    void lookForAnswers();

    DeviceSource& source;
    std::function<bool(const std::string&)> chosen;
    QTimer* searchTimer;
    std::vector<Waiting> boxes;
};
