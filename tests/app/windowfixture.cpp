#include "tests/app/windowfixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "src/app/bookkeeper.h"
#include "src/app/controller.h"
#include "src/app/devicetablemodel.h"
#include "src/app/hintline.h"
#include "src/app/searchsession.h"

WindowFixture::WindowFixture(const QString& language, const QStringList& resourceDirs) {
    LaunchOptions options;
    options.appleLanguages = QStringList{language};
    options.resourceDirs = resourceDirs.isEmpty()
                               ? QStringList{QStringLiteral(NASFINDER_SOURCE_RESOURCES)}
                               : resourceDirs;
    mainWindow = std::make_unique<MainWindow>(options, &source);
    // The test ticks by hand: the timer, which each search window starts again, never fires.
    controller().searchTimer()->stop();
    controller().searchTimer()->setInterval(std::chrono::hours(24));
    // The parse thread writes console lines too; tests that read the console start after it.
    if (controller().languageParse()) waitForCaptions();
}

WindowFixture::~WindowFixture() = default;

Controller& WindowFixture::controller() {
    return *mainWindow->controller();
}

DeviceTableModel& WindowFixture::rows() {
    return *controller().array_controller();
}

QTableView& WindowFixture::table() {
    return *mainWindow->findChild<QTableView*>("tableview");
}

QPushButton& WindowFixture::button(const char* objectName) {
    return *mainWindow->findChild<QPushButton*>(objectName);
}

QLabel& WindowFixture::label(const char* objectName) {
    return *mainWindow->findChild<QLabel*>(objectName);
}

void WindowFixture::report(const char* ip, const char* host, const char* product) {
    source.report(ip, host, product);
}

bool WindowFixture::waitForCaptions() {
    return QTest::qWaitFor([this] { return controller().captionsApplied(); }, 5000);
}

void WindowFixture::tick(int times) {
    for (int i = 0; i < times; ++i) controller().getDeviceList();
    // The book's work runs on a thread of its own; a search window's end waits for it here.
    controller().searchSession().book().finish();
    waitForHints();
}

bool WindowFixture::waitForHints() {
    return QTest::qWaitFor(
        [this] { return !controller().hints() || !controller().hints()->checking(); }, 5000);
}

bool WindowFixture::showAndActivate() {
    mainWindow->show();
    QApplication::setActiveWindow(mainWindow.get());
    return QTest::qWaitForWindowActive(mainWindow.get()) &&
           QTest::qWaitFor([this] { return controller().windowAppeared(); }, 5000) &&
           waitForHints();
}
