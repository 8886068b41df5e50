#include <QItemSelectionModel>
#include <QtTest>

#include <cstring>

#include <QTextDocument>

#include "search/deviceinfo.h"
#include "src/app/datapair.h"
#include "src/app/devicetablemodel.h"
#include "tests/support/hostiletext.h"

namespace {

QVariantMap Row(const QString& host, const QString& ip, const QString& type) {
    return {{"HomeHost", host}, {"IP", ip}, {"DeviceType", type}};
}

QStringList Column(const DeviceTableModel& model, int column) {
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row) {
        values << model.data(model.index(row, column)).toString();
    }
    return values;
}

}  // namespace

class RowsTest : public QObject {
    Q_OBJECT
private slots:
    void dataPairReadsFieldsUpToTheirEnd();
    void modelShowsRowKeysInBoundColumns();
    void sortArrangesRowsAndKeepsTheSelection();
    void textFromABoxStaysText_data();
    void textFromABoxStaysText();
};

void RowsTest::dataPairReadsFieldsUpToTheirEnd() {
    deviceinfo record;
    // A field with no zero in its 32 bytes must stop at the field's end, not run into ip.
    std::memset(record.host, 'h', sizeof record.host);
    CopyDeviceField(record.ip, "192.168.1.20");
    CopyDeviceField(record.product,
                    "B\xc3\xbc"
                    "cherei");  // UTF-8
    const DataPair pair(record.host, record.ip, record.product);

    QCOMPARE(pair.devicename(), QString(32, QLatin1Char('h')));
    QCOMPARE(pair.deviceip(), QStringLiteral("192.168.1.20"));
    QCOMPARE(pair.getTheIp(), pair.deviceip());
    QCOMPARE(pair.devicetype(), QStringLiteral("B\u00fccherei"));
    QCOMPARE(pair.row(), Row(QString(32, QLatin1Char('h')), "192.168.1.20", "B\u00fccherei"));
}

void RowsTest::modelShowsRowKeysInBoundColumns() {
    DeviceTableModel model;
    // The layout chooses the column order; here the IP comes first.
    model.setColumns({"IP", "HomeHost", "DeviceType"}, {"Address", "Name"});
    model.setRows({Row("alpha", "10.0.0.1", "K100"), Row("beta", "10.0.0.2", "K200")});
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(Column(model, 0), (QStringList{"10.0.0.1", "10.0.0.2"}));
    QCOMPARE(Column(model, 1), (QStringList{"alpha", "beta"}));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    // A column without a title falls back to its key.
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("DeviceType"));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

    model.removeAllRows();
    QCOMPARE(model.rowCount(), 0);
}

void RowsTest::sortArrangesRowsAndKeepsTheSelection() {
    DeviceTableModel model;
    model.setColumns({"HomeHost", "IP", "DeviceType"}, {});
    model.setRows({Row("c", "192.168.1.10", "X"), Row("a", "192.168.1.9", "Y"),
                   Row("b", "192.168.1.100", "Z")});
    QItemSelectionModel selection(&model);
    selection.select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    model.sort(1, Qt::AscendingOrder);
    // Numbers compare as numbers: .9 before .10 before .100.
    QCOMPARE(Column(model, 1), (QStringList{"192.168.1.9", "192.168.1.10", "192.168.1.100"}));
    QCOMPARE(selection.selectedRows().size(), 1);
    QCOMPARE(model.rowAt(selection.selectedRows().first().row()).value("HomeHost"), QVariant("c"));

    model.sort(0, Qt::DescendingOrder);
    QCOMPARE(Column(model, 0), (QStringList{"c", "b", "a"}));
    model.sort(-1);
    QCOMPARE(Column(model, 0), (QStringList{"c", "a", "b"}));
}

void RowsTest::textFromABoxStaysText_data() {
    QTest::addColumn<QByteArray>("bytes");
    for (const nasfinder::test::HostileText& text : nasfinder::test::HostileTexts()) {
        QTest::newRow(text.name) << QByteArray::fromStdString(text.bytes);
    }
}

// Every role a view or a screen reader reads shows the box's text as written: a tooltip is
// rendered as Qt renders one, rich text when it looks like markup.
void RowsTest::textFromABoxStaysText() {
    QFETCH(QByteArray, bytes);
    deviceinfo record;
    CopyDeviceField(record.host, bytes.constData());
    CopyDeviceField(record.ip, "10.1.1.1");
    CopyDeviceField(record.product, bytes.constData());
    QVariantMap remembered = DataPair(record.host, record.ip, record.product).row();
    remembered.insert(kRememberedRowKey, true);
    remembered.insert(kRowHelpKey, QStringLiteral("last seen ") + QString::fromUtf8(bytes));
    DeviceTableModel model;
    model.setColumns({"HomeHost", "IP", "DeviceType"}, {});
    model.setRows({DataPair(record.host, record.ip, record.product).row(), remembered});
    const auto rendered = [](const QString& tip) {
        if (!Qt::mightBeRichText(tip)) return tip;
        QTextDocument document;
        document.setHtml(tip);
        return document.toPlainText();
    };
    const QString shown = model.data(model.index(0, 0)).toString();
    QCOMPARE(shown, QString::fromUtf8(bytes.left(31)));
    QCOMPARE(rendered(model.data(model.index(0, 0), Qt::ToolTipRole).toString()), shown);
    QCOMPARE(rendered(model.data(model.index(0, 2), Qt::ToolTipRole).toString()), shown);
    const QString help = remembered.value(kRowHelpKey).toString();
    QCOMPARE(rendered(model.data(model.index(1, 0), Qt::ToolTipRole).toString()), help);
    QCOMPARE(model.data(model.index(1, 0), Qt::AccessibleDescriptionRole).toString(), help);
}

QTEST_MAIN(RowsTest)
#include "tst_rows.moc"
