#include <QtTest>

#include "src/app/deviceurl.h"

class DeviceUrlTest : public QObject {
    Q_OBJECT
private slots:
    void deviceUrl_data();
    void deviceUrl();
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
        "evil.example",
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

    QCOMPARE(IsDottedIPv4(ip), !http.isEmpty());
    const QUrl web = DeviceUrl("http", ip);
    const QUrl share = DeviceUrl("smb", ip);
    QCOMPARE(web.isValid(), !http.isEmpty());
    QCOMPARE(share.isValid(), !smb.isEmpty());
    if (!http.isEmpty()) {
        QCOMPARE(web.toString(), http);
        QCOMPARE(share.toString(), smb);
        QCOMPARE(web.host(), ip);
        QVERIFY(web.path().isEmpty() && web.userInfo().isEmpty() && web.port() == -1);
    }
}

QTEST_APPLESS_MAIN(DeviceUrlTest)
#include "tst_deviceurl.moc"
