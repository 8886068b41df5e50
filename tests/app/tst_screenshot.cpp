#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QtTest>

#include "src/app/devicetablemodel.h"
#include "tests/app/windowfixture.h"

// Renders the window with three devices half-way through a search, the way the README shows it,
// and checks what a user would see first: the window colour, the rows, the countdown.
class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void windowWithThreeDevices();
};

void ScreenshotTest::windowWithThreeDevices() {
    WindowFixture fixture("en");
    QVERIFY(fixture.waitForCaptions());
    fixture.report("192.168.1.20", "office-nas", "KNS-220");
    fixture.report("192.168.1.34", "media-store", "KNS-440");
    fixture.report("192.168.1.51", "backup", "KNS-120");
    fixture.tick(4);
    fixture.table().selectRow(1);
    fixture.window().resize(640, 400);
    fixture.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window()));

    const QImage image = fixture.window().grab().toImage();
    QCOMPARE(image.size() / image.devicePixelRatio(), QSize(640, 400));
    QCOMPARE(fixture.rows().rowCount(), 3);
    QCOMPARE(fixture.label("countdownField").text(), QStringLiteral("Search Time 7"));

    // The window's own colour shows in its margin, from the first display on.
    const QColor slate = QColor::fromRgbF(0.33f, 0.41f, 0.54f);
    QCOMPARE(image.pixelColor(4, 4).rgb(), slate.rgb());
    QCOMPARE(image.pixelColor(image.width() - 4, image.height() / 2).rgb(), slate.rgb());
    // The table is drawn over it: its middle is not the window colour.
    const QPoint tableMiddle = fixture.table().geometry().center();
    QVERIFY(image.pixelColor(tableMiddle).rgb() != slate.rgb());

    const QString path = qEnvironmentVariable("NASFINDER_SCREENSHOT",
                                              QDir::current().filePath("nasfinder-window.png"));
    QVERIFY2(image.save(path, "PNG"), qPrintable(path));
    qInfo("screenshot: %s", qPrintable(path));
}

QTEST_MAIN(ScreenshotTest)

#include "tst_screenshot.moc"
