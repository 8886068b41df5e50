#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QtTest>

#include "src/app/devicetablemodel.h"
#include "tests/app/windowfixture.h"

namespace {

QString Accessible(QWidget& widget, QAccessible::Text text) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget);
    return accessible ? accessible->text(text) : QString();
}

}  // namespace

// Receives the URLs the window hands to the desktop.
class AccessUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// The window as keyboard and screen-reader users meet it, shown and active on the offscreen
// platform: copying a row's addresses, the keyboard alone, the accessible texts.
class WindowAccessTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void copyingFromTheMenuAndWithCtrlC_data();
    void copyingFromTheMenuAndWithCtrlC();
    void tabOrderAndArrowKeys();
    void theKeysSelectAsTheyMove_data();
    void theKeysSelectAsTheyMove();
    void everyControlIsNamedAndDescribed_data();
    void everyControlIsNamedAndDescribed();
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
    const char* const rows[][3] = {
        {"192.168.1.20", "copyIpAction", "192.168.1.20"},
        {"192.168.1.20", "copyWebAddressAction", "http://192.168.1.20"},
        {"192.168.1.20", "copyShareAddressAction", "smb://192.168.1.20"},
        {"Office-NAS", "copyShareAddressAction", "smb://office-nas"},
        {"192.168.1.20", "Ctrl+C", "192.168.1.20"},
        // What cannot open cannot be copied as an address; the text itself still can.
        {"10.0.0.1/admin", "copyWebAddressAction", "unchanged"},
        {"10.0.0.1/admin", "copyIpAction", "10.0.0.1/admin"},
    };
    for (const auto& [ip, how, copied] : rows) {
        QTest::addRow("%s, %s", how, ip) << QString(ip) << QString(how) << QString(copied);
    }
}

void WindowAccessTest::copyingFromTheMenuAndWithCtrlC() {
    QFETCH(QString, ip);
    QFETCH(QString, how);
    QFETCH(QString, copied);
    WindowFixture fixture;
    fixture.report(qPrintable(ip), "beta");
    fixture.report("192.168.1.10", "alpha");
    fixture.tick();
    // Nothing of this is made before the window's first paint.
    QVERIFY(fixture.table().actions().isEmpty());
    QVERIFY(fixture.showAndActivate());
    QGuiApplication::clipboard()->setText("unchanged");
    fixture.table().selectRow(1);

    if (how == "Ctrl+C") {
        fixture.table().selectRow(0);
        fixture.table().setFocus();
        QTest::keySequence(&fixture.table(), QKeySequence::Copy);
    } else {
        // A right click opens the menu of the row under the pointer, not of the selected one.
        const QPoint point = fixture.table().visualRect(fixture.rows().index(0, 0)).center();
        QWidget* viewport = fixture.table().viewport();
        QContextMenuEvent click(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point));
        QApplication::sendEvent(viewport, &click);
        auto* menu = fixture.table().findChild<QMenu*>("deviceMenu");
        QVERIFY(menu && menu->isVisible());
        QStringList names;
        // A found box's menu shows the copy actions, the other networks and the preferences; a
        // remembered box's adds more.
        for (const QAction* action : menu->actions()) {
            if (action->isVisible()) names << action->objectName();
        }
        QCOMPARE(names,
                 (QStringList{"copyIpAction", "copyWebAddressAction", "copyShareAddressAction", "",
                              "otherNetworksAction", "preferencesAction"}));
        QAction* action = menu->actions().at(names.indexOf(how));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
}

void WindowAccessTest::tabOrderAndArrowKeys() {
    AccessUrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    WindowFixture fixture;
    for (const char* ip : {"192.168.1.10", "192.168.1.20", "192.168.1.30"}) fixture.report(ip, "x");
    fixture.tick(12);
    QVERIFY(fixture.showAndActivate());
    fixture.table().setFocus(Qt::TabFocusReason);

    QStringList order{QApplication::focusWidget()->objectName()};
    for (int press = 0; press < 4; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"tableview", "loginbutton", "storagebutton", "refreshbutton",
                                 "tableview"}));

    // The arrow keys move the selection, and Log In opens the row they left selected.
    fixture.table().selectRow(0);
    QTest::keyClick(&fixture.table(), Qt::Key_Down);
    QTest::keyClick(&fixture.table(), Qt::Key_Down);
    QTest::keyClick(&fixture.table(), Qt::Key_Up);
    QTest::keyClick(&fixture.table(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl("http://192.168.1.20")});
    QDesktopServices::unsetUrlHandler("http");
}

void WindowAccessTest::theKeysSelectAsTheyMove_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("keys");  // pressed after the table gets the focus
    QTest::addColumn<int>("selected");
    QTest::newRow("one row, focus alone") << 1 << QList<int>{} << 0;
    QTest::newRow("one row, an arrow") << 1 << QList<int>{Qt::Key_Down} << 0;
    QTest::newRow("End") << 3 << QList<int>{Qt::Key_End} << 2;
    QTest::newRow("End, then Home") << 3 << QList<int>{Qt::Key_End, Qt::Key_Home} << 0;
    QTest::newRow("Down twice, Up") << 3 << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up} << 1;
}

void WindowAccessTest::theKeysSelectAsTheyMove() {
    QFETCH(int, rows);
    QFETCH(QList<int>, keys);
    QFETCH(int, selected);
    WindowFixture fixture;
    for (int i = 0; i < rows; ++i) {
        fixture.report(qPrintable(QStringLiteral("192.168.1.%1").arg(10 + i)), "x");
    }
    fixture.tick(12);
    QVERIFY(fixture.showAndActivate());
    fixture.button("refreshbutton").setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &fixture.table());
    for (int key : keys) QTest::keyClick(&fixture.table(), Qt::Key(key));
    const QModelIndexList rowsSelected = fixture.table().selectionModel()->selectedRows();
    QCOMPARE(rowsSelected.size(), 1);
    QCOMPARE(rowsSelected.first().row(), selected);
}

void WindowAccessTest::everyControlIsNamedAndDescribed_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("countdown");  // after three ticks, then once the search ended
    QTest::newRow("en") << "en"
                        << "Storage boxes found"
                        << "Seconds left in the search: 8|Search finished";
    QTest::newRow("de") << "de"
                        << "Gefundene Speicherger\u00e4te"
                        << "Verbleibende Sekunden der Suche: 8|Suche beendet";
}

void WindowAccessTest::everyControlIsNamedAndDescribed() {
    QFETCH(QString, language);
    QFETCH(QString, table);
    QFETCH(QString, countdown);
    WindowFixture fixture(language);
    QVERIFY(fixture.showAndActivate());
    fixture.tick(3);

    QLabel& countdownField = fixture.label("countdownField");
    QCOMPARE(Accessible(fixture.table(), QAccessible::Name), table);
    QCOMPARE(Accessible(countdownField, QAccessible::Name), countdown.section('|', 0, 0));
    QSet<QString> descriptions{Accessible(fixture.table(), QAccessible::Description),
                               Accessible(countdownField, QAccessible::Description)};
    for (const char* button : {"loginbutton", "storagebutton", "refreshbutton"}) {
        QCOMPARE(Accessible(fixture.button(button), QAccessible::Name),
                 fixture.button(button).text());
        descriptions << Accessible(fixture.button(button), QAccessible::Description);
    }
    // Five controls, five descriptions of their own, none empty.
    QCOMPARE(descriptions.size(), 5);
    QVERIFY(!descriptions.contains(QString()));
    fixture.tick(9);
    QCOMPARE(Accessible(countdownField, QAccessible::Name), countdown.section('|', 1));
}

QTEST_MAIN(WindowAccessTest)
#include "tst_windowaccess.moc"
