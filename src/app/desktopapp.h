#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

#include "src/app/captiontexts.h"
#include "src/app/launchoptions.h"
#include "src/app/preferences.h"

class BoxAnnouncer;
class DeviceSource;
class InstanceService;
class MainWindow;
class Notifier;
class ParseOperation;
class PreferencesDialog;
class QThreadPool;
class SearchSession;
class SleepWatcher;
class TrayIcon;

// The program as the desktop sees it: one nasfinder per session (a second start asks this one to
// show its window), the window, and with --background or the preference to keep running in the
// tray, the tray icon with the watch over the boxes, notifications, waking with the computer and
// the preferences. Where no tray can be shown, --background opens the window instead, which then
// ends the program when closed: nobody is left with a program they cannot see. SIGTERM (a session
// that ends) and SIGINT end the program as Quit does, the boxes heard recorded, with status 128
// plus the signal. Made by main() once the QApplication exists; main thread.
class DesktopApp : public QObject {
    Q_OBJECT
public:
    explicit DesktopApp(const LaunchOptions& options, QObject* parent = nullptr);
    ~DesktopApp() override;

    // Claims the session's one instance and shows the window, the tray or both. False when
    // another nasfinder was asked to show its window instead: the program ends with status 0.
    bool start();

    MainWindow* window() const { return mainWindow.get(); }
    TrayIcon* tray() const { return trayIcon; }
    SearchSession& searchSession() const { return *session; }

    // Rounds of the watch, notifications and waking: how the tray shows itself.
    static constexpr int kRecordEveryMinutes = 10;

private:
    // The captions for the tray and the dialogs: the window's where there is one, else those of
    // a parse of the language file of the program's own, started the first time.
    const CaptionTexts& captions();
    void showWindow();
    void toggleWindow();
    void showPreferences();
    void applyPreferences(const Preferences& preferences);
    // Puts the program in the tray: the icon, the watch, notifications, the sleep watcher.
    void enterTray();
    void leaveTray();
    void wakeMarkedBoxes();
    void open(const QString& scheme, const QString& address);
    // Ends the program with status, the boxes heard recorded.
    void quit(int status = 0);
    // SIGTERM and SIGINT reach the event loop through a socket pair, as a quit.
    void catchStopSignals();

    LaunchOptions options;
    Preferences preferences;
    std::unique_ptr<DeviceSource> source;
    std::unique_ptr<SearchSession> session;
    std::unique_ptr<MainWindow> mainWindow;
    // The captions of a program without a window (the tray); a window parses its own.
    QThreadPool* parseQueue;
    ParseOperation* parse = nullptr;
    CaptionTexts texts;
    InstanceService* instance = nullptr;
    Notifier* notifier = nullptr;
    TrayIcon* trayIcon = nullptr;
    BoxAnnouncer* announcer = nullptr;
    SleepWatcher* sleepWatcher = nullptr;
    QPointer<PreferencesDialog> preferencesDialog;
    // The marked boxes are woken once the book has first been read.
    bool wakeOnceBookRead = false;
};
