#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <cstddef>
#include <vector>

#include "search/deviceinfo.h"

#include "src/app/captiontexts.h"
#include "src/app/launchoptions.h"

class DeviceTableModel;
class FontNode;
class HintLine;
class NetworkFollower;
class OtherNetworks;
class ParseOperation;
class PreferencesAction;
class RememberedRows;
class SearchSession;
class QAbstractButton;
class QLabel;
class QMessageBox;
class QPushButton;
class QTableView;
class QThreadPool;
class QTimer;

// Drives the main window: starts the search session and the language parse, counts the 11-second
// search window down once a second while copying the device list into the table (again when a
// network appears after it), and opens the selected device, saying so when the desktop has no
// program for it. Between search windows its timer stands still; while the session watches the
// boxes (the tray), the table follows them between windows instead, and a window shown from the
// tray starts with what the watch knows. It wires the window's parts, each a class of its own.
// Everything here runs on the main thread.
class Controller : public QObject {
    Q_OBJECT
public:
    // The window's widgets, connected by the window layout before awakeFromNib.
    struct Outlets {
        QTableView* tableview = nullptr;
        DeviceTableModel* array_controller = nullptr;
        QPushButton* loginbutton = nullptr;
        QPushButton* refreshbutton = nullptr;
        QPushButton* storagebutton = nullptr;
        QLabel* countdownField = nullptr;
        QLabel* deviceListField = nullptr;
        QLabel* hintLine = nullptr;
    };

    // session must outlive the controller.
    explicit Controller(SearchSession& session, QObject* parent = nullptr);
    ~Controller() override;

    void setOutlets(const Outlets& outlets);
    void setLaunchOptions(const LaunchOptions& options);

    SearchSession& searchSession() const { return session; }
    QTableView* tableview() const { return ui.tableview; }
    DeviceTableModel* array_controller() const { return ui.array_controller; }
    QPushButton* loginbutton() const { return ui.loginbutton; }
    QPushButton* refreshbutton() const { return ui.refreshbutton; }
    QPushButton* storagebutton() const { return ui.storagebutton; }
    const QList<QVariantMap>& rows() const { return device; }
    QTimer* searchTimer() const { return mytimer; }
    QThreadPool* languageQueue() const { return parseQueue; }
    ParseOperation* languageParse() const { return parseOperation; }
    // True once ReflashLanguage has run.
    bool captionsApplied() const { return captionsComplete; }
    // The window's texts in the user's language (English until the parse has completed).
    const CaptionTexts& captionTexts() const { return texts; }
    // True once windowDidAppear has run.
    bool windowAppeared() const { return appeared; }
    HintLine* hints() const { return hintLine; }
    OtherNetworks* otherNetworks() const { return targetEditor; }
    RememberedRows* remembered() const { return rememberedRows; }

public slots:
    // Start-up: language parse, search library, first search, countdown timer.
    void awakeFromNib();
    // The timer's tick, once a second during a search window.
    void getDeviceList();
    void onRefreash();
    void onLogin();
    void onGotoStorage();
    // Applies the captions once the language parse has completed.
    void ReflashLanguage();
    void tableViewSortDescriptorsDidChange();
    // Once, after the window's first paint: adds what the window needs only on screen (the
    // table's copy actions, the controls' screen-reader texts), off the path to that paint.
    void windowDidAppear();
    // Stops the countdown and the search session, and ends the event loop with status 1.
    void windowWillClose();
    // A network appeared: the line forgets "no network", and a search window that had ended
    // runs again, as Refresh does, without emptying the list.
    void networkAppeared();

signals:
    // Preferences… from the table's menu or Ctrl+,.
    void preferencesRequested();

private:
    // The caption entry for key, or null while the parse has not completed or lacks the key.
    const FontNode* caption(const QString& key) const;
    void applyCaption(QAbstractButton* button, const QString& key);
    void applyCaption(QLabel* label, const QString& key);
    // The controls' names and descriptions for screen readers, once the window has appeared.
    void applyAccessibleTexts();
    void updateCountdownName();
    void setButtonsEnabled(bool enabled);
    // A new search window: one search, the countdown from the start, the line cleared.
    void startSearchWindow();
    // The hint line, made after the first paint or when a search window ends, whichever first.
    HintLine* ensureHintLine();
    void openSelectedDevice(const QString& scheme);
    // The table's rows of boxes the search found, the remembered ones left out.
    std::size_t foundRows() const;
    // The device list in the table, with the remembered boxes below it.
    void showDevices(const std::vector<deviceinfo>& list);
    // The watch or the book changed: between search windows, while the session watches, the
    // table shows it.
    void followWatch();

    SearchSession& session;
    Outlets ui;
    LaunchOptions options;
    QList<QVariantMap> device;
    QThreadPool* parseQueue = nullptr;
    ParseOperation* parseOperation = nullptr;
    CaptionTexts texts;
    QPointer<QMessageBox> openFailure;
    // Made after the first paint, like the window's other on-screen helpers.
    HintLine* hintLine = nullptr;
    OtherNetworks* targetEditor = nullptr;
    RememberedRows* rememberedRows = nullptr;
    PreferencesAction* preferencesAction = nullptr;
    // Whether the current search window's end has been looked into for hints.
    bool searchLookedInto = false;
    QTimer* mytimer = nullptr;
    // Set when AddEarthquakesNotif arrives; before that the parse thread may still be writing
    // the caption dictionary, so it is not read.
    bool captionsComplete = false;
    bool appeared = false;
    // The boxes found that the table shows, as the hint line last heard of them.
    std::size_t shownFound = 0;
    int counter = 0;
    int count = 0;
};
