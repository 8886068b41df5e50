#pragma once

#include <QDBusConnection>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

class QDBusPendingCallWatcher;

// A client of the desktop's notification server (org.freedesktop.Notifications on the session
// bus it is given). It asks the server once, at construction, what it offers; notify() never
// waits for the server. It owns the contexts of the notifications it showed with actions, each
// kept until the server says the notification was acted on or closed, so the table stays small.
// Main thread.
class Notifier : public QObject {
    Q_OBJECT
public:
    // (key, caption) pairs, in the order the server should show them.
    using Actions = QList<QPair<QString, QString>>;

    explicit Notifier(const QDBusConnection& bus, QObject* parent = nullptr);

    // Whether a notification server answered the question of construction (false until then).
    bool available() const { return answered; }
    // Whether it offers actions (buttons on the notification).
    bool offersActions() const { return capabilities.contains(QStringLiteral("actions")); }

    // Shows one notification as "nasfinder" with the program's icon. Summary and body are plain
    // text: control characters become U+FFFD and, where the server may read the body as markup
    // (it says so, or has not answered yet), & < > are escaped. The actions go only where the
    // server offers them (so none before it answered); choosing one gives actionInvoked with
    // context. A failed call is logged on standard error, once until a call succeeds again.
    void notify(const QString& summary, const QString& body, const Actions& actions = {},
                const QVariant& context = {});

signals:
    // The server answered the question of construction, or failed to; available() tells which.
    void availabilityKnown();
    // The user chose action key on a notification that notify() showed with context.
    void actionInvoked(const QString& key, const QVariant& context);

private slots:
    void serverInvokedAction(uint id, const QString& key);
    void serverClosed(uint id, uint reason);

private:
    void notifyAnswered(QDBusPendingCallWatcher* call, const QVariant& context, bool withActions);
    // Logs why a notification was not shown, unless the one before failed as well.
    void failed(const QString& why);

    QDBusConnection bus;
    bool answered = false;
    QStringList capabilities;
    bool failureLogged = false;
    // By the server's id, which grows, so that the oldest goes first should the server never
    // say that a notification closed.
    QMap<uint, QVariant> contexts;
};
