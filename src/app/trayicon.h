#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <vector>

#include "search/deviceinfo.h"
#include "src/store/knownboxes.h"

class CaptionTexts;
class QAction;
class QMenu;
class QSystemTrayIcon;
class SearchSession;

// The program in the notification area (a StatusNotifierItem where the desktop watches for one,
// the XEmbed tray otherwise). The icon shows whether a box is online, its tooltip how many are
// online and how many remembered ones sleep; a left click shows or hides the window. Its menu
// lists the boxes online, then the remembered ones asleep (greyed), each with Log In, My storage,
// Wake up and "Wake with this computer", then Search now, Show window, Preferences… and Quit; it
// follows the session's boxes and book. Text from the boxes stays text. Main thread.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // session and texts must outlive the tray.
    TrayIcon(SearchSession& session, const CaptionTexts& texts, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop has a tray to show the icon in.
    static bool Available();
    void show();
    // Builds the menu and the tooltip again, for new boxes, a changed book or new captions.
    void refresh();

    QSystemTrayIcon* icon() const { return trayIcon; }
    QMenu* menu() const { return trayMenu; }

signals:
    void toggleWindowRequested();
    void showWindowRequested();
    void preferencesRequested();
    void quitRequested();
    // Log In or My storage for the box at address (scheme "http" or "smb").
    void openRequested(const QString& scheme, const QString& address);

private:
    // One box's submenu; remembered is the book's entry for it, if any.
    void addBox(const QString& title, const QString& address, const KnownBox* remembered,
                bool online);

    SearchSession& session;
    const CaptionTexts& texts;
    QSystemTrayIcon* trayIcon;
    QMenu* trayMenu;
    QIcon onlineIcon;
    QIcon asleepIcon;
};
