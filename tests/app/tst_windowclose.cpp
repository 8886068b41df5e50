#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "src/app/mainwindow.h"
#include "tests/support/sealednetwork.h"

namespace {

constexpr const char* kCloseChild = "--close-child";

}  // namespace

// Closing the real window while the real search runs (in the test's own network namespace,
// which the child inherits): the search library stops, exec() returns 1, and main returns it
// through the normal path, static destructors and all.
class WindowCloseTest : public QObject {
    Q_OBJECT
private slots:
    void closingStopsTheSearchAndMainReturnsOne();
};

void WindowCloseTest::closingStopsTheSearchAndMainReturnsOne() {
    if (!nasfinder::test::NetworkSealed()) QSKIP(nasfinder::test::WhyNotSealed().c_str());
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {kCloseChild});
    QVERIFY(child.waitForFinished(20000));
    const QStringList lines =
        QString::fromUtf8(child.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 1);
    const qsizetype returned = lines.indexOf("exec returned 1");
    QVERIFY2(returned >= 0, qPrintable(lines.join('\n')));
    // Registered before the store existed, so it runs after the store's destructor.
    QCOMPARE(lines.last(), QStringLiteral("ended through exit"));
}

// The window as main() runs it, closed after its first tick, once the search is under way.
int RunCloseChild(int argc, char** argv) {
    std::atexit([] { std::fputs("ended through exit\n", stderr); });
    QApplication application(argc, argv);
    LaunchOptions options;
    options.appleLanguages = QStringList{"en"};
    options.resourceDirs = QStringList{NASFINDER_SOURCE_RESOURCES};
    MainWindow window(options);
    window.show();
    QTimer::singleShot(1500, &window, &QWidget::close);
    const int status = QApplication::exec();
    std::fprintf(stderr, "exec returned %d\n", status);
    return status;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kCloseChild) == 0) return RunCloseChild(argc, argv);
    // First, while the process has one thread: the child's sockets stay in here too.
    nasfinder::test::SealNetwork();
    QApplication application(argc, argv);
    WindowCloseTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowclose.moc"
