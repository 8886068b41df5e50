#pragma once

#include <QObject>

class DeviceSource;

// Brings the search's news of a network that appeared (a new address got its worker) from the
// search thread that tells it to the main thread, as networkAppeared. Made on the main thread;
// the source must outlive the follower or have stopped first.
class NetworkFollower : public QObject {
    Q_OBJECT
public:
    explicit NetworkFollower(DeviceSource& source, QObject* parent = nullptr);

signals:
    void networkAppeared();
};
