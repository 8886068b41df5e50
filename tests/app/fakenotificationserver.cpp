#include "tests/app/fakenotificationserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

FakeNotificationServer::FakeNotificationServer(const QString& recordPath, QStringList capabilities)
    : record(recordPath), capabilities(std::move(capabilities)) {
    record.open(QIODevice::WriteOnly | QIODevice::Append);
}

QString FakeNotificationServer::GetServerInformation(QString& vendor, QString& version,
                                                     QString& protocolVersion) const {
    vendor = QStringLiteral("nasfinder tests");
    version = QStringLiteral("1");
    protocolVersion = QStringLiteral("1.2");
    return QStringLiteral("busfake");
}

uint FakeNotificationServer::Notify(const QString& app, uint /*replaces*/, const QString& icon,
                                    const QString& summary, const QString& body,
                                    const QStringList& actions, const QVariantMap& /*hints*/,
                                    int /*timeout*/) {
    const QJsonObject line{
        {"id", qint64(++lastId)}, {"app", app},   {"icon", icon},
        {"summary", summary},     {"body", body}, {"actions", QJsonArray::fromStringList(actions)}};
    record.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    record.flush();
    return lastId;
}
