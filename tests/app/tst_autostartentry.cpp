#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "src/app/autostartentry.h"

// The autostart entry in the test's own XDG_CONFIG_HOME: what "Start when I log in" does with
// whatever it finds there, and that the entry it writes is one the desktop takes.
class AutostartEntryTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void onAndOffLeaveOnlyWhatIsOurs_data();
    void onAndOffLeaveOnlyWhatIsOurs();
    void theEntryWrittenPassesTheValidatorAndGoesAgain();

private:
    static QString EntryPath() {
        return qEnvironmentVariable("XDG_CONFIG_HOME") +
               QStringLiteral("/autostart/io.github.nasfinder.desktop");
    }
    static QString Elsewhere() {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/elsewhere.desktop");
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void Write(const QString& path, const QByteArray& text) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
};

void AutostartEntryTest::init() {
    QVERIFY2(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"),
             "run by CTest, with settings of its own");
    QFile::remove(EntryPath());
    QFile::remove(Elsewhere());
    QVERIFY(QDir().mkpath(QFileInfo(EntryPath()).path()));
}

void AutostartEntryTest::onAndOffLeaveOnlyWhatIsOurs_data() {
    const QByteArray nasfinder =
        "[Desktop Entry]\nType=Application\nName=nasfinder\n"
        "Exec=nasfinder --background\n";
    const QByteArray skipped = nasfinder + "X-GNOME-Autostart-enabled=false\n";
    const QByteArray hidden = nasfinder + "Hidden=true\n";
    const QByteArray other =
        "[Desktop Entry]\nType=Application\nName=Other\n"
        "Exec=/usr/bin/other nasfinder\n";
    QTest::addColumn<QByteArray>("entry");  // what lies there, empty for nothing
    QTest::addColumn<bool>("link");         // the entry lies elsewhere, linked to from there
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("done");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("after");  // "ours", "none" or "as before"
    QTest::newRow("nothing, on") << QByteArray() << false << true << true << true << "ours";
    QTest::newRow("nothing, off") << QByteArray() << false << false << true << false << "none";
    QTest::newRow("nasfinder's, off") << nasfinder << false << false << true << false << "none";
    QTest::newRow("nasfinder's, on") << nasfinder << false << true << true << true << "as before";
    QTest::newRow("skipped, on") << skipped << false << true << true << true << "ours";
    QTest::newRow("hidden, on") << hidden << false << true << true << true << "ours";
    QTest::newRow("other's, on") << other << false << true << false << false << "as before";
    QTest::newRow("other's, off") << other << false << false << true << false << "as before";
    QTest::newRow("link to nasfinder's, off")
        << nasfinder << true << false << true << false << "none";
    QTest::newRow("link to nasfinder's, on")
        << nasfinder << true << true << true << true << "as before";
    QTest::newRow("link to skipped, on")
        << skipped << true << true << false << false << "as before";
    QTest::newRow("link to nothing, on")
        << QByteArray() << true << true << false << false << "as before";
}

void AutostartEntryTest::onAndOffLeaveOnlyWhatIsOurs() {
    QFETCH(QByteArray, entry);
    QFETCH(bool, link);
    QFETCH(bool, on);
    QFETCH(bool, done);
    QFETCH(bool, enabled);
    QFETCH(QString, after);
    if (!entry.isEmpty()) Write(link ? Elsewhere() : EntryPath(), entry);
    if (link) QVERIFY(QFile::link(Elsewhere(), EntryPath()));

    QString error;
    QCOMPARE(AutostartEntry::SetEnabled(on, &error), done);
    QCOMPARE(error.contains(EntryPath()), !done);
    QCOMPARE(AutostartEntry::Enabled(), enabled);
    // Whatever a link led to stays as it was.
    if (link) QCOMPARE(Read(Elsewhere()), entry);
    const QFileInfo info(EntryPath());
    if (after == "none") {
        QVERIFY(!info.exists() && !info.isSymLink());
    } else if (after == "ours") {
        QVERIFY(!info.isSymLink());
        QVERIFY(Read(EntryPath()).contains("\nExec=nasfinder --background\n"));
    } else {
        QCOMPARE(info.isSymLink(), link);
        if (!link) QCOMPARE(Read(EntryPath()), entry);
    }
}

void AutostartEntryTest::theEntryWrittenPassesTheValidatorAndGoesAgain() {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) QSKIP("desktop-file-validate is not installed (desktop-file-utils)");
    QVERIFY(AutostartEntry::SetEnabled(true, nullptr));
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {EntryPath()});
    QVERIFY(validate.waitForFinished(10000));
    QCOMPARE(validate.readAll(), QByteArray());
    QCOMPARE(validate.exitCode(), 0);
    const QByteArray text = Read(EntryPath());
    for (const char* line : {"Type=Application", "Exec=nasfinder --background", "Icon=nasfinder",
                             "Terminal=false", "X-GNOME-Autostart-enabled=true"}) {
        QVERIFY2(text.contains(QByteArray("\n") + line + "\n"), line);
    }
    QVERIFY(text.contains("\nName=") && text.contains("\nComment="));

    QVERIFY(AutostartEntry::SetEnabled(false, nullptr));
    QVERIFY(!QFileInfo::exists(EntryPath()));
    QVERIFY(!AutostartEntry::Enabled());
}

QTEST_GUILESS_MAIN(AutostartEntryTest)
#include "tst_autostartentry.moc"
