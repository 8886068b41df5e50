#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A dbus-daemon of the test's own, on a Unix socket in a temporary folder, standing in for the
// session or the system bus: any connection may own any name, and nothing is started on demand
// (no service files). The daemon ends with the object, or with the test should that die first.
// Main thread.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty where dbus-daemon is missing or did not start; problem() then says why.
    QString address() const { return busAddress; }
    QString problem() const { return failure; }
    // A connection of its own to this bus (name must be new), closed with the bus.
    QDBusConnection connect(const QString& name);
    // An address where no bus answers.
    static QString Nowhere() { return QStringLiteral("unix:path=/nonexistent/nasfinder-no-bus"); }

private:
    QTemporaryDir folder;
    QProcess daemon;
    QString busAddress;
    QString failure;
    QStringList connections;
};
