#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableView>

#include <memory>

#include "src/app/mainwindow.h"

class Controller;
class DeviceTableModel;

// The real window, started inside the test's own network namespace, with its one-second timer
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

    // Waits for the captions of the language file to be applied.
    bool waitForCaptions();
    void tick(int times = 1);

private:
    std::unique_ptr<MainWindow> mainWindow;
};

// Adds a device to the device list store through the library's callback, as a worker would.
void ReportDevice(const char* ip, const char* host, const char* product = "KNS-220",
                  const char* id = nullptr);
