#include "src/app/notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "src/app/consolelog.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kAppId = QStringLiteral("io.github.nasfinder");
// The icon as the package installs it (share/icons/hicolor/scalable/apps/nasfinder.svg).
const QString kIcon = QStringLiteral("nasfinder");

// Notifications that still wait for a choice; beyond this the oldest context is dropped.
constexpr int kMaxContexts = 64;

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

// Text from a box stays text: no control character reaches the server, newlines aside.
QString Shown(const QString& text) {
    QString shown = text;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control && c != u'\n') c = QChar::ReplacementCharacter;
    }
    return shown;
}

// The body's markup is a small XML-like set, where these three are all that text must escape.
QString Escaped(const QString& text) {
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
}

}  // namespace

Notifier::Notifier(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus(bus) {
    if (!this->bus.isConnected()) {
        // Told once the event loop runs, as a server's answer would be.
        QMetaObject::invokeMethod(
            this, [this] { emit availabilityKnown(); }, Qt::QueuedConnection);
        return;
    }
    this->bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(serverInvokedAction(uint, QString)));
    this->bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                      SLOT(serverClosed(uint, uint)));
    auto* call = new QDBusPendingCallWatcher(
        this->bus.asyncCall(Call(QStringLiteral("GetCapabilities"))), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call] {
        const QDBusPendingReply<QStringList> reply = *call;
        answered = reply.isValid();
        if (answered) capabilities = reply.value();
        call->deleteLater();
        emit availabilityKnown();
    });
}

void Notifier::notify(const QString& summary, const QString& body, const Actions& actions,
                      const QVariant& context) {
    if (!bus.isConnected()) return failed(QStringLiteral("no session bus"));
    // Before the server answered, its body may be markup for all we know.
    const bool markup = !answered || capabilities.contains(QStringLiteral("body-markup"));
    QStringList flatActions;
    if (offersActions()) {
        for (const auto& [key, caption] : actions) flatActions << key << Shown(caption);
    }
    QDBusMessage message = Call(QStringLiteral("Notify"));
    message << QStringLiteral("nasfinder") << 0u << kIcon << Shown(summary)
            << (markup ? Escaped(Shown(body)) : Shown(body)) << flatActions
            << QVariantMap{{QStringLiteral("desktop-entry"), kAppId}} << -1;
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    const bool withActions = !flatActions.isEmpty();
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, call, context, withActions] { notifyAnswered(call, context, withActions); });
}

void Notifier::notifyAnswered(QDBusPendingCallWatcher* call, const QVariant& context,
                              bool withActions) {
    const QDBusPendingReply<uint> reply = *call;
    call->deleteLater();
    if (reply.isError()) return failed(reply.error().message());
    failureLogged = false;
    if (!withActions) return;
    contexts.insert(reply.value(), context);
    if (contexts.size() > kMaxContexts) contexts.erase(contexts.begin());
}

void Notifier::failed(const QString& why) {
    if (!failureLogged)
        ConsoleLog(QStringLiteral("notification not shown: %1").arg(Shown(why.simplified())));
    failureLogged = true;
}

void Notifier::serverInvokedAction(uint id, const QString& key) {
    // Other programs' notifications come past as well: their ids are not in the table.
    const auto found = contexts.constFind(id);
    if (found == contexts.cend()) return;
    const QVariant context = *found;
    contexts.erase(found);
    emit actionInvoked(key, context);
}

void Notifier::serverClosed(uint id, uint /*reason*/) {
    contexts.remove(id);
}
