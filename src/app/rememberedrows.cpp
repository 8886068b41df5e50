#include "src/app/rememberedrows.h"

#include <algorithm>

#include "src/app/bookkeeper.h"
#include "src/app/captiontexts.h"
#include "src/app/datapair.h"
#include "src/app/devicesource.h"
#include "src/app/devicetablemodel.h"
#include "src/app/hintline.h"
#include "src/app/searchsession.h"

namespace {

// The book's facts a remembered row carries beside the shown columns.
const QString kIdKey = QStringLiteral("BoxId");
const QString kMacKey = QStringLiteral("MAC");
const QString kInterfaceKey = QStringLiteral("Interface");
const QString kLastSeenKey = QStringLiteral("LastSeen");

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// An id is kept as its bytes, which need not be UTF-8: a row must give back the very id.
QByteArray IdBytes(const std::string& id) {
    return QByteArray::fromStdString(id);
}

bool Answered(const KnownBox& box, const std::vector<deviceinfo>& found) {
    return std::any_of(found.begin(), found.end(), [&box](const deviceinfo& device) {
        return box.id.empty() ? DeviceFieldText(device.ip) == box.ip
                              : DeviceFieldText(device.id) == box.id;
    });
}

bool SameRow(const QVariantMap& row, const KnownBox& box) {
    return row.value(kRememberedRowKey).toBool() &&
           row.value(kIdKey).toByteArray() == IdBytes(box.id) &&
           row.value(QStringLiteral("IP")).toString() == Text(box.ip);
}

}  // namespace

RememberedRows::RememberedRows(SearchSession& session, DeviceTableModel* rows, HintLine& hintLine,
                               const CaptionTexts& texts, QObject* parent)
    : QObject(parent), session(session), rows(rows), hintLine(hintLine), texts(texts) {
    BookKeeper& book = session.book();
    connect(&book, &BookKeeper::bookChanged, this, [this] {
        if (listing) relist();
    });
    connect(&book, &BookKeeper::notice, this, [this](const QString& reason) {
        this->hintLine.tell(this->texts.text("Book Trouble", {{QStringLiteral("reason"), reason}}));
    });
}

void RememberedRows::searchEnded() {
    BookKeeper& book = session.book();
    if (!book.enabled()) return;
    std::vector<DeviceSighting> heard;
    session.devices().CopySightings(heard);
    listing = true;
    if (heard.empty()) {
        book.reload();
    } else {
        book.record(std::move(heard));
    }
}

void RememberedRows::searchStarted() {
    listing = false;
}

void RememberedRows::relist() {
    listing = false;
    std::vector<deviceinfo> found;
    session.devices().CopyDeviceList(found);
    // The rows of an earlier window's remembered boxes go: a window run again without
    // emptying the list (a network appeared) lists them anew.
    QList<QVariantMap> shown;
    for (int row = 0; row < rows->rowCount(); ++row) {
        if (!rows->rowAt(row).value(kRememberedRowKey).toBool()) shown << rows->rowAt(row);
    }
    for (const KnownBox& box : session.book().boxes()) {
        if (Answered(box, found)) continue;
        const QString lastSeen = Text(box.lastSeen);
        QVariantMap row{
            {QStringLiteral("HomeHost"), Text(box.host)},
            {QStringLiteral("IP"), Text(box.ip)},
            {QStringLiteral("DeviceType"), Text(box.product)},
            {kRememberedRowKey, true},
            {kRowHelpKey, texts.text("Last Seen", {{QStringLiteral("time"), lastSeen}})},
            {kIdKey, IdBytes(box.id)},
            {kMacKey, Text(box.mac)},
            {kInterfaceKey, Text(box.interfaceName)},
            {kLastSeenKey, lastSeen}};
        shown << row;
    }
    rows->setRows(shown);
}

std::optional<KnownBox> RememberedRows::boxAt(int row) const {
    if (row < 0 || row >= rows->rowCount()) return std::nullopt;
    const QVariantMap& shown = rows->rowAt(row);
    if (!shown.value(kRememberedRowKey).toBool()) return std::nullopt;
    KnownBox box;
    box.id = shown.value(kIdKey).toByteArray().toStdString();
    box.host = shown.value(QStringLiteral("HomeHost")).toString().toStdString();
    box.ip = shown.value(QStringLiteral("IP")).toString().toStdString();
    box.product = shown.value(QStringLiteral("DeviceType")).toString().toStdString();
    box.mac = shown.value(kMacKey).toString().toStdString();
    box.interfaceName = shown.value(kInterfaceKey).toString().toStdString();
    box.lastSeen = shown.value(kLastSeenKey).toString().toStdString();
    return box;
}

void RememberedRows::forget(int row) {
    const std::optional<KnownBox> box = boxAt(row);
    if (!box) return;
    session.book().forget(*box);
    QList<QVariantMap> shown;
    for (int other = 0; other < rows->rowCount(); ++other) {
        if (!SameRow(rows->rowAt(other), *box)) shown << rows->rowAt(other);
    }
    rows->setRows(shown);
}

void RememberedRows::turnFound(const KnownBox& box, const deviceinfo& answered) {
    QList<QVariantMap> shown;
    for (int row = 0; row < rows->rowCount(); ++row) {
        shown << (SameRow(rows->rowAt(row), box)
                      ? DataPair(answered.host, answered.ip, answered.product).row()
                      : rows->rowAt(row));
    }
    rows->setRows(shown);
}
