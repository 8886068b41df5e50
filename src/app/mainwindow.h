#pragma once

#include <QWidget>

#include <memory>

#include "src/app/launchoptions.h"

class AppDelegate;
class Controller;
class DeviceSource;
class DeviceTableModel;
class SearchSession;
namespace Ui {
class MainWindow;
}

// The window layout: builds the form, creates the controller and the application delegate,
// connects their outlets and actions, then wakes both; tells the controller when the window has
// first been painted. Closing it ends the program, or only hides it where the program lives on in
// the tray. Main thread.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // A window with a search session of its own over source, which feeds the table and must
    // outlive the window; null takes the device list store's.
    explicit MainWindow(const LaunchOptions& options, DeviceSource* source = nullptr,
                        QWidget* parent = nullptr);
    // A window over a session it shares with the tray; session must outlive the window.
    explicit MainWindow(SearchSession& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    Controller* controller() const { return windowController; }
    AppDelegate* appDelegate() const { return delegate; }
    // Whether closing the window only hides it (the program goes on in the tray).
    void setHidesOnClose(bool hides) { hidesOnClose = hides; }

signals:
    void windowWillClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Builds the form and its controller over session.
    void build(SearchSession& session, const LaunchOptions& options);

    std::unique_ptr<Ui::MainWindow> ui;
    // The window's own source and session, when it shares none; destroyed after the controller.
    std::unique_ptr<DeviceSource> storeSource;
    std::unique_ptr<SearchSession> ownSession;
    DeviceTableModel* arrayController = nullptr;
    AppDelegate* delegate = nullptr;
    Controller* windowController = nullptr;
    bool painted = false;
    bool hidesOnClose = false;
};
