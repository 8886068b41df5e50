#include "src/app/desktopapp.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QFile>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <utility>

#include "src/app/appdelegate.h"
#include "src/app/bookkeeper.h"
#include "src/app/boxannouncer.h"
#include "src/app/boxwatch.h"
#include "src/app/consolelog.h"
#include "src/app/controller.h"
#include "src/app/deviceurl.h"
#include "src/app/instanceservice.h"
#include "src/app/languagefile.h"
#include "src/app/mainwindow.h"
#include "src/app/notifier.h"
#include "src/app/openfailuremessage.h"
#include "src/app/parseoperation.h"
#include "src/app/preferencesdialog.h"
#include "src/app/searchsession.h"
#include "src/app/sleepwatcher.h"
#include "src/app/storedevicesource.h"
#include "src/app/trayicon.h"
#include "src/app/waker.h"

namespace {

// The signal handler's end of the pair and the event loop's; the handler only writes.
int stopSignalSockets[2] = {-1, -1};

void OnStopSignal(int signal) {
    const char number = static_cast<char>(signal);
    const ssize_t ignored = ::write(stopSignalSockets[0], &number, 1);
    static_cast<void>(ignored);
}

std::vector<std::string> Patterns(const QStringList& list) {
    std::vector<std::string> patterns;
    for (const QString& pattern : list) patterns.push_back(pattern.toStdString());
    return patterns;
}

}  // namespace

DesktopApp::DesktopApp(const LaunchOptions& options, QObject* parent)
    : QObject(parent),
      options(options),
      preferences(Preferences::Load()),
      source(std::make_unique<StoreDeviceSource>(Patterns(options.interfaces),
                                                 Patterns(options.excludeInterfaces))),
      session(std::make_unique<SearchSession>(*source, options)),
      parseQueue(new QThreadPool(this)) {
    parseQueue->setMaxThreadCount(1);
    connect(&session->book(), &BookKeeper::bookChanged, this, [this] {
        if (!wakeOnceBookRead) return;
        wakeOnceBookRead = false;
        wakeMarkedBoxes();
    });
}

DesktopApp::~DesktopApp() {
    // The tray and the window go before the session they show; the tray may use the window's
    // captions.
    delete trayIcon;
    trayIcon = nullptr;
    mainWindow.reset();
    parseQueue->waitForDone();
}

const CaptionTexts& DesktopApp::captions() {
    if (mainWindow) return mainWindow->controller()->captionTexts();
    if (!parse) {
        QFile file(PathForResource(options.resourceDirs,
                                   LanguageResourceName(options.appleLanguages.value(0)),
                                   QStringLiteral("xml")));
        if (file.open(QIODevice::ReadOnly)) {
            parse = new ParseOperation(file.readAll(), this);
            connect(parse, &ParseOperation::AddEarthquakesNotif, this, [this] {
                texts.setDictionary(parse->currentParseBatchDic());
                if (trayIcon) trayIcon->refresh();
            });
            parseQueue->start(parse);
        }
    }
    return texts;
}

bool DesktopApp::start() {
    catchStopSignals();
    const QDBusConnection bus = QDBusConnection::sessionBus();
    switch (InstanceService::ClaimInstance(bus)) {
        case InstanceClaim::Second:
            return false;
        case InstanceClaim::NoBus:
            ConsoleLog(
                QStringLiteral("nasfinder: no session bus: no desktop notifications, and a "
                               "second nasfinder will not find this one"));
            break;
        case InstanceClaim::First:
            instance = new InstanceService(bus, this);
            connect(instance, &InstanceService::showRequested, this, &DesktopApp::showWindow);
            connect(instance, &InstanceService::searchRequested, this, [this] {
                if (session->watch().watching()) {
                    session->watch().searchNow();
                } else if (mainWindow) {
                    mainWindow->controller()->onRefreash();
                }
            });
            break;
    }
    const bool trayShown = (options.background || preferences.keepInTray) && TrayIcon::Available();
    if (options.background && !trayShown) {
        ConsoleLog(
            QStringLiteral("nasfinder: there is no system tray to show the icon in; the "
                           "window opens instead, and closing it ends nasfinder"));
    }
    // The window first, so that a window opened at start counts its search window down as ever.
    if (!options.background || !trayShown) showWindow();
    if (trayShown) enterTray();
    // At login: the boxes marked to wake with this computer, once the book has been read.
    if (trayShown && options.background) wakeOnceBookRead = true;
    return true;
}

void DesktopApp::showWindow() {
    if (!mainWindow) {
        mainWindow = std::make_unique<MainWindow>(*session);
        mainWindow->setHidesOnClose(trayIcon != nullptr);
        connect(mainWindow->controller(), &Controller::preferencesRequested, this,
                &DesktopApp::showPreferences);
        mainWindow->show();
        // Queued, so that it runs once the event loop has taken over.
        QTimer::singleShot(0, mainWindow->appDelegate(),
                           &AppDelegate::applicationDidFinishLaunching);
        return;
    }
    mainWindow->show();
    mainWindow->raise();
    mainWindow->activateWindow();
}

void DesktopApp::toggleWindow() {
    if (mainWindow && mainWindow->isVisible()) {
        mainWindow->hide();
    } else {
        showWindow();
    }
}

void DesktopApp::showPreferences() {
    if (!preferencesDialog) {
        preferencesDialog = new PreferencesDialog(
            captions(), mainWindow && mainWindow->isVisible() ? mainWindow.get() : nullptr);
        connect(preferencesDialog, &PreferencesDialog::changed, this,
                &DesktopApp::applyPreferences);
    }
    preferencesDialog->show();
    preferencesDialog->raise();
    preferencesDialog->activateWindow();
}

void DesktopApp::applyPreferences(const Preferences& chosen) {
    preferences = chosen;
    if (announcer) announcer->setEnabled(preferences.notify);
    const bool trayWanted = options.background || preferences.keepInTray;
    if (trayWanted && !trayIcon && TrayIcon::Available()) enterTray();
    if (!trayWanted && trayIcon) leaveTray();
}

void DesktopApp::enterTray() {
    QApplication::setQuitOnLastWindowClosed(false);
    session->start();
    session->book().reload();
    trayIcon = new TrayIcon(*session, captions(), this);
    connect(trayIcon, &TrayIcon::toggleWindowRequested, this, &DesktopApp::toggleWindow);
    connect(trayIcon, &TrayIcon::showWindowRequested, this, &DesktopApp::showWindow);
    connect(trayIcon, &TrayIcon::preferencesRequested, this, &DesktopApp::showPreferences);
    connect(trayIcon, &TrayIcon::quitRequested, this, [this] { quit(); });
    connect(trayIcon, &TrayIcon::openRequested, this, &DesktopApp::open);
    trayIcon->show();
    session->watch().start();
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        notifier = new Notifier(bus, this);
        announcer = new BoxAnnouncer(*session, *notifier, captions(), this);
        announcer->setEnabled(preferences.notify);
        announcer->start();
        connect(announcer, &BoxAnnouncer::openRequested, this, &DesktopApp::open);
    }
    sleepWatcher = new SleepWatcher(QDBusConnection::systemBus(), this);
    connect(sleepWatcher, &SleepWatcher::resumed, this, &DesktopApp::wakeMarkedBoxes);
    if (mainWindow) mainWindow->setHidesOnClose(true);
}

void DesktopApp::leaveTray() {
    delete trayIcon;
    trayIcon = nullptr;
    delete announcer;
    announcer = nullptr;
    delete notifier;
    notifier = nullptr;
    delete sleepWatcher;
    sleepWatcher = nullptr;
    session->watch().stop();
    QApplication::setQuitOnLastWindowClosed(true);
    // Nobody is left with a program they cannot see.
    if (mainWindow) mainWindow->setHidesOnClose(false);
    showWindow();
}

void DesktopApp::wakeMarkedBoxes() {
    for (const KnownBox& box : session->book().boxes()) {
        if (box.wakeWithComputer && !box.mac.empty()) session->waker().wake(box);
    }
}

void DesktopApp::open(const QString& scheme, const QString& address) {
    const QUrl url = DeviceUrl(scheme, address);
    if (!url.isValid() || QDesktopServices::openUrl(url)) return;
    ShowOpenFailure(url, captions(),
                    mainWindow && mainWindow->isVisible() ? mainWindow.get() : nullptr);
}

void DesktopApp::quit(int status) {
    // Records what was found; returns once no worker can report any more.
    session->stop();
    QCoreApplication::exit(status);
}

void DesktopApp::catchStopSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopSignalSockets) != 0) return;
    auto* stop = new QSocketNotifier(stopSignalSockets[1], QSocketNotifier::Read, this);
    connect(stop, &QSocketNotifier::activated, this, [this] {
        char number = 0;
        if (::read(stopSignalSockets[1], &number, 1) == 1) quit(128 + number);
    });
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
