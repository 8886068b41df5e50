#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <optional>

#include "src/store/knownboxes.h"

class CaptionTexts;
class DeviceSource;
class QAction;
class QLabel;
class QMenu;
class QTableView;
class QTimer;
class RememberedRows;

// The row menu's "Wake up" (for a remembered box with a MAC) and "Forget" (for a remembered
// box). Waking sends the magic packet from a pool thread, says so in the hint line, then
// searches every 2 s, sending the packet again each time, until the box answers (its row turns normal) or 2 minutes pass (the hint
// line says what to check). Main thread.
class WakeAction : public QObject {
    Q_OBJECT
public:
    // Everything given must outlive the action; the actions join menu.
    WakeAction(QTableView* table, QMenu* menu, RememberedRows& remembered, DeviceSource& source,
               QLabel* hintLabel, const CaptionTexts& texts, QObject* parent = nullptr);

    QAction* wakeUpAction() const { return wakeUp; }
    QAction* forgetAction() const { return forget; }

public slots:
    // A new search began: the wait for a woken box ends without a word.
    void stop();

private:
    int selectedRow() const;
    void prepareMenu();
    void wakeSelected();
    // Sends the magic packet for the box being woken from a pool thread; the first sending's
    // outcome reaches sent().
    void sendMagicPacket(bool first);
    // The packet went out of at least one interface when anySent; errors in words.
    void sent(bool anySent, const QString& errors);
    void lookForAnswer();
    void say(const char* key, const QString& error = QString());

    QTableView* table;
    RememberedRows& remembered;
    DeviceSource& source;
    QLabel* hintLabel;
    const CaptionTexts& texts;
    QAction* wakeUp;
    QAction* forget;
    QAction* separator;
    QTimer* searchTimer;
    QElapsedTimer waited;
    std::optional<KnownBox> waking;
};
