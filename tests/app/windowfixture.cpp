#include "tests/app/windowfixture.h"

#include <QTest>
#include <QTimer>

#include "search/deviceinfo.h"
#include "src/app/controller.h"
#include "src/app/devicetablemodel.h"
#include "src/store/deviceliststore.h"

WindowFixture::WindowFixture(const QString& language, const QStringList& resourceDirs) {
    CDeviceListStore::Instance().ClearDeviceList();
    LaunchOptions options;
    options.appleLanguages = QStringList{language};
    options.resourceDirs = resourceDirs.isEmpty()
                               ? QStringList{QStringLiteral(NASFINDER_SOURCE_RESOURCES)}
                               : resourceDirs;
    mainWindow = std::make_unique<MainWindow>(options);
    controller().searchTimer()->stop();
    // The parse thread writes console lines too; tests that read the console start after it.
    if (controller().languageParse()) waitForCaptions();
}

WindowFixture::~WindowFixture() {
    mainWindow.reset();
    CDeviceListStore::Instance().ClearDeviceList();
}

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

bool WindowFixture::waitForCaptions() {
    return QTest::qWaitFor([this] { return controller().captionsApplied(); }, 5000);
}

void WindowFixture::tick(int times) {
    for (int i = 0; i < times; ++i) controller().getDeviceList();
}

void ReportDevice(const char* ip, const char* host, const char* product, const char* id) {
    deviceinfo record;
    CopyDeviceField(record.id, id ? id : ip);
    CopyDeviceField(record.ip, ip);
    CopyDeviceField(record.host, host);
    CopyDeviceField(record.product, product);
    CopyDeviceField(record.factory, "KORVANT");
    record.type = 1;
    CDeviceListStore::OnSearchResult(&record, 1900);
}
