#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QtTest>

#include "src/app/devicetablemodel.h"
#include "tests/app/windowfixture.h"

namespace {

int RowOfIp(DeviceTableModel& model, const QString& ip) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.rowAt(row).value("IP").toString() == ip) return row;
    }
    return -1;
}

}  // namespace

// The window as keyboard and screen-reader users meet it, shown and active on the offscreen
// platform: copying a row's addresses.
class WindowAccessTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void copyingFromTheMenuAndWithCtrlC_data();
    void copyingFromTheMenuAndWithCtrlC();
};

void WindowAccessTest::cleanup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMenu*>(widget)) widget->close();
    }
}

void WindowAccessTest::copyingFromTheMenuAndWithCtrlC_data() {
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("how");  // an action of the row's menu, or Ctrl+C
    QTest::addColumn<QString>("copied");

    QTest::newRow("IP address") << "192.168.1.20"
                                << "copyIpAction"
                                << "192.168.1.20";
    QTest::newRow("web address") << "192.168.1.20"
                                 << "copyWebAddressAction"
                                 << "http://192.168.1.20";
    QTest::newRow("share address") << "192.168.1.20"
                                   << "copyShareAddressAction"
                                   << "smb://192.168.1.20";
    QTest::newRow("share address of a host name") << "Office-NAS"
                                                  << "copyShareAddressAction"
                                                  << "smb://office-nas";
    QTest::newRow("Ctrl+C") << "192.168.1.20"
                            << "Ctrl+C"
                            << "192.168.1.20";
    // What cannot open cannot be copied as an address; the text itself still can.
    QTest::newRow("web address of a refused address") << "10.0.0.1/admin"
                                                      << "copyWebAddressAction"
                                                      << "unchanged";
    QTest::newRow("IP address of a refused address") << "10.0.0.1/admin"
                                                     << "copyIpAction"
                                                     << "10.0.0.1/admin";
}

void WindowAccessTest::copyingFromTheMenuAndWithCtrlC() {
    QFETCH(QString, ip);
    QFETCH(QString, how);
    QFETCH(QString, copied);
    WindowFixture fixture;
    fixture.report("192.168.1.10", "alpha");
    fixture.report(qPrintable(ip), "beta");
    fixture.tick();
    // Nothing of this is made before the window's first paint.
    QVERIFY(fixture.table().actions().isEmpty());
    QVERIFY(fixture.showAndActivate());
    QGuiApplication::clipboard()->setText("unchanged");
    const int row = RowOfIp(fixture.rows(), ip);
    fixture.table().selectRow(1 - row);

    if (how == "Ctrl+C") {
        fixture.table().selectRow(row);
        fixture.table().setFocus();
        QTest::keySequence(&fixture.table(), QKeySequence::Copy);
    } else {
        // A right click on the row opens its menu, whichever row was selected before.
        const QPoint point = fixture.table().visualRect(fixture.rows().index(row, 0)).center();
        QWidget* viewport = fixture.table().viewport();
        QContextMenuEvent click(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point));
        QApplication::sendEvent(viewport, &click);
        auto* menu = fixture.table().findChild<QMenu*>("deviceMenu");
        QVERIFY(menu && menu->isVisible());
        QStringList names;
        for (const QAction* action : menu->actions()) names << action->objectName();
        QCOMPARE(names,
                 (QStringList{"copyIpAction", "copyWebAddressAction", "copyShareAddressAction"}));
        QAction* action = menu->actions().at(names.indexOf(how));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
}

QTEST_MAIN(WindowAccessTest)
#include "tst_windowaccess.moc"
