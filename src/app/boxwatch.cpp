#include "src/app/boxwatch.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "src/app/devicesource.h"

BoxWatch::BoxWatch(DeviceSource& source, QObject* parent)
    : QObject(parent), source(source), rounds(new QTimer(this)) {
    rounds->setInterval(kRoundMilliseconds);
    connect(rounds, &QTimer::timeout, this, &BoxWatch::endRound);
}

void BoxWatch::take(const deviceinfo& record) {
    std::optional<WatchEvent> event;
    {
        std::lock_guard<std::mutex> lock(watchMutex);
        event = watch.OnReport(record, std::string(), std::time(nullptr));
    }
    if (!event) return;
    QPointer<BoxWatch> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, event = *event] {
            if (self) emit self->changed(event);
        },
        Qt::QueuedConnection);
}

void BoxWatch::start() {
    if (watching()) return;
    rounds->start();
    source.SendSearch();
}

void BoxWatch::stop() {
    rounds->stop();
}

bool BoxWatch::watching() const {
    return rounds->isActive();
}

void BoxWatch::searchNow() {
    // The round goes on, from now: ending it early would count a box silent that had no time to
    // answer.
    if (watching()) rounds->start();
    source.SendSearch();
}

void BoxWatch::endRound() {
    std::vector<WatchEvent> gone;
    {
        std::lock_guard<std::mutex> lock(watchMutex);
        gone = watch.EndRound(std::time(nullptr));
    }
    for (const WatchEvent& event : gone) {
        source.ForgetDevice(std::string(DeviceFieldText(event.device.ip)));
        emit changed(event);
    }
    source.SendSearch();
    emit roundEnded();
}
