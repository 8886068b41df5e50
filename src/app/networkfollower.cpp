#include "src/app/networkfollower.h"

#include <QCoreApplication>
#include <QPointer>

#include "src/app/devicesource.h"

NetworkFollower::NetworkFollower(DeviceSource& source, QObject* parent) : QObject(parent) {
    // The pointer is only looked at on the main thread, where the follower may have gone.
    QPointer<NetworkFollower> follower(this);
    source.SetNetworkHandler([follower] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [follower] {
                if (follower) emit follower->networkAppeared();
            },
            Qt::QueuedConnection);
    });
}
