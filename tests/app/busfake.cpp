// busfake notifications RECORD_FILE | busfake login1
// Stands in for a desktop service on a test's private bus. notifications owns
// org.freedesktop.Notifications on the session bus (capabilities from BUSFAKE_CAPABILITIES,
// comma-separated, default actions,body,body-markup), records each Notify as a JSON line in
// RECORD_FILE and reads "invoke ID KEY" (ActionInvoked) and "close ID" (NotificationClosed,
// dismissed) on stdin. login1 owns org.freedesktop.login1 on the system bus
// (DBUS_SYSTEM_BUS_ADDRESS) and reads "resume" and "sleep" (PrepareForSleep(false), (true)).
// It prints "ready" once it owns its name and ends when stdin closes.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>

#include <cstdio>
#include <functional>
#include <memory>

#include <unistd.h>

#include "tests/app/fakenotificationserver.h"

namespace {

// Hands each line of stdin to handle, and quits at its end.
void ReadLines(QCoreApplication& app, std::function<void(const QList<QByteArray>&)> handle) {
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    auto pending = std::make_shared<QByteArray>();
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, handle, pending] {
        char buffer[512];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) return app.quit();
        pending->append(buffer, n);
        for (qsizetype end; (end = pending->indexOf('\n')) >= 0; pending->remove(0, end + 1)) {
            handle(pending->left(end).simplified().split(' '));
        }
    });
}

int Usage() {
    std::fprintf(stderr, "usage: busfake notifications RECORD_FILE | busfake login1\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool notifications = args.size() == 2 && args[0] == QLatin1String("notifications");
    if (!notifications && args != QStringList{QStringLiteral("login1")}) return Usage();

    QDBusConnection bus =
        notifications ? QDBusConnection::sessionBus() : QDBusConnection::systemBus();
    std::unique_ptr<FakeNotificationServer> server;
    if (notifications) {
        const QString capabilities = qEnvironmentVariable(
            "BUSFAKE_CAPABILITIES", QStringLiteral("actions,body,body-markup"));
        server = std::make_unique<FakeNotificationServer>(
            args[1], capabilities.split(u',', Qt::SkipEmptyParts));
        if (!server->recording() ||
            !bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), server.get(),
                                QDBusConnection::ExportScriptableContents)) {
            std::fprintf(stderr, "busfake: no record file or no session bus\n");
            return 1;
        }
        ReadLines(app, [&server](const QList<QByteArray>& words) {
            if (words.size() == 3 && words[0] == "invoke") {
                emit server->ActionInvoked(words[1].toUInt(), QString::fromUtf8(words[2]));
            } else if (words.size() == 2 && words[0] == "close") {
                emit server->NotificationClosed(words[1].toUInt(), 2);
            }
        });
    } else {
        ReadLines(app, [&bus](const QList<QByteArray>& words) {
            if (words.size() != 1 || (words[0] != "resume" && words[0] != "sleep")) return;
            QDBusMessage signal =
                QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                           QStringLiteral("org.freedesktop.login1.Manager"),
                                           QStringLiteral("PrepareForSleep"));
            bus.send(signal << (words[0] == "sleep"));
        });
    }
    const QString name = notifications ? QStringLiteral("org.freedesktop.Notifications")
                                       : QStringLiteral("org.freedesktop.login1");
    if (!bus.registerService(name)) {
        std::fprintf(stderr, "busfake: %s not owned: %s\n", qPrintable(name),
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
