#pragma once

#include <QWidget>

#include <memory>

#include "src/app/launchoptions.h"

class AppDelegate;
class Controller;
class DeviceSource;
class DeviceTableModel;
namespace Ui {
class MainWindow;
}

// The window layout: builds the form, creates the controller and the application delegate,
// connects their outlets and actions, then wakes both; tells the controller when the window has
// first been painted. Main thread.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // source feeds the table and must outlive the window; null takes the device list store's.
    explicit MainWindow(const LaunchOptions& options, DeviceSource* source = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    Controller* controller() const { return windowController; }
    AppDelegate* appDelegate() const { return delegate; }

signals:
    void windowWillClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> ui;
    std::unique_ptr<DeviceSource> storeSource;
    DeviceTableModel* arrayController;
    AppDelegate* delegate;
    Controller* windowController;
    bool painted = false;
};
