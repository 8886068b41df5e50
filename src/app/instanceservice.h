#pragma once

#include <QDBusConnection>
#include <QObject>

// How this process stands towards the one nasfinder of the user's session.
enum class InstanceClaim {
    First,   // it owns the session's name now, and makes an InstanceService to answer calls
    Second,  // another nasfinder owns it and was asked to show its window: exit 0
    NoBus,   // no session bus: say so once on standard error and go on alone
};

// The one nasfinder of a session: the name io.github.nasfinder on the session bus (claimed by
// ClaimInstance, released by the destructor) and the object /io/github/nasfinder, interface
// io.github.nasfinder, with two methods, Show() and SearchNow(), and nothing else. Main thread.
class InstanceService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.nasfinder")
public:
    // Claims the name on bus; where another process owns it, asks that one to Show(). Returns
    // within 2 s whatever the other process does (one that does not answer counts as Second,
    // with a line on standard error).
    static InstanceClaim ClaimInstance(QDBusConnection bus);

    // Exports the object on bus, whose name ClaimInstance gave as First.
    explicit InstanceService(const QDBusConnection& bus, QObject* parent = nullptr);
    ~InstanceService() override;

public slots:
    // The bus methods, named as the bus sees them; each emits its signal.
    Q_SCRIPTABLE void Show();
    Q_SCRIPTABLE void SearchNow();

signals:
    void showRequested();
    void searchRequested();

private:
    QDBusConnection bus;
};
