#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include "src/store/devicewatch.h"

class CaptionTexts;
class Notifier;
class SearchSession;

// Tells the desktop when boxes come and go while the program lives in the tray: a box seen for the
// first time, a remembered box that comes back (a box woken from here as soon as it answers), a
// box that goes. Never for the boxes already there as the watch starts (the first search
// window's), at most once a minute per box, and not at all while turned off. Where the notification
// server offers actions, Log In and My storage open the box from the notification. Main thread.
class BoxAnnouncer : public QObject {
    Q_OBJECT
public:
    // Everything given must outlive the announcer.
    BoxAnnouncer(SearchSession& session, Notifier& notifier, const CaptionTexts& texts,
                 QObject* parent = nullptr);

    // The watch starts now: what the first search window finds was there already.
    void start();
    void setEnabled(bool on) { enabled = on; }

    static constexpr int kSettleMilliseconds = 11 * 1000;
    static constexpr qint64 kQuietMilliseconds = 60 * 1000;

signals:
    // Log In or My storage on a notification: scheme "http" or "smb".
    void openRequested(const QString& scheme, const QString& address);

private:
    void announce(const WatchEvent& event);
    // Tells the desktop of the box in event with the summary's caption, unless turned off or
    // told of within the last minute.
    void told(const WatchEvent& event, const char* summary);

    SearchSession& session;
    Notifier& notifier;
    const CaptionTexts& texts;
    bool enabled = true;
    QElapsedTimer sinceStart;
    // When each box (by id, else address) was last told about.
    QHash<QString, QElapsedTimer> lastTold;
};
