#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstring>

#include "src/app/appdelegate.h"
#include "src/app/controller.h"
#include "src/app/devicetablemodel.h"
#include "src/app/mainwindow.h"
#include "tests/app/stderrcapture.h"
#include "tests/app/windowfixture.h"

namespace {

constexpr const char* kCloseWindowChild = "--close-window-child";

QStringList Column(DeviceTableModel& model, const QString& key) {
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.rowAt(row).value(key).toString();
    return values;
}

bool ButtonsEnabled(WindowFixture& fixture) {
    const bool login = fixture.button("loginbutton").isEnabled();
    if (login != fixture.button("refreshbutton").isEnabled() ||
        login != fixture.button("storagebutton").isEnabled()) {
        qWarning("the three buttons disagree");
        return !login;
    }
    return login;
}

int RowOfIp(DeviceTableModel& model, const QString& ip) {
    return static_cast<int>(Column(model, "IP").indexOf(ip));
}

QList<QMessageBox*> VisibleMessageBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible()) boxes << box;
    }
    return boxes;
}

}  // namespace

// Receives the URLs the window hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class ControllerTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startUpLogsAndAppliesTheLanguage();
    void countdownRunsTenToZeroThenEnablesButtons();
    void countdownShowsTheNumberAloneWithoutCaptions();
    void tableIsRebuiltOnlyWhenTheCountChanges();
    void deviceAfterTheWindowWaitsForRefresh();
    void refreshDuringTheWindowRestartsTheCountdown();
    void aNetworkAppearingAfterTheWindowSearchesAgainKeepingTheList();
    void aWindowRunAgainListsTheRememberedBoxesOnce();
    void buttonsOpenTheSelectedDevice_data();
    void buttonsOpenTheSelectedDevice();
    void nothingOpensWithoutSelectionOrValidAddress();
    void addressWithoutAProgramIsShownWithCopy_data();
    void addressWithoutAProgramIsShownWithCopy();
    void fewCaptionsRaiseTheMessageBox();
    void fileWithoutEntriesRaisesTheMessageBox();
    void sortingTheTableLogsAndSurvivesRebuilds();
    void closingTheWindowExitsWithStatusOne();

private:
    UrlCatcher catcher;
};

void ControllerTest::init() {
    catcher.urls.clear();
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    QDesktopServices::setUrlHandler("smb", &catcher, "open");
}

void ControllerTest::cleanup() {
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("smb");
    for (QMessageBox* box : VisibleMessageBoxes()) box->close();
}

void ControllerTest::startUpLogsAndAppliesTheLanguage() {
    StderrCapture console;
    WindowFixture fixture("de");
    QVERIFY(fixture.waitForCaptions());
    const QStringList lines = console.lines();

    const QString file = QDir(NASFINDER_SOURCE_RESOURCES).absoluteFilePath("XML_de.xml");
    const qsizetype current = lines.indexOf("current=de");
    QVERIFY2(current >= 0, qPrintable(lines.join('\n')));
    QVERIFY(lines.indexOf("fileToOpen = " + file) > current);
    // One line for each KEY element of the file.
    QFile shipped(file);
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QCOMPARE(lines.count("KEY1=KEY"), shipped.readAll().count("<KEY "));
    QCOMPARE(lines.count("application awakeFromNib........"), 1);
    QCOMPARE(fixture.devices().inits, 1);
    QCOMPARE(fixture.devices().searches, 1);

    QVERIFY(!ButtonsEnabled(fixture));
    QCOMPARE(fixture.label("countdownField").text(), QString());
    QCOMPARE(fixture.button("loginbutton").text(), QStringLiteral("Anmelden"));
    QCOMPARE(fixture.button("refreshbutton").text(), QStringLiteral("Aktualisieren"));
    QCOMPARE(fixture.button("storagebutton").text(), QStringLiteral("Mein Speicher"));
    QCOMPARE(fixture.label("deviceListField").text(), QStringLiteral("Ger\u00e4teliste"));
    QCOMPARE(fixture.label("deviceListField").font().pointSizeF(), 13.0);
    QCOMPARE(fixture.button("loginbutton").font().family(), QStringLiteral("DejaVu Sans"));

    // Header titles follow the columns' display order, whatever key each column shows.
    const QHeaderView& header = *fixture.table().horizontalHeader();
    QStringList titles;
    for (int visual = 0; visual < header.count(); ++visual) {
        titles << fixture.rows().headerData(header.logicalIndex(visual), Qt::Horizontal).toString();
    }
    QCOMPARE(titles, (QStringList{"Hostname", "IP-Adresse", "Produkt"}));
    QCOMPARE(fixture.rows().columnKeys(), (QStringList{"HomeHost", "IP", "DeviceType"}));
    QVERIFY(VisibleMessageBoxes().isEmpty());
}

void ControllerTest::countdownRunsTenToZeroThenEnablesButtons() {
    WindowFixture fixture("en");
    QVERIFY(fixture.waitForCaptions());
    StderrCapture console;
    for (int tick = 1; tick <= 11; ++tick) {
        fixture.tick();
        QCOMPARE(fixture.label("countdownField").text(),
                 QStringLiteral("Search Time %1").arg(11 - tick));
        QVERIFY(!ButtonsEnabled(fixture));
    }
    for (int idle = 0; idle < 3; ++idle) {
        fixture.tick();
        QCOMPARE(fixture.label("countdownField").text(), QString());
        QVERIFY(ButtonsEnabled(fixture));
    }
    // Only the ticks of the search window look at the list.
    QCOMPARE(console.lines().count("vListDevice.size() = 0"), 11);
}

void ControllerTest::countdownShowsTheNumberAloneWithoutCaptions() {
    QTemporaryDir noLanguageFiles;
    StderrCapture console;
    WindowFixture fixture("en", {noLanguageFiles.path()});
    fixture.tick();
    QVERIFY(console.lines().contains("fileToOpen = (null)"));
    QCOMPARE(fixture.controller().languageParse(), nullptr);
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("10"));
    // The layout's own texts stay.
    QCOMPARE(fixture.button("loginbutton").text(), QStringLiteral("Log In"));
    QCOMPARE(fixture.rows().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Host name"));
}

void ControllerTest::tableIsRebuiltOnlyWhenTheCountChanges() {
    WindowFixture fixture;
    fixture.report("192.168.1.20", "alpha");
    fixture.report("192.168.1.21", "beta");
    fixture.report("192.168.1.22", "gamma", "KNS-440");
    StderrCapture console;
    fixture.tick();
    QCOMPARE(console.lines(), QStringList{"vListDevice.size() = 3"});
    QCOMPARE(Column(fixture.rows(), "HomeHost"), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(Column(fixture.rows(), "DeviceType"), (QStringList{"KNS-220", "KNS-220", "KNS-440"}));
    QCOMPARE(fixture.controller().rows().size(), 3);

    // Same address, new name: the store overwrites, the table keeps what it built.
    fixture.report("192.168.1.21", "renamed");
    fixture.tick();
    QCOMPARE(Column(fixture.rows(), "HomeHost"), (QStringList{"alpha", "beta", "gamma"}));

    fixture.report("192.168.1.23", "delta");
    fixture.tick();
    QCOMPARE(Column(fixture.rows(), "HomeHost"),
             (QStringList{"alpha", "renamed", "gamma", "delta"}));
}

void ControllerTest::deviceAfterTheWindowWaitsForRefresh() {
    WindowFixture fixture;
    QVERIFY(fixture.waitForCaptions());
    fixture.report("192.168.1.20", "alpha");
    fixture.tick(12);
    QCOMPARE(fixture.rows().rowCount(), 1);

    fixture.report("192.168.1.30", "late");
    fixture.tick(3);
    QCOMPARE(Column(fixture.rows(), "HomeHost"), QStringList{"alpha"});

    QCOMPARE(fixture.devices().searches, 1);
    fixture.controller().onRefreash();
    QCOMPARE(fixture.rows().rowCount(), 0);
    QVERIFY(!ButtonsEnabled(fixture));
    QVERIFY(fixture.devices().list.empty());
    QCOMPARE(fixture.devices().clears, 1);
    QCOMPARE(fixture.devices().searches, 2);

    fixture.report("192.168.1.30", "late");
    fixture.tick();
    QCOMPARE(Column(fixture.rows(), "HomeHost"), QStringList{"late"});
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Search Time 10"));
}

void ControllerTest::refreshDuringTheWindowRestartsTheCountdown() {
    WindowFixture fixture;
    QVERIFY(fixture.waitForCaptions());
    fixture.tick(5);
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Search Time 6"));

    fixture.controller().onRefreash();
    // The line changes only on the next tick.
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Search Time 6"));
    fixture.tick();
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Search Time 10"));
    fixture.tick(10);
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Search Time 0"));
    QVERIFY(!ButtonsEnabled(fixture));
    fixture.tick();
    QVERIFY(ButtonsEnabled(fixture));
}

void ControllerTest::aNetworkAppearingAfterTheWindowSearchesAgainKeepingTheList() {
    WindowFixture fixture;
    QVERIFY(fixture.waitForCaptions());
    fixture.report("192.168.1.20", "alpha");
    fixture.tick(3);
    // During the window the new network's worker searches already: nothing more to do.
    fixture.devices().networkAppears();
    QCoreApplication::processEvents();
    QCOMPARE(fixture.devices().searches, 1);
    fixture.tick(9);
    QVERIFY(ButtonsEnabled(fixture));

    fixture.devices().networkAppears();
    QTRY_COMPARE(fixture.devices().searches, 2);
    QVERIFY(!ButtonsEnabled(fixture));
    QCOMPARE(fixture.devices().clears, 0);
    fixture.report("192.168.7.5", "beyond");
    fixture.tick();
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Search Time 10"));
    QCOMPARE(Column(fixture.rows(), "HomeHost"), (QStringList{"alpha", "beyond"}));
    fixture.tick(11);
    QVERIFY(ButtonsEnabled(fixture));
}

void ControllerTest::aWindowRunAgainListsTheRememberedBoxesOnce() {
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    QVERIFY(QDir(state.path()).mkpath("nasfinder"));
    QFile book(state.path() + "/nasfinder/known-boxes.json");
    QVERIFY(book.open(QIODevice::WriteOnly));
    book.write(R"({"version": 1, "boxes": [{"id": "box-s", "host": "nas-sleepy",
        "ip": "192.168.1.77", "vendor": "KORVANT", "product": "NS200", "version": "2.1",
        "interface": "eth0", "mac": "02:00:00:00:00:07", "firstSeen": "2026-12-01T09:00:00Z",
        "lastSeen": "2026-12-07T09:00:00Z"}]})");
    book.close();
    WindowFixture fixture;
    fixture.report("192.168.1.20", "alpha");
    QVERIFY(fixture.showAndActivate());
    fixture.tick(12);
    QCOMPARE(Column(fixture.rows(), "HomeHost"), (QStringList{"alpha", "nas-sleepy"}));
    fixture.devices().networkAppears();
    QTRY_COMPARE(fixture.devices().searches, 2);
    fixture.tick(12);
    QCOMPARE(Column(fixture.rows(), "HomeHost"), (QStringList{"alpha", "nas-sleepy"}));
    qunsetenv("XDG_STATE_HOME");
}

void ControllerTest::buttonsOpenTheSelectedDevice_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("url");
    QTest::newRow("Log In") << "loginbutton"
                            << "192.168.1.20"
                            << "http://192.168.1.20";
    QTest::newRow("My storage") << "storagebutton"
                                << "192.168.1.20"
                                << "smb://192.168.1.20";
    QTest::newRow("Log In, host name") << "loginbutton"
                                       << "Office-NAS.lan"
                                       << "http://office-nas.lan";
    QTest::newRow("My storage, host name") << "storagebutton"
                                           << "office-nas"
                                           << "smb://office-nas";
}

void ControllerTest::buttonsOpenTheSelectedDevice() {
    QFETCH(QString, button);
    QFETCH(QString, ip);
    QFETCH(QString, url);
    WindowFixture fixture;
    fixture.report("192.168.1.10", "alpha");
    fixture.report(qPrintable(ip), "beta");
    fixture.report("192.168.1.30", "gamma");
    fixture.tick(12);
    QVERIFY(ButtonsEnabled(fixture));

    fixture.table().selectRow(RowOfIp(fixture.rows(), ip));
    fixture.button(qPrintable(button)).click();
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(url)});
    QCOMPARE(catcher.urls.first().toString(), url);
}

void ControllerTest::nothingOpensWithoutSelectionOrValidAddress() {
    WindowFixture fixture;
    fixture.report("192.168.1.10", "alpha");
    fixture.report("10.0.0.1/admin", "path");
    fixture.report("user@10.0.0.2", "userinfo");
    fixture.tick(12);

    fixture.button("loginbutton").click();
    fixture.button("storagebutton").click();
    QVERIFY(catcher.urls.isEmpty());

    for (const char* ip : {"10.0.0.1/admin", "user@10.0.0.2"}) {
        fixture.table().selectRow(RowOfIp(fixture.rows(), ip));
        StderrCapture console;
        fixture.button("loginbutton").click();
        fixture.button("storagebutton").click();
        const QStringList lines = console.lines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("not opening http: the device's address \"%1\" is "
                                             "neither an IPv4 address nor a host name")
                                  .arg(ip));
        QVERIFY(lines.at(1).startsWith("not opening smb:"));
    }
    QVERIFY(catcher.urls.isEmpty());
}

void ControllerTest::addressWithoutAProgramIsShownWithCopy_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("why");
    QTest::newRow("Log In, English")
        << "en"
        << "loginbutton"
        << "http://192.168.1.20"
        << "Could not open http://192.168.1.20"
        << "No program on this desktop is set to open http addresses. Copy the address to open "
           "it another way.";
    QTest::newRow("My storage, German")
        << "de"
        << "storagebutton"
        << "smb://192.168.1.20"
        << "smb://192.168.1.20 konnte nicht ge\u00f6ffnet werden"
        << "Auf diesem Desktop ist kein Programm zum \u00d6ffnen von smb-Adressen eingerichtet. "
           "Kopieren Sie die Adresse, um sie auf anderem Weg zu \u00f6ffnen.";
}

// Offscreen, openUrl fails for a scheme that has no handler set: as on a desktop without one.
void ControllerTest::addressWithoutAProgramIsShownWithCopy() {
    QFETCH(QString, language);
    QFETCH(QString, button);
    QFETCH(QString, address);
    QFETCH(QString, text);
    QFETCH(QString, why);
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("smb");
    WindowFixture fixture(language);
    fixture.report("192.168.1.20", "alpha");
    fixture.tick(12);
    fixture.table().selectRow(0);
    fixture.button(qPrintable(button)).click();
    fixture.button(qPrintable(button)).click();

    const QList<QMessageBox*> boxes = VisibleMessageBoxes();
    QCOMPARE(boxes.size(), 1);
    QMessageBox& box = *boxes.first();
    QCOMPARE(box.objectName(), QStringLiteral("openFailureMessage"));
    QVERIFY(!box.isModal());
    QCOMPARE(box.text(), text);
    QCOMPARE(box.informativeText(), why);

    QGuiApplication::clipboard()->clear();
    box.findChild<QPushButton*>("copyAddressButton")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), address);
}

void ControllerTest::fewCaptionsRaiseTheMessageBox() {
    QTemporaryDir dir;
    QFile file(dir.filePath("XML_en.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "<LanguageCFG>"
        "<NODE><KEY KeyString=\"Log In\" String=\"Sign in\" Font=\"DejaVu Sans\" "
        "Size=\"12\"/></NODE>"
        "<NODE><KEY KeyString=\"List2\" String=\"Address\"/></NODE>"
        "<NODE><KEY KeyString=\"Search Time\" String=\"Left:\"/></NODE>"
        "</LanguageCFG>");
    file.close();

    WindowFixture fixture("en", {dir.path()});
    QVERIFY(fixture.waitForCaptions());
    const QList<QMessageBox*> boxes = VisibleMessageBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first()->text(), QStringLiteral("aaa"));
    QCOMPARE(boxes.first()->informativeText(), QStringLiteral("bbb"));
    QCOMPARE(boxes.first()->buttons().size(), 1);
    QCOMPARE(boxes.first()->standardButtons(), QMessageBox::Ok);
    QVERIFY(!boxes.first()->isModal());

    // What entries there are still apply; the rest keep the layout's texts.
    QCOMPARE(fixture.button("loginbutton").text(), QStringLiteral("Sign in"));
    QCOMPARE(fixture.button("storagebutton").text(), QStringLiteral("My storage"));
    QCOMPARE(fixture.rows().headerData(1, Qt::Horizontal).toString(), QStringLiteral("Address"));
    QCOMPARE(fixture.rows().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Host name"));
    fixture.tick();
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Left: 10"));
}

void ControllerTest::fileWithoutEntriesRaisesTheMessageBox() {
    QTemporaryDir dir;
    QFile file(dir.filePath("XML_en.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\"?><LanguageCFG/>");
    file.close();

    WindowFixture fixture("en", {dir.path()});
    QVERIFY(fixture.waitForCaptions());
    const QList<QMessageBox*> boxes = VisibleMessageBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first()->text(), QStringLiteral("aaa"));
    QCOMPARE(fixture.button("loginbutton").text(), QStringLiteral("Log In"));
}

void ControllerTest::sortingTheTableLogsAndSurvivesRebuilds() {
    WindowFixture fixture;
    fixture.report("192.168.1.10", "beta");
    fixture.report("192.168.1.20", "alpha");
    fixture.tick();
    fixture.table().selectRow(RowOfIp(fixture.rows(), "192.168.1.10"));

    StderrCapture console;
    fixture.table().horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    QCOMPARE(console.lines(), QStringList{"count=11111"});
    QCOMPARE(Column(fixture.rows(), "HomeHost"), (QStringList{"alpha", "beta"}));
    const QModelIndexList selected = fixture.table().selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(fixture.rows().rowAt(selected.first().row()).value("HomeHost"), QVariant("beta"));

    fixture.report("192.168.1.5", "aardvark");
    fixture.tick();
    QCOMPARE(Column(fixture.rows(), "HomeHost"), (QStringList{"aardvark", "alpha", "beta"}));
}

void ControllerTest::closingTheWindowExitsWithStatusOne() {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {kCloseWindowChild});
    QVERIFY(child.waitForFinished(20000));
    const QStringList lines = QString::fromUtf8(child.readAllStandardError()).split('\n');
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 1);
    const qsizetype awake = lines.indexOf("application awakeFromNib........");
    QVERIFY2(awake >= 0, qPrintable(lines.join('\n')));
    QVERIFY(lines.indexOf("applicationDidFinishLaunching........") > awake);
    QCOMPARE(lines.count("applicationDidFinishLaunching........"), 1);
    QVERIFY2(lines.contains("exec returned 1; search stopped 1 time(s); timer stopped"),
             qPrintable(lines.join('\n')));
}

// Starts the window as the program does and closes it as soon as the event loop runs: exec()
// must return 1 with the search and the countdown stopped, and main returns that status.
int RunCloseWindowChild(int argc, char** argv) {
    QApplication application(argc, argv);
    LaunchOptions options;
    options.appleLanguages = QStringList{"en"};
    options.resourceDirs = QStringList{NASFINDER_SOURCE_RESOURCES};
    FakeDeviceSource devices;
    MainWindow window(options, &devices);
    window.show();
    QTimer::singleShot(0, window.appDelegate(), &AppDelegate::applicationDidFinishLaunching);
    QTimer::singleShot(100, &window, &QWidget::close);
    const int status = QApplication::exec();
    std::fprintf(stderr, "exec returned %d; search stopped %d time(s); timer %s\n", status,
                 devices.exits,
                 window.controller()->searchTimer()->isActive() ? "running" : "stopped");
    return status;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kCloseWindowChild) == 0) {
        return RunCloseWindowChild(argc, argv);
    }
    QApplication application(argc, argv);
    ControllerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_controller.moc"
