#include "src/app/rememberedrows.h"

#include <QLabel>

#include <algorithm>
#include <cstdio>

#include "src/app/captiontexts.h"
#include "src/app/datapair.h"
#include "src/app/devicesource.h"
#include "src/app/devicetablemodel.h"

namespace {

// The book's facts a remembered row carries beside the shown columns.
const QString kIdKey = QStringLiteral("BoxId");
const QString kMacKey = QStringLiteral("MAC");
const QString kInterfaceKey = QStringLiteral("Interface");
const QString kLastSeenKey = QStringLiteral("LastSeen");

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

bool Answered(const KnownBox& box, const std::vector<deviceinfo>& found) {
    return std::any_of(found.begin(), found.end(), [&box](const deviceinfo& device) {
        return box.id.empty() ? DeviceFieldText(device.ip) == box.ip
                              : DeviceFieldText(device.id) == box.id;
    });
}

// An id is kept as its bytes: one that is not UTF-8 must still name its box in the book.
QByteArray IdBytes(const std::string& id) {
    return QByteArray::fromStdString(id);
}

bool SameRow(const QVariantMap& row, const KnownBox& box) {
    return row.value(kRememberedRowKey).toBool() &&
           row.value(kIdKey).toByteArray() == IdBytes(box.id) &&
           row.value(QStringLiteral("IP")).toString() == Text(box.ip);
}

}  // namespace

RememberedRows::RememberedRows(DeviceSource& source, DeviceTableModel* rows, QLabel* hintLabel,
                               const CaptionTexts& texts, bool enabled, QObject* parent)
    : QObject(parent),
      source(source),
      rows(rows),
      hintLabel(hintLabel),
      texts(texts),
      enabled(enabled),
      file(CKnownBoxesFile::DefaultPath()) {}

void RememberedRows::searchEnded() {
    if (!enabled) return;
    record();
    std::vector<deviceinfo> found;
    source.CopyDeviceList(found);
    std::vector<KnownBox> book;
    file.Read(book);
    tell();

    // The rows of an earlier window's remembered boxes go: a window run again without
    // emptying the list (a network appeared) lists them anew.
    QList<QVariantMap> shown;
    for (int row = 0; row < rows->rowCount(); ++row) {
        if (!rows->rowAt(row).value(kRememberedRowKey).toBool()) shown << rows->rowAt(row);
    }
    for (const KnownBox& box : book) {
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

void RememberedRows::recordAtExit() {
    if (!enabled) return;
    // The window is going: tell() says it on standard error too, which alone can still tell.
    record();
}

void RememberedRows::record() {
    std::vector<DeviceSighting> heard;
    source.CopySightings(heard);
    file.Remember(SeenBoxes(heard));
    tell();
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
    file.Update([&box](std::vector<KnownBox>& book) {
        book.erase(std::remove_if(book.begin(), book.end(),
                                  [&box](const KnownBox& entry) {
                                      return entry.id == box->id && entry.ip == box->ip;
                                  }),
                   book.end());
    });
    tell();
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

void RememberedRows::tell() {
    if (file.Notice().empty()) return;
    std::fprintf(stderr, "nasfinder: %s\n", file.Notice().c_str());
    hintLabel->setText(texts.text("Book Trouble", {{QStringLiteral("reason"), Text(file.Notice())}})
                           .toHtmlEscaped());
    hintLabel->setVisible(true);
}
