#pragma once

#include <QObject>

class QDBusConnection;

// Listens on the system bus it is given for logind's PrepareForSleep(bool), from the owner of
// org.freedesktop.login1 only, and tells when the computer has woken up. Without a system bus
// it does nothing. Main thread.
class SleepWatcher : public QObject {
    Q_OBJECT
public:
    explicit SleepWatcher(const QDBusConnection& systemBus, QObject* parent = nullptr);

    // Whether it listens (false without a system bus).
    bool watching() const { return listening; }

signals:
    // The computer resumed from sleep or hibernation (PrepareForSleep(false)).
    void resumed();

private slots:
    void prepareForSleep(bool sleeping);

private:
    bool listening;
};
