#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "src/app/instanceservice.h"
#include "src/app/notifier.h"
#include "src/app/sleepwatcher.h"
#include "tests/app/privatebus.h"
#include "tests/app/stderrcapture.h"
#include "tests/support/hostiletext.h"
#include "tests/support/waituntil.h"

// Notifier, InstanceService and SleepWatcher against real buses: every test starts a dbus-daemon
// of its own and, where it needs a desktop service, busfake on it. Nothing reaches the user's
// buses: every connection names its private bus, and ctest points both variables nowhere. A
// second nasfinder asking the first to show its window is walked through in the tray lab.
class DesktopBusesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void notifyFollowsTheServersCapabilities_data();
    void notifyFollowsTheServersCapabilities();
    void anActionComesBackWithItsContextOnce();
    void hostileTextStaysText_data();
    void hostileTextStaysText();
    void withoutAServerNotifyNeitherBlocksNorRepeatsItself_data();
    void withoutAServerNotifyNeitherBlocksNorRepeatsItself();
    void anOwnerThatDoesNotAnswerStillGivesSecondWithin2s();
    void theObjectOffersShowAndSearchNowOnly();
    void noBusGivesNoBusAndNoWatching();
    void onlyLogindsWakingGivesResumed_data();
    void onlyLogindsWakingGivesResumed();

private:
    // Starts busfake on the private bus, as the bus that variable names; true once it is ready.
    bool startFake(const QStringList& arguments, const QString& busVariable,
                   const QString& capabilities = {});
    QList<QJsonObject> recorded(int count) const;
    QString recordPath() const { return dir.filePath("record"); }

    QTemporaryDir dir;
    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<QProcess> fake;
};

namespace {

const Notifier::Actions kLogIn = {{"login", "Log In"}};

// A blocking call would stall the main thread that must answer it: this one serves meanwhile.
QDBusMessage CallServing(QDBusConnection connection, const QString& method,
                         const QString& interface = "io.github.nasfinder") {
    QDBusPendingCallWatcher call(connection.asyncCall(QDBusMessage::createMethodCall(
        "io.github.nasfinder", "/io/github/nasfinder", interface, method)));
    QSignalSpy(&call, &QDBusPendingCallWatcher::finished).wait(5000);
    return call.reply();
}

}  // namespace

void DesktopBusesTest::init() {
    bus = std::make_unique<PrivateBus>();
    if (bus->address().isEmpty()) QSKIP(qPrintable(bus->problem()));
    QFile::remove(recordPath());
}

void DesktopBusesTest::cleanup() {
    if (fake) {
        fake->closeWriteChannel();
        if (!fake->waitForFinished(5000)) fake->kill();
        fake.reset();
    }
    bus.reset();
}

bool DesktopBusesTest::startFake(const QStringList& arguments, const QString& busVariable,
                                 const QString& capabilities) {
    fake = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"}) {
        environment.insert(variable,
                           variable == busVariable ? bus->address() : PrivateBus::Nowhere());
    }
    if (!capabilities.isEmpty()) environment.insert("BUSFAKE_CAPABILITIES", capabilities);
    fake->setProcessEnvironment(environment);
    fake->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fake->start(NASFINDER_BUSFAKE, arguments);
    return fake->waitForReadyRead(10000) && fake->readLine() == "ready\n";
}

QList<QJsonObject> DesktopBusesTest::recorded(int count) const {
    QList<QJsonObject> lines;
    nasfinder::test::WaitUntil(
        [&] {
            QFile file(recordPath());
            lines.clear();
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : file.readAll().split('\n')) {
                    if (!line.isEmpty()) lines << QJsonDocument::fromJson(line).object();
                }
            }
            return lines.size() >= count;
        },
        std::chrono::seconds(5));
    return lines;
}

void DesktopBusesTest::notifyFollowsTheServersCapabilities_data() {
    QTest::addColumn<QString>("capabilities");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("actions");
    QTest::newRow("markup and actions") << "actions,body,body-markup"
                                        << "&lt;b&gt;nas&lt;/b&gt; &amp; 10.1.1.1"
                                        << QStringList{"login", "Log In", "files", "My storage"};
    QTest::newRow("plain text only") << "body"
                                     << "<b>nas</b> & 10.1.1.1" << QStringList{};
}

void DesktopBusesTest::notifyFollowsTheServersCapabilities() {
    QFETCH(QString, capabilities);
    QFETCH(QString, body);
    QFETCH(QStringList, actions);
    QVERIFY(startFake({"notifications", recordPath()}, "DBUS_SESSION_BUS_ADDRESS", capabilities));
    Notifier notifier(bus->connect("notifier"));
    QVERIFY(QSignalSpy(&notifier, &Notifier::availabilityKnown).wait(5000));
    QVERIFY(notifier.available());

    notifier.notify("nas-a <i>appeared</i>", "<b>nas</b> & 10.1.1.1",
                    {{"login", "Log In"}, {"files", "My storage"}});
    const QList<QJsonObject> shown = recorded(1);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0]["app"].toString(), "nasfinder");
    QCOMPARE(shown[0]["icon"].toString(), "nasfinder");
    QCOMPARE(shown[0]["summary"].toString(), "nas-a <i>appeared</i>");
    QCOMPARE(shown[0]["body"].toString(), body);
    QCOMPARE(shown[0]["actions"].toVariant().toStringList(), actions);
}

void DesktopBusesTest::anActionComesBackWithItsContextOnce() {
    QVERIFY(startFake({"notifications", recordPath()}, "DBUS_SESSION_BUS_ADDRESS"));
    Notifier notifier(bus->connect("notifier"));
    QVERIFY(QSignalSpy(&notifier, &Notifier::availabilityKnown).wait(5000));
    QSignalSpy invoked(&notifier, &Notifier::actionInvoked);
    notifier.notify("a", "", kLogIn, "box-a");
    notifier.notify("b", "", kLogIn, "box-b");
    QCOMPARE(recorded(2).size(), 2);

    // Closed, another program's, and chosen twice: only the first choice of box-b comes back.
    fake->write("close 1\ninvoke 1 login\ninvoke 7 login\ninvoke 2 login\ninvoke 2 login\n");
    QVERIFY(invoked.wait(5000));
    notifier.notify("c", "", {{"files", "My storage"}}, QVariant::fromValue(3));
    QCOMPARE(recorded(3).size(), 3);
    fake->write("invoke 3 files\n");
    QVERIFY(QTest::qWaitFor([&] { return invoked.size() >= 2; }, 5000));
    QCOMPARE(invoked, (QList<QVariantList>{{"login", "box-b"}, {"files", 3}}));
}

void DesktopBusesTest::hostileTextStaysText_data() {
    QTest::addColumn<QString>("text");
    for (const auto& hostile : nasfinder::test::HostileTexts()) {
        QTest::newRow(hostile.name) << QString::fromUtf8(hostile.bytes);
    }
}

void DesktopBusesTest::hostileTextStaysText() {
    QFETCH(QString, text);
    QVERIFY(startFake({"notifications", recordPath()}, "DBUS_SESSION_BUS_ADDRESS"));
    Notifier notifier(bus->connect("notifier"));
    QVERIFY(QSignalSpy(&notifier, &Notifier::availabilityKnown).wait(5000));
    notifier.notify(text, text, {{"login", text}});
    const QList<QJsonObject> shown = recorded(1);
    QCOMPARE(shown.size(), 1);
    for (const char* field : {"summary", "body"}) {
        QVERIFY2(nasfinder::test::TerminalSafe(shown[0][field].toString().toStdString()), field);
    }
    QVERIFY(nasfinder::test::TerminalSafe(shown[0]["actions"][1].toString().toStdString()));
    // The body holds no markup of its own: every < and > is written out.
    QVERIFY(!shown[0]["body"].toString().contains('<') &&
            !shown[0]["body"].toString().contains('>'));
}

void DesktopBusesTest::withoutAServerNotifyNeitherBlocksNorRepeatsItself_data() {
    QTest::addColumn<bool>("busThere");
    QTest::newRow("a bus without a notification server") << true;
    QTest::newRow("no bus at all") << false;
}

void DesktopBusesTest::withoutAServerNotifyNeitherBlocksNorRepeatsItself() {
    QFETCH(bool, busThere);
    Notifier notifier(busThere ? bus->connect("notifier")
                               : QDBusConnection::connectToBus(PrivateBus::Nowhere(), "nowhere"));
    QVERIFY(QSignalSpy(&notifier, &Notifier::availabilityKnown).wait(5000));
    QVERIFY(!notifier.available());
    QVERIFY(!notifier.offersActions());

    StderrCapture capture;
    QElapsedTimer took;
    took.start();
    for (int i = 0; i < 3; ++i) notifier.notify("a", "b", kLogIn, i);
    QVERIFY(took.elapsed() < 200);
    QTest::qWait(500);
    const QStringList lines = capture.lines();
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines[0].startsWith("notification not shown: "));
    QDBusConnection::disconnectFromBus("nowhere");
}

void DesktopBusesTest::anOwnerThatDoesNotAnswerStillGivesSecondWithin2s() {
    // The owner's thread is this one, busy in the claim, so it cannot answer Show in time.
    QDBusConnection first = bus->connect("first");
    QCOMPARE(InstanceService::ClaimInstance(first), InstanceClaim::First);
    InstanceService service(first);
    StderrCapture capture;
    QElapsedTimer took;
    took.start();
    QCOMPARE(InstanceService::ClaimInstance(bus->connect("second")), InstanceClaim::Second);
    QVERIFY2(took.elapsed() < 2050, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(capture.lines(),
             QStringList{"the nasfinder already running did not answer within 2 s"});
}

void DesktopBusesTest::theObjectOffersShowAndSearchNowOnly() {
    QDBusConnection first = bus->connect("first");
    QCOMPARE(InstanceService::ClaimInstance(first), InstanceClaim::First);
    InstanceService service(first);
    QSignalSpy shown(&service, &InstanceService::showRequested);
    QSignalSpy searched(&service, &InstanceService::searchRequested);
    QDBusConnection caller = bus->connect("caller");
    QCOMPARE(CallServing(caller, "SearchNow").type(), QDBusMessage::ReplyMessage);
    QCOMPARE(searched.size(), 1);
    QCOMPARE(shown.size(), 0);

    const QString xml = CallServing(caller, "Introspect", "org.freedesktop.DBus.Introspectable")
                            .arguments()
                            .value(0)
                            .toString();
    const QString ours =
        xml.section("<interface name=\"io.github.nasfinder\">", 1).section("</interface>", 0, 0);
    QCOMPARE(ours.simplified(),
             "<method name=\"Show\"> </method> <method name=\"SearchNow\"> </method>");
}

void DesktopBusesTest::noBusGivesNoBusAndNoWatching() {
    QElapsedTimer took;
    took.start();
    QCOMPARE(InstanceService::ClaimInstance(
                 QDBusConnection::connectToBus(PrivateBus::Nowhere(), "nowhere")),
             InstanceClaim::NoBus);
    QVERIFY(took.elapsed() < 2000);
    QDBusConnection::disconnectFromBus("nowhere");
    SleepWatcher watcher(QDBusConnection::connectToBus(PrivateBus::Nowhere(), "nowhere"));
    QVERIFY(!watcher.watching());
    QDBusConnection::disconnectFromBus("nowhere");
}

void DesktopBusesTest::onlyLogindsWakingGivesResumed_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("forged");
    QTest::addColumn<int>("resumed");
    QTest::newRow("logind: waking") << QByteArray("resume\n") << false << 1;
    QTest::newRow("logind: going to sleep") << QByteArray("sleep\n") << false << 0;
    QTest::newRow("another sender: waking") << QByteArray() << true << 0;
}

void DesktopBusesTest::onlyLogindsWakingGivesResumed() {
    QFETCH(QByteArray, line);
    QFETCH(bool, forged);
    QFETCH(int, resumed);
    QVERIFY(startFake({"login1"}, "DBUS_SYSTEM_BUS_ADDRESS"));
    SleepWatcher watcher(bus->connect("system"));
    QVERIFY(watcher.watching());
    QSignalSpy spy(&watcher, &SleepWatcher::resumed);
    if (forged) {
        QDBusConnection forger = bus->connect("forger");
        forger.send(QDBusMessage::createSignal("/org/freedesktop/login1",
                                               "org.freedesktop.login1.Manager", "PrepareForSleep")
                    << false);
        // The daemon answers in order, so the signal is past it once this returns.
        QVERIFY(forger.interface()->serviceOwner("org.freedesktop.login1").isValid());
    }
    fake->write(line + "resume\n");
    // The last resume marks the end; a stray signal would have come before it.
    QVERIFY(QTest::qWaitFor([&] { return spy.size() >= resumed + 1; }, 5000));
    QTest::qWait(200);
    QCOMPARE(spy.size(), resumed + 1);
}

QTEST_GUILESS_MAIN(DesktopBusesTest)
#include "tst_desktopbuses.moc"
