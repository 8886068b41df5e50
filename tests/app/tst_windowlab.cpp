#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QtTest>

#include "src/app/controller.h"
#include "src/app/devicetablemodel.h"
#include "src/app/hintdetails.h"
#include "src/app/hintline.h"
#include "src/app/launchoptions.h"
#include "src/app/mainwindow.h"

// Receives the URLs the window hands to the desktop.
class LabUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// The window against simulated boxes in a namespace lab, on its own timer, started as on a German
// desktop: run by window_lab.sh, which builds the lab, sets LANG=de_DE.UTF-8 without LANGUAGE and
// names the boxes' addresses in NASFINDER_LAB_BOXES.
class WindowLabTest : public QObject {
    Q_OBJECT
private slots:
    void boxesAppearRefreshFindsThemAndButtonsOpenThem();
    void aFirewallThatDropsTheAnswersIsToldInTheHintLine();
    void aBoxBeyondTheRouterIsFoundThroughTheSettings();
    void aRememberedBoxIsListedAndWokenFromItsMenu();
};

void WindowLabTest::boxesAppearRefreshFindsThemAndButtonsOpenThem() {
    QStringList boxes = qEnvironmentVariable("NASFINDER_LAB_BOXES").split(' ', Qt::SkipEmptyParts);
    if (boxes.isEmpty()) QSKIP("runs inside the namespace lab that window_lab.sh builds");
    boxes.sort();

    LabUrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    QDesktopServices::setUrlHandler("smb", &catcher, "open");
    // The language comes from the environment, as nasfinder takes it; the files from the tree.
    LaunchOptions options = ParseLaunchOptions({"nasfinder"});
    options.resourceDirs = QStringList{NASFINDER_SOURCE_RESOURCES};
    QCOMPARE(options.appleLanguages.value(0), QStringLiteral("de-DE"));
    MainWindow window(options);
    window.show();
    DeviceTableModel& rows = *window.controller()->array_controller();
    QTableView& table = *window.findChild<QTableView*>("tableview");
    QPushButton& login = *window.findChild<QPushButton*>("loginbutton");
    QPushButton& storage = *window.findChild<QPushButton*>("storagebutton");
    QPushButton& refresh = *window.findChild<QPushButton*>("refreshbutton");
    QLabel& countdown = *window.findChild<QLabel*>("countdownField");
    const auto column = [&rows](const char* key) {
        QStringList values;
        for (int row = 0; row < rows.rowCount(); ++row)
            values << rows.rowAt(row).value(key).toString();
        values.sort();
        return values;
    };

    // German captions, from the language part of de_DE.UTF-8.
    QTRY_VERIFY(window.controller()->captionsApplied());
    QCOMPARE(login.text(), QStringLiteral("Anmelden"));
    QCOMPARE(storage.text(), QStringLiteral("Mein Speicher"));
    QCOMPARE(refresh.text(), QStringLiteral("Aktualisieren"));
    QCOMPARE(window.findChild<QLabel*>("deviceListField")->text(),
             QStringLiteral("Ger\u00e4teliste"));
    QCOMPARE(rows.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Hostname"));

    // The boxes show up while the countdown still runs.
    QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), boxes.size(), 9000);
    QVERIFY(!login.isEnabled());
    QVERIFY(countdown.text().startsWith("Suchzeit "));
    QCOMPARE(column("IP"), boxes);
    QCOMPARE(column("HomeHost"), (QStringList{"nas-1", "nas-2", "nas-3"}));
    QCOMPARE(column("DeviceType"), (QStringList{"NS200", "NS200", "NS200"}));

    QTRY_VERIFY_WITH_TIMEOUT(login.isEnabled(), 14000);
    QCOMPARE(countdown.text(), QString());
    QVERIFY2(!window.findChild<QLabel*>("hintLine")->isVisible(), "a healthy search gives no hint");
    const QString chosen = boxes.at(1);
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.rowAt(row).value("IP").toString() == chosen) table.selectRow(row);
    }
    login.click();
    storage.click();
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl("http://" + chosen), QUrl("smb://" + chosen)}));

    // Refresh empties the table and the next search window finds the same boxes again.
    refresh.click();
    QCOMPARE(rows.rowCount(), 0);
    QVERIFY(!login.isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), boxes.size(), 9000);
    QVERIFY(!login.isEnabled());
    QCOMPARE(column("IP"), boxes);

    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("smb");
}

void WindowLabTest::aFirewallThatDropsTheAnswersIsToldInTheHintLine() {
    if (!qEnvironmentVariableIsSet("NASFINDER_LAB_FIREWALL")) {
        QSKIP("runs inside the firewalled lab that window_lab.sh builds");
    }
    LaunchOptions options = ParseLaunchOptions({"nasfinder"});
    options.resourceDirs = QStringList{NASFINDER_SOURCE_RESOURCES};
    MainWindow window(options);
    window.resize(640, 400);
    window.show();
    QLabel& line = *window.findChild<QLabel*>("hintLine");
    QPushButton& login = *window.findChild<QPushButton*>("loginbutton");

    // Nothing to say while the search runs; once it ends, the announced box is listed and the
    // line says why no search was answered.
    QTRY_COMPARE_WITH_TIMEOUT(window.controller()->array_controller()->rowCount(), 1, 9000);
    QVERIFY(!line.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(login.isEnabled(), 14000);
    QTRY_VERIFY(line.isVisible());
    QVERIFY2(line.text().startsWith(QStringLiteral("Answers are blocked")), qPrintable(line.text()));

    emit line.linkActivated(QStringLiteral("details"));
    HintDetails* details = window.controller()->hints()->details();
    QVERIFY(details);
    QVERIFY(QTest::qWaitForWindowExposed(details));
    const QString text = details->findChild<QPlainTextEdit*>("hintDetailsText")->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Allow incoming UDP on ports 67, 1900, 1530")),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("ssdp, port 1900: listening")));

    // The window with its details over it, as the README shows them.
    const QImage shot = window.grab().toImage();
    const QImage dialog = details->grab().toImage();
    QImage picture(shot.width() + dialog.width() / 2, shot.height() + dialog.height() / 2,
                   QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawImage(0, 0, shot);
    const QPoint corner(shot.width() / 2, shot.height() / 2);
    painter.drawImage(corner, dialog);
    painter.setPen(QColor(60, 60, 60));
    painter.drawRect(QRect(corner, dialog.size()).adjusted(0, 0, -1, -1));
    painter.end();
    const QString path = qEnvironmentVariable("NASFINDER_SCREENSHOT");
    if (!path.isEmpty()) QVERIFY2(picture.save(path, "PNG"), qPrintable(path));
}

void WindowLabTest::aBoxBeyondTheRouterIsFoundThroughTheSettings() {
    const QString box = qEnvironmentVariable("NASFINDER_LAB_PROBE");
    if (box.isEmpty()) QSKIP("runs inside the routed lab that window_lab.sh builds");
    LaunchOptions options = ParseLaunchOptions({"nasfinder"});
    options.resourceDirs = QStringList{NASFINDER_SOURCE_RESOURCES};
    MainWindow window(options);
    window.show();
    DeviceTableModel& rows = *window.controller()->array_controller();
    QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), 1, 9000);
    QCOMPARE(rows.rowAt(0).value("IP").toString(), box);
    QCOMPARE(rows.rowAt(0).value("HomeHost").toString(), QStringLiteral("nas-far"));
    QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QPushButton*>("loginbutton")->isEnabled(), 14000);
    QVERIFY2(!window.findChild<QLabel*>("hintLine")->isVisible(), "a probe that found its box");
}

void WindowLabTest::aRememberedBoxIsListedAndWokenFromItsMenu() {
    const QString sleeper = qEnvironmentVariable("NASFINDER_LAB_SLEEPER");
    if (sleeper.isEmpty()) {
        QSKIP("runs inside the lab with a sleeping box that window_lab.sh builds");
    }
    LabUrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    LaunchOptions options = ParseLaunchOptions({"nasfinder"});
    options.resourceDirs = QStringList{NASFINDER_SOURCE_RESOURCES};
    MainWindow window(options);
    window.show();
    DeviceTableModel& rows = *window.controller()->array_controller();
    QTableView& table = *window.findChild<QTableView*>("tableview");
    QPushButton& login = *window.findChild<QPushButton*>("loginbutton");
    QLabel& line = *window.findChild<QLabel*>("hintLine");
    const auto sleeperRow = [&] {
        for (int row = 0; row < rows.rowCount(); ++row) {
            if (rows.rowAt(row).value("IP").toString() == sleeper) return row;
        }
        return -1;
    };

    // During the search only the box that answers; once it ends, the sleeping one below it.
    QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), 1, 9000);
    QTRY_VERIFY_WITH_TIMEOUT(login.isEnabled(), 14000);
    // The book is read off the main thread: its rows come a moment later.
    QTRY_COMPARE(rows.rowCount(), 2);
    QCOMPARE(sleeperRow(), 1);
    const QModelIndex cell = rows.index(1, 0);
    QVERIFY(rows.rowAt(1).value(kRememberedRowKey).toBool());
    QCOMPARE(rows.data(cell).toString(), QStringLiteral("nas-sleepy"));
    QCOMPARE(rows.data(cell, Qt::ForegroundRole).value<QColor>(),
             QPalette().color(QPalette::Disabled, QPalette::Text));
    const QString help = QStringLiteral("Not found in this search; last seen 2026-12-07T09:00:00Z");
    QCOMPARE(rows.data(cell, Qt::ToolTipRole).toString(), help);
    QCOMPARE(rows.data(cell, Qt::AccessibleDescriptionRole).toString(), help);

    // A row like the others: Ctrl+C copies its address and Log In opens it.
    table.selectRow(1);
    table.setFocus();
    QTest::keySequence(&table, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), sleeper);
    login.click();
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl("http://" + sleeper)}));

    // Its menu, as the Menu key opens it, wakes it.
    const QPoint point = table.visualRect(cell).center();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, point, table.viewport()->mapToGlobal(point));
    QApplication::sendEvent(table.viewport(), &key);
    auto* menu = table.findChild<QMenu*>("deviceMenu");
    QVERIFY(menu && menu->isVisible());
    auto* wake = menu->findChild<QAction*>("wakeUpAction");
    QVERIFY(wake && wake->isVisible());
    QCOMPARE(wake->text(), QStringLiteral("&Wake up"));
    QVERIFY(menu->findChild<QAction*>("forgetAction")->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(wake).center());
    QTRY_VERIFY(line.isVisible());
    QVERIFY2(line.text().startsWith(QStringLiteral("Waking nas-sleepy up")),
             qPrintable(line.text()));

    // It boots, answers the window's searches, and its row turns normal.
    QTRY_VERIFY_WITH_TIMEOUT(!rows.rowAt(sleeperRow()).value(kRememberedRowKey).toBool(), 10000);
    QCOMPARE(rows.data(rows.index(sleeperRow(), 0), Qt::ForegroundRole), QVariant());
    QCOMPARE(line.text(), QStringLiteral("nas-sleepy is awake and answers."));
    QDesktopServices::unsetUrlHandler("http");
}

QTEST_MAIN(WindowLabTest)
#include "tst_windowlab.moc"
