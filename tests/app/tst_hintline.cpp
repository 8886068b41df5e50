#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QtTest>

#include <sys/socket.h>

#include <cerrno>

#include "src/app/controller.h"
#include "src/app/hintdetails.h"
#include "src/app/boxwatch.h"
#include "src/app/devicetablemodel.h"
#include "src/app/hintline.h"
#include "src/app/searchsession.h"
#include "src/app/waker.h"
#include "tests/app/windowfixture.h"
#include "tests/support/hostiletext.h"

namespace {

// The situations the window meets, as the device source tells them.
enum class Situation { Healthy, Offline, NoPrivilege, PortHeld, NothingHeard };

SearchFacts FactsOf(Situation situation) {
    SearchFacts facts = FakeDeviceSource::HealthySearch();
    SearchWorkerHealth& broadcast = facts.workers[0];
    switch (situation) {
        case Situation::Healthy:
            break;
        case Situation::Offline:
            facts.interfaces = {{"lo", AF_INET, "127.0.0.1", true, true}};
            facts.workers.pop_back();
            break;
        case Situation::NoPrivilege:
            broadcast.state = SearchWorkerState::Failed;
            broadcast.setupError = EACCES;
            broadcast.setupErrorText = "Permission denied";
            break;
        case Situation::PortHeld:
            facts.workers[1].state = SearchWorkerState::Failed;
            facts.workers[1].setupError = EADDRINUSE;
            facts.workers[1].setupErrorText = "Address already in use";
            facts.portHolders = {{1900, 4242, "mediad"}};
            break;
        case Situation::NothingHeard:
            for (SearchWorkerHealth& worker : facts.workers) worker.answersReceived = 0;
            break;
    }
    return facts;
}

// The line's summary, before its link; empty while the line is hidden.
QString Shown(QLabel& line) {
    return line.isVisible() ? line.text().section(QStringLiteral(" &nbsp;"), 0, 0) : QString();
}

}  // namespace

Q_DECLARE_METATYPE(Situation)

// The line above the buttons that says why a search is in trouble, over a fake device source.
class HintLineTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void theLineShowsWhatTheFactsCallForAndWhen_data();
    void theLineShowsWhatTheFactsCallForAndWhen();
    void refreshClearsTheLine();
    void noNetworkGoesAsSoonAsAnAddressAppears();
    void theCountdownsEndIsLookedIntoUnpaintedToo();
    void detailsTellEveryHintAndWorkerAndCopyThem();
    void theLineSpeaksTheUsersLanguage();
    void aBoxInTheTableTakesTheNothingFoundHintsAway();
    void newsFromOutsideStaysText_data();
    void newsFromOutsideStaysText();
};

void HintLineTest::cleanup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<HintDetails*>(widget)) widget->close();
    }
}

void HintLineTest::theLineShowsWhatTheFactsCallForAndWhen_data() {
    QTest::addColumn<Situation>("situation");
    QTest::addColumn<int>("devices");
    QTest::addColumn<QString>("atOpen");       // the line's summary as the window opens
    QTest::addColumn<QString>("afterSearch");  // and once the countdown has ended
    QTest::newRow("healthy") << Situation::Healthy << 0 << ""
                             << "";
    QTest::newRow("no network") << Situation::Offline << 0 << "No network connection"
                                << "No network connection";
    QTest::newRow("no privilege for 67")
        << Situation::NoPrivilege << 2 << "Broadcast search not allowed"
        << "Broadcast search not allowed";
    QTest::newRow("1900 held") << Situation::PortHeld << 1 << ""
                               << "Port 1900 is in use";
    QTest::newRow("nothing heard") << Situation::NothingHeard << 0 << ""
                                   << "No box answered";
    // Found, though nothing answered the last search: no false alarm.
    QTest::newRow("nothing heard, boxes listed") << Situation::NothingHeard << 1 << ""
                                                 << "";
}

void HintLineTest::theLineShowsWhatTheFactsCallForAndWhen() {
    QFETCH(Situation, situation);
    QFETCH(int, devices);
    QFETCH(QString, atOpen);
    QFETCH(QString, afterSearch);
    WindowFixture fixture;
    fixture.devices().setFacts(FactsOf(situation));
    for (int i = 0; i < devices; ++i) {
        fixture.report(qPrintable(QStringLiteral("192.168.1.%1").arg(10 + i)), "nas");
    }
    const QSize healthySize = fixture.window().sizeHint();
    QVERIFY(fixture.showAndActivate());
    QLabel& line = fixture.label("hintLine");

    QCOMPARE(Shown(line), atOpen);
    fixture.tick(11);
    // Nothing new before the countdown ends.
    QCOMPARE(Shown(line), atOpen);
    fixture.tick();
    QCOMPARE(Shown(line), afterSearch);
    if (afterSearch.isEmpty()) {
        QCOMPARE(fixture.window().sizeHint(), healthySize);
    } else {
        QVERIFY(line.text().endsWith(QStringLiteral(">Details</a>")));
    }
}

void HintLineTest::refreshClearsTheLine() {
    WindowFixture fixture;
    fixture.devices().setFacts(FactsOf(Situation::PortHeld));
    QVERIFY(fixture.showAndActivate());
    fixture.tick(12);
    QVERIFY(fixture.label("hintLine").isVisible());
    fixture.controller().onRefreash();
    QVERIFY(!fixture.label("hintLine").isVisible());
    // The new search window ends healthy: the line stays away.
    fixture.devices().setFacts(FakeDeviceSource::HealthySearch());
    fixture.tick(12);
    QVERIFY(!fixture.label("hintLine").isVisible());
}

void HintLineTest::noNetworkGoesAsSoonAsAnAddressAppears() {
    WindowFixture fixture;
    fixture.devices().setFacts(FactsOf(Situation::Offline));
    QVERIFY(fixture.showAndActivate());
    QCOMPARE(Shown(fixture.label("hintLine")), QStringLiteral("No network connection"));
    fixture.tick(2);
    fixture.devices().setFacts(FakeDeviceSource::HealthySearch());
    fixture.devices().networkAppears();
    QTRY_VERIFY(!fixture.label("hintLine").isVisible());
}

void HintLineTest::theCountdownsEndIsLookedIntoUnpaintedToo() {
    WindowFixture fixture;
    fixture.devices().setFacts(FactsOf(Situation::NothingHeard));
    fixture.tick(12);
    QVERIFY(!fixture.controller().windowAppeared());
    QVERIFY(fixture.controller().hints());
    QCOMPARE(fixture.controller().hints()->hints().size(), std::size_t{1});
    QCOMPARE(fixture.controller().hints()->hints()[0].code, std::string("nothing-heard"));
}

void HintLineTest::detailsTellEveryHintAndWorkerAndCopyThem() {
    WindowFixture fixture;
    SearchFacts facts = FactsOf(Situation::NoPrivilege);
    facts.workers[1] = FactsOf(Situation::PortHeld).workers[1];
    facts.portHolders = FactsOf(Situation::PortHeld).portHolders;
    fixture.devices().setFacts(facts);
    QVERIFY(fixture.showAndActivate());
    fixture.tick(12);
    QCOMPARE(fixture.controller().hints()->hints().size(), std::size_t{2});

    emit fixture.label("hintLine").linkActivated(QStringLiteral("details"));
    HintDetails* details = fixture.controller().hints()->details();
    QVERIFY(details);
    QTRY_VERIFY(details->isVisible());
    QVERIFY(!details->isModal());
    const QString text = details->findChild<QPlainTextEdit*>("hintDetailsText")->toPlainText();
    QVERIFY(text.contains(
        "sudo setcap cap_net_bind_service=+ep '/usr/libexec/nasfinder/nasfinder-port-helper'"));
    QVERIFY(text.contains("mediad (process 4242) holds UDP port 1900"));
    QVERIFY(text.contains("broadcast, port 67: failed (Permission denied)"));
    QVERIFY(text.contains("interface eth0 (192.168.1.2), port 1530: listening; 1 sent"));

    QApplication::clipboard()->clear();
    details->findChild<QPushButton*>("hintDetailsCopy")->click();
    QCOMPARE(QApplication::clipboard()->text(), text);
    // A new search closes what told about the last one.
    fixture.controller().onRefreash();
    QTRY_VERIFY(!fixture.controller().hints()->details());
}

void HintLineTest::theLineSpeaksTheUsersLanguage() {
    WindowFixture fixture("de");
    fixture.devices().setFacts(FactsOf(Situation::Offline));
    QVERIFY(fixture.showAndActivate());
    QLabel& line = fixture.label("hintLine");
    QCOMPARE(Shown(line), QStringLiteral("Keine Netzwerkverbindung"));
    QVERIFY(line.text().endsWith(QStringLiteral(">Einzelheiten</a>")));
    // A screen reader hears the hint's own words, then what to do.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&line);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Keine Netzwerkverbindung"));
    QVERIFY(accessible->text(QAccessible::Description).startsWith("Dieser Computer hat keine"));
}

// The line speaks of what the table shows. Once, under load, a box that answered stood beside
// "Answers are blocked": the searches of a wake reset the counters the hints read. Now only a new
// search window does, and a box appearing in the table takes away at once the hints it proves
// wrong, before they are worked out again.
void HintLineTest::aBoxInTheTableTakesTheNothingFoundHintsAway() {
    WindowFixture fixture;
    fixture.devices().setFacts(FactsOf(Situation::NothingHeard));
    QVERIFY(fixture.showAndActivate());
    SearchSession& session = fixture.controller().searchSession();
    // Watching, as in the tray: the table follows the boxes between search windows.
    session.watch().start();
    fixture.tick(12);
    QLabel& line = fixture.label("hintLine");
    QCOMPARE(Shown(line), QStringLiteral("No box answered"));
    const int windows = fixture.devices().windows;
    KnownBox box;
    box.ip = "192.168.1.30";
    box.mac = "02:00:00:00:00:30";
    session.waker().wake(box);
    QVERIFY(fixture.devices().searches > 1);
    QCOMPARE(fixture.devices().windows, windows);
    session.waker().cancelAll();

    // The facts come slowly, as on a loaded machine.
    fixture.devices().holdDiagnoses(true);
    fixture.report("192.168.1.30", "nas");
    QTRY_VERIFY(fixture.rows().rowCount() > 0 &&
                !fixture.rows().rowAt(0).value(kRememberedRowKey).toBool());
    QVERIFY2(!line.isVisible(), "withdrawn as the box appears, before the facts are gathered");
    fixture.devices().holdDiagnoses(false);
    fixture.waitForHints();
    QVERIFY(!line.isVisible());
}

void HintLineTest::newsFromOutsideStaysText_data() {
    QTest::addColumn<QString>("news");
    for (const nasfinder::test::HostileText& text : nasfinder::test::HostileTexts()) {
        QTest::newRow(text.name) << QString::fromUtf8(text.bytes.c_str());
    }
}

// A box's name or a file's path in the line (a box being woken, a book set aside) shows as
// written on the rich-text line, and a screen reader hears it as written.
void HintLineTest::newsFromOutsideStaysText() {
    QFETCH(QString, news);
    WindowFixture fixture;
    QVERIFY(fixture.showAndActivate());
    fixture.controller().hints()->tell(news);
    QLabel& line = fixture.label("hintLine");
    QTextDocument shown;
    shown.setHtml(line.text());
    QCOMPARE(shown.toPlainText(), news);
    QCOMPARE(QAccessible::queryAccessibleInterface(&line)->text(QAccessible::Name), news);
}

QTEST_MAIN(HintLineTest)
#include "tst_hintline.moc"
