#include "src/app/instanceservice.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>

#include "src/app/consolelog.h"

namespace {

const QString kName = QStringLiteral("io.github.nasfinder");
const QString kPath = QStringLiteral("/io/github/nasfinder");
constexpr qint64 kClaimMilliseconds = 2000;
// Between tries while the owner is leaving or has not exported its object yet.
constexpr unsigned long kRetryMilliseconds = 50;

// RequestName's flag and answers (the bus daemon's numbers).
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kAlreadyOwner = 4;

}  // namespace

InstanceClaim InstanceService::ClaimInstance(QDBusConnection bus) {
    if (!bus.isConnected()) return InstanceClaim::NoBus;
    QElapsedTimer waited;
    waited.start();
    // What is left of the 2 s, less the 5% by which Qt's coarse timers may end a call late.
    const auto left = [&waited] {
        const qint64 rest = kClaimMilliseconds - waited.elapsed();
        return int(rest - rest / 20);
    };
    for (int timeout; (timeout = left()) > 0;) {
        QDBusMessage request = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
        request << kName << kDoNotQueue;
        const QDBusMessage requested = bus.call(request, QDBus::Block, timeout);
        if (requested.type() == QDBusMessage::ErrorMessage) {
            ConsoleLog(
                QStringLiteral("the session bus gave no name: %1").arg(requested.errorName()));
            return InstanceClaim::NoBus;
        }
        const uint answer = requested.arguments().value(0).toUInt();
        if (answer == kPrimaryOwner || answer == kAlreadyOwner) return InstanceClaim::First;

        QDBusMessage show =
            QDBusMessage::createMethodCall(kName, kPath, kName, QStringLiteral("Show"));
        show.setAutoStartService(false);
        if ((timeout = left()) <= 0) break;
        const QDBusMessage shown = bus.call(show, QDBus::Block, timeout);
        if (shown.type() != QDBusMessage::ErrorMessage) return InstanceClaim::Second;
        if (shown.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) break;
        QThread::msleep(kRetryMilliseconds);
    }
    ConsoleLog(QStringLiteral("the nasfinder already running did not answer within 2 s"));
    return InstanceClaim::Second;
}

InstanceService::InstanceService(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus(bus) {
    if (!this->bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots)) {
        ConsoleLog(
            QStringLiteral("the session bus object %1 is taken: Show and SearchNow go unanswered")
                .arg(kPath));
    }
}

InstanceService::~InstanceService() {
    bus.unregisterObject(kPath);
    bus.unregisterService(kName);
}

void InstanceService::Show() {
    emit showRequested();
}

void InstanceService::SearchNow() {
    emit searchRequested();
}
