#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableView>

#include <memory>

#include "src/app/mainwindow.h"
#include "tests/app/fakedevicesource.h"

class Controller;
class DeviceTableModel;

// The real window over a fake device source, so it opens no socket, with its one-second timer
// stopped so that a test drives the ticks itself. When a language file is found, construction
// returns once its captions have been applied.
class WindowFixture {
public:
    // language is element 0 of the preferred-language list; resourceDirs defaults to the
    // source tree's language files.
    explicit WindowFixture(const QString& language = QStringLiteral("en"),
                           const QStringList& resourceDirs = {});
    ~WindowFixture();

    MainWindow& window() { return *mainWindow; }
    Controller& controller();
    DeviceTableModel& rows();
    QTableView& table();
    QPushButton& button(const char* objectName);
    QLabel& label(const char* objectName);
    FakeDeviceSource& devices() { return source; }

    // Adds a device to the fake source's list, as a search report would.
    void report(const char* ip, const char* host, const char* product = "KNS-220");
    // Waits for the captions of the language file to be applied.
    bool waitForCaptions();
    // Ticks the countdown, then waits for the hint line's checks to be shown.
    void tick(int times = 1);
    bool waitForHints();
    // Shows and activates the window, and waits for what loads after its first paint.
    bool showAndActivate();

private:
    FakeDeviceSource source;
    std::unique_ptr<MainWindow> mainWindow;
};
