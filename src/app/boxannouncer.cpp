#include "src/app/boxannouncer.h"

#include <algorithm>

#include "src/app/bookkeeper.h"
#include "src/app/boxwatch.h"
#include "src/app/captiontexts.h"
#include "src/app/notifier.h"
#include "src/app/searchsession.h"

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
    connect(&notifier, &Notifier::actionInvoked, this,
            [this](const QString& key, const QVariant& context) {
                const QString address = context.toString();
                if (key == QStringLiteral("login")) emit openRequested(QStringLiteral("http"), address);
                if (key == QStringLiteral("storage")) emit openRequested(QStringLiteral("smb"), address);
            });
}

void BoxAnnouncer::start() {
    sinceStart.start();
}

void BoxAnnouncer::announce(const WatchEvent& event) {
    if (!enabled || event.kind == WatchEvent::Kind::Changed) return;
    if (!sinceStart.isValid() || sinceStart.elapsed() < kSettleMilliseconds) return;
    const QString id = Field(event.device.id);
    const QString ip = Field(event.device.ip);
    const QString key = id.isEmpty() ? ip : id;
    QElapsedTimer& told = lastTold[key];
    if (told.isValid() && told.elapsed() < kQuietMilliseconds) return;
    told.start();

    const char* summary = "Box Gone";
    if (event.kind == WatchEvent::Kind::Appeared) {
        const std::vector<KnownBox>& book = session.book().boxes();
        const bool remembered = std::any_of(book.begin(), book.end(), [&](const KnownBox& box) {
            return id.isEmpty() ? QString::fromStdString(box.ip) == ip
                                : QString::fromStdString(box.id) == id;
        });
        summary = remembered ? "Box Back" : "Box New";
    }
    const QString host = Field(event.device.host);
    const QString product = Field(event.device.product);
    QList<QPair<QString, QString>> actions;
    if (event.kind == WatchEvent::Kind::Appeared) {
        actions = {{QStringLiteral("login"), texts.text("Log In")},
                   {QStringLiteral("storage"), texts.text("My storage")}};
    }
    notifier.notify(texts.text(summary, {{QStringLiteral("box"), host.isEmpty() ? ip : host}}),
                    texts.text("Box Body", {{QStringLiteral("ip"), ip}, {QStringLiteral("product"), product}}),
                    actions, ip);
}
