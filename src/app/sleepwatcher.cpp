#include "src/app/sleepwatcher.h"

#include <QDBusConnection>

SleepWatcher::SleepWatcher(const QDBusConnection& systemBus, QObject* parent) : QObject(parent) {
    // Naming the service lets the bus pass on only what its owner sends.
    QDBusConnection bus = systemBus;
    listening = bus.connect(QStringLiteral("org.freedesktop.login1"),
                            QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"),
                            QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void SleepWatcher::prepareForSleep(bool sleeping) {
    if (!sleeping) emit resumed();
}
