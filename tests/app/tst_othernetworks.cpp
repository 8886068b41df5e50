#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "src/app/controller.h"
#include "src/app/othernetworks.h"
#include "src/app/searchtargetsdialog.h"
#include "tests/app/windowfixture.h"

// The search targets in the window over a fake device source: those kept in the settings file
// reach the search at start, and the Other networks dialog, from the table's menu or its
// shortcut, checks each line, keeps the list and searches again. Addresses and ranges only: a
// host name would ask the resolver, and these tests are not sealed.
class OtherNetworksTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void keptTargetsReachTheSearchAtStart();
    void theDialogRefusesLinesBesideThemAndSavesToSearchAgain_data();
    void theDialogRefusesLinesBesideThemAndSavesToSearchAgain();
    void theMenuOfAnEmptyTableOffersItNamedInTheLanguage();

private:
    static QString SettingsPath() {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/nasfinder/nasfinder.conf");
    }
    static void WriteSettings(const QByteArray& text) {
        QDir().mkpath(QFileInfo(SettingsPath()).path());
        QFile file(SettingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
};

void OtherNetworksTest::init() {
    QVERIFY2(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"), "run by CTest, with settings of its own");
    QFile::remove(SettingsPath());
}

void OtherNetworksTest::keptTargetsReachTheSearchAtStart() {
    // As an administrator deploys it, or a hand slipped: the refused lines are left out, the
    // rest is searched, and the dialog names the refused lines at once.
    WriteSettings("[search]\ntargets=10.78.1.1, 10.78.3.0/30, 10.0.0.0/8, 10.78.1.1, 10.1.2.0//\n");
    WindowFixture fixture;
    QCOMPARE(fixture.devices().targets,
             (std::vector<std::string>{"10.78.1.1", "10.78.3.1", "10.78.3.2"}));
    QCOMPARE(fixture.devices().inits, 1);
    QVERIFY(fixture.showAndActivate());
    fixture.controller().otherNetworks()->action()->trigger();
    SearchTargetsDialog* dialog = fixture.controller().otherNetworks()->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QLabel*>("searchTargetsProblems")->text(),
             QStringLiteral("Line 3: 10.0.0.0/8: a range may hold at most 4096 addresses (/20)\n"
                            "Line 5: 10.1.2.0//: not a range such as 10.78.3.0/24"));
    dialog->reject();
}

void OtherNetworksTest::theDialogRefusesLinesBesideThemAndSavesToSearchAgain_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("shortcut") << "shortcut";
    QTest::newRow("menu") << "menu";
}

void OtherNetworksTest::theDialogRefusesLinesBesideThemAndSavesToSearchAgain() {
    QFETCH(QString, how);
    WriteSettings("[search]\ntargets=10.78.1.1\n");
    WindowFixture fixture;
    QVERIFY(fixture.showAndActivate());
    OtherNetworks& networks = *fixture.controller().otherNetworks();
    if (how == "shortcut") {
        QTest::keyClick(&fixture.window(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    } else {
        networks.action()->trigger();
    }
    SearchTargetsDialog* dialog = networks.dialog();
    QVERIFY(dialog);
    auto& edit = *dialog->findChild<QPlainTextEdit*>("searchTargetsEdit");
    auto& problems = *dialog->findChild<QLabel*>("searchTargetsProblems");
    auto& save = *dialog->findChild<QPushButton*>("searchTargetsSave");
    QCOMPARE(edit.toPlainText(), QStringLiteral("10.78.1.1"));
    const int searches = fixture.devices().searches;

    // Two refused lines, each named with its reason; nothing is kept and no search starts.
    edit.setPlainText("10.78.1.1\n10.0.0.0/8\n\n 10.78.4.0/31 \nnas box");
    save.click();
    QVERIFY(dialog->isVisible());
    QCOMPARE(problems.text(),
             QStringLiteral("Line 2: 10.0.0.0/8: a range may hold at most 4096 addresses (/20)\n"
                            "Line 5: nas box: not an address, a range such as 10.78.3.0/24 or a "
                            "host name"));
    QCOMPARE(edit.textCursor().blockNumber(), 1);
    QCOMPARE(fixture.devices().searches, searches);

    edit.setPlainText("10.78.1.1\n\n 10.78.4.0/31 ");
    save.click();
    QTRY_VERIFY(!networks.dialog());
    QCOMPARE(fixture.devices().targets,
             (std::vector<std::string>{"10.78.1.1", "10.78.4.0", "10.78.4.1"}));
    QCOMPARE(fixture.devices().searches, searches + 1);
    QFile file(SettingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(file.readAll().contains("targets=10.78.1.1, 10.78.4.0/31"), "kept for the next start");
}

void OtherNetworksTest::theMenuOfAnEmptyTableOffersItNamedInTheLanguage() {
    WindowFixture fixture(QStringLiteral("de"));
    QVERIFY(fixture.showAndActivate());
    QWidget* viewport = fixture.table().viewport();
    const QPoint point(5, 5);
    QContextMenuEvent click(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point));
    QApplication::sendEvent(viewport, &click);
    auto* menu = fixture.table().findChild<QMenu*>("deviceMenu");
    QVERIFY(menu && menu->isVisible());
    QAction* other = fixture.controller().otherNetworks()->action();
    QCOMPARE(other->text(), QStringLiteral("Andere Netzwerke…"));
    QVERIFY(other->isEnabled());
    QVERIFY2(!menu->actions().at(0)->isEnabled(), "nothing to copy without a row");
    menu->hide();
    QVERIFY2(menu->actions().at(0)->isEnabled(), "Ctrl+C still works once a row is selected");

    other->trigger();
    SearchTargetsDialog* dialog = fixture.controller().otherNetworks()->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QPlainTextEdit*>("searchTargetsEdit")->accessibleName(),
             QStringLiteral("Zu durchsuchende Adressen"));
    dialog->reject();
}

QTEST_MAIN(OtherNetworksTest)
#include "tst_othernetworks.moc"
