#include "tests/app/privatebus.h"

#include <QFile>
#include <QStandardPaths>

#include <csignal>

#include <sys/prctl.h>

PrivateBus::PrivateBus() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        failure = QStringLiteral("dbus-daemon is not installed (Debian package dbus-daemon)");
        return;
    }
    QFile config(folder.filePath(QStringLiteral("bus.conf")));
    if (!folder.isValid() || !config.open(QIODevice::WriteOnly)) {
        failure = QStringLiteral("no temporary folder for the bus");
        return;
    }
    config.write(
        QStringLiteral(
            R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
            .arg(folder.path())
            .toUtf8());
    config.close();
    daemon.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon.start(program, {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                           QStringLiteral("--config-file=") + config.fileName()});
    if (!daemon.waitForReadyRead(10000)) {
        failure = QStringLiteral("dbus-daemon did not start: %1")
                      .arg(QString::fromUtf8(daemon.readAllStandardError().trimmed()));
        return;
    }
    busAddress = QString::fromUtf8(daemon.readLine().trimmed());
}

PrivateBus::~PrivateBus() {
    for (const QString& name : connections) QDBusConnection::disconnectFromBus(name);
    daemon.terminate();
    daemon.waitForFinished(5000);
}

QDBusConnection PrivateBus::connect(const QString& name) {
    connections << name;
    return QDBusConnection::connectToBus(busAddress, name);
}
