#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The notification server of busfake: org.freedesktop.Notifications with the capabilities it
// is given, recording every Notify as one JSON line in a file (id, app, icon, summary, body,
// actions). Main thread of busfake.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    FakeNotificationServer(const QString& recordPath, QStringList capabilities);
    bool recording() const { return record.isOpen(); }

public slots:
    Q_SCRIPTABLE QStringList GetCapabilities() const { return capabilities; }
    Q_SCRIPTABLE QString GetServerInformation(QString& vendor, QString& version,
                                              QString& protocolVersion) const;
    Q_SCRIPTABLE uint Notify(const QString& app, uint replaces, const QString& icon,
                             const QString& summary, const QString& body,
                             const QStringList& actions, const QVariantMap& hints, int timeout);
    Q_SCRIPTABLE void CloseNotification(uint id) { emit NotificationClosed(id, 3); }

signals:
    Q_SCRIPTABLE void ActionInvoked(uint id, const QString& key);
    Q_SCRIPTABLE void NotificationClosed(uint id, uint reason);

private:
    QFile record;
    QStringList capabilities;
    uint lastId = 0;
};
