#include <QtTest>

#include "src/app/deviceurl.h"

class DeviceUrlTest : public QObject {
    Q_OBJECT
private slots:
    void deviceUrl_data();
    void deviceUrl();
    void hostNameRule_data();
    void hostNameRule();
};

void DeviceUrlTest::deviceUrl_data() {
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("http");  // empty when nothing may open
    QTest::addColumn<QString>("smb");

    QTest::newRow("plain") << "192.168.1.20"
                           << "http://192.168.1.20"
                           << "smb://192.168.1.20";
    QTest::newRow("bounds") << "0.0.0.0"
                            << "http://0.0.0.0"
                            << "smb://0.0.0.0";
    QTest::newRow("top") << "255.255.255.255"
                         << "http://255.255.255.255"
                         << "smb://255.255.255.255";
    QTest::newRow("loopback") << "127.0.0.1"
                              << "http://127.0.0.1"
                              << "smb://127.0.0.1";
    // Host names become the host too; URLs write them in lower case.
    QTest::newRow("host name") << "office-nas"
                               << "http://office-nas"
                               << "smb://office-nas";
    QTest::newRow("dotted host name") << "Backup.Lan"
                                      << "http://backup.lan"
                                      << "smb://backup.lan";
    QTest::newRow("other domain") << "evil.example"
                                  << "http://evil.example"
                                  << "smb://evil.example";

    // Everything a hostile or broken device could send instead of an address.
    const char* const rejected[] = {
        "",
        "192.168.1",
        "192.168.1.20.5",
        "192.168.1.256",
        "192.168.1.1000",
        "192.168.01.20",
        "192.168.1.20 ",
        " 192.168.1.20",
        "192.168.1.20\n",
        "192.168.1.",
        ".168.1.20",
        "192..1.20",
        "+1.2.3.4",
        "1.2.3.-4",
        "192.168.1.20/admin",
        "192.168.1.20:8080",
        "user:pw@192.168.1.20",
        "192.168.1.20#frag",
        "192.168.1.20?x=1",
        "javascript:alert(1)",
        "file:///etc/passwd",
        "::1",
        "0x7f.0.0.1",
        "\xef\xbc\x91.2.3.4",  // full-width digit one
        "\xd9\xa1.2.3.4",      // Arabic-Indic digit one
    };
    for (const char* ip : rejected) {
        const QString text = QString::fromUtf8(ip);
        QTest::newRow(qPrintable("rejects \"" + text.toUtf8().toPercentEncoding() + "\""))
            << text << QString() << QString();
    }
}

void DeviceUrlTest::deviceUrl() {
    QFETCH(QString, ip);
    QFETCH(QString, http);
    QFETCH(QString, smb);

    const QUrl web = DeviceUrl("http", ip);
    const QUrl share = DeviceUrl("smb", ip);
    QCOMPARE(web.isValid(), !http.isEmpty());
    QCOMPARE(share.isValid(), !smb.isEmpty());
    if (!http.isEmpty()) {
        QCOMPARE(web.toString(), http);
        QCOMPARE(share.toString(), smb);
        QCOMPARE(web.host(), ip.toLower());
        QVERIFY(web.path().isEmpty() && web.userInfo().isEmpty() && web.port() == -1);
    }
}

void DeviceUrlTest::hostNameRule_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");

    const QString label63(63, u'a');
    // Four labels of 63 and three dots make 255: one shorter label brings the name to 253.
    const QString longest = QStringList{label63, label63, label63, QString(61, u'b')}.join('.');
    const QStringList accepted{
        "nas",  "nas-1",         "office-nas.local", "NAS-1.Example.COM",     "3com",
        "a",    "192.168.1.nas", "nas.0xg",          "xn--bcher-kva.example", label63,
        longest};
    const QStringList refused{
        "", "-nas", "nas-", "nas.-lan", "nas..local", ".nas", "nas.", label63 + 'a', longest + 'b',
        "nas_1", "nas 1", "nas/admin", "nas:8080", "user@nas", "nas?x=1", "nas#top", "nas%2e",
        "nas\n", QString::fromUtf8("b\xc3\xbcro"), QString(QChar(0xff4e)),
        // A number as the last label reads as an IPv4 address.
        "12345", "192.168.1", "192.168.1.256", "192.168.01.20", "nas.0x", "nas.0x1F", "1.2.3.0x7f"};
    for (const bool accept : {true, false}) {
        for (const QString& name : accept ? accepted : refused) {
            const QString shown = name.size() > 20 ? QStringLiteral("%1 letters").arg(name.size())
                                                   : name.toUtf8().toPercentEncoding();
            QTest::newRow(qPrintable((accept ? "accepts " : "refuses ") + shown)) << name << accept;
        }
    }
}

void DeviceUrlTest::hostNameRule() {
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QCOMPARE(IsDnsHostName(name), accepted);
    QCOMPARE(DeviceUrl("http", name).isValid(), accepted);
}

QTEST_APPLESS_MAIN(DeviceUrlTest)
#include "tst_deviceurl.moc"
