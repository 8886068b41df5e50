#include "src/app/boxannouncer.h"

#include <algorithm>

#include "src/app/bookkeeper.h"
#include "src/app/boxwatch.h"
#include "src/app/captiontexts.h"
#include "src/app/notifier.h"
#include "src/app/searchsession.h"
#include "src/app/waker.h"

namespace {

QString Field(const char* field) {
    const std::string_view text = DeviceFieldText(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

BoxAnnouncer::BoxAnnouncer(SearchSession& session, Notifier& notifier, const CaptionTexts& texts,
                           QObject* parent)
    : QObject(parent), session(session), notifier(notifier), texts(texts) {
    connect(&session.watch(), &BoxWatch::changed, this, &BoxAnnouncer::announce);
    // A box woken from here answers: told even while the boxes already there settle.
    connect(&session.waker(), &Waker::woken, this,
            [this](const KnownBox&, const deviceinfo& answered) {
                WatchEvent back;
                back.device = answered;
                told(back, "Box Back");
            });
    connect(&notifier, &Notifier::actionInvoked, this,
            [this](const QString& key, const QVariant& context) {
                const QString address = context.toString();
                if (key == QStringLiteral("login"))
                    emit openRequested(QStringLiteral("http"), address);
                if (key == QStringLiteral("storage"))
                    emit openRequested(QStringLiteral("smb"), address);
            });
}

void BoxAnnouncer::start() {
    sinceStart.start();
}

void BoxAnnouncer::announce(const WatchEvent& event) {
    if (event.kind == WatchEvent::Kind::Changed) return;
    if (!sinceStart.isValid() || sinceStart.elapsed() < kSettleMilliseconds) return;
    if (event.kind == WatchEvent::Kind::Gone) {
        told(event, "Box Gone");
        return;
    }
    const std::string id(DeviceFieldText(event.device.id));
    const std::string ip(DeviceFieldText(event.device.ip));
    const std::vector<KnownBox>& book = session.book().boxes();
    const bool remembered = std::any_of(book.begin(), book.end(), [&](const KnownBox& box) {
        return id.empty() ? box.ip == ip : box.id == id;
    });
    told(event, remembered ? "Box Back" : "Box New");
}

void BoxAnnouncer::told(const WatchEvent& event, const char* summary) {
    if (!enabled) return;
    const QString id = Field(event.device.id);
    const QString ip = Field(event.device.ip);
    QElapsedTimer& last = lastTold[id.isEmpty() ? ip : id];
    if (last.isValid() && last.elapsed() < kQuietMilliseconds) return;
    last.start();

    const QString host = Field(event.device.host);
    const QString product = Field(event.device.product);
    QList<QPair<QString, QString>> actions;
    if (event.kind != WatchEvent::Kind::Gone) {
        actions = {{QStringLiteral("login"), texts.text("Log In")},
                   {QStringLiteral("storage"), texts.text("My storage")}};
    }
    notifier.notify(
        texts.text(summary, {{QStringLiteral("box"), host.isEmpty() ? ip : host}}),
        texts.text("Box Body", {{QStringLiteral("ip"), ip}, {QStringLiteral("product"), product}}),
        actions, ip);
}
