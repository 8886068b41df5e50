#pragma once

#include <QObject>
#include <QString>

#include <optional>

#include "src/app/captiontexts.h"
#include "src/store/knownboxes.h"
#include "src/store/wakesender.h"

class BookKeeper;
class HintLine;
class QAction;
class QMenu;
class QTableView;
class RememberedRows;
class Waker;

// The row menu's "Wake up" (for a remembered box with a MAC), "Wake with this computer" (a
// checkable mark in the book, for any box the book holds with a MAC) and "Forget" (for a
// remembered box). Waking goes through the session's waker, out of the interfaces the launch
// options choose; the hint line says that the box is being woken, whether the packet went out of
// only some interfaces, and how the wait ended (its row turns normal when the box answers). Main
// thread.
class WakeAction : public QObject {
    Q_OBJECT
public:
    // Everything given must outlive the action; the actions join menu.
    WakeAction(QTableView* table, QMenu* menu, RememberedRows& remembered, Waker& waker,
               BookKeeper& book, HintLine& hintLine, const CaptionTexts& texts,
               QObject* parent = nullptr);

    QAction* wakeUpAction() const { return wakeUp; }
    QAction* wakeWithComputerAction() const { return withComputer; }
    QAction* forgetAction() const { return forget; }

public slots:
    // A new search began: the wait for the box this window woke ends without a word.
    void stop();

private:
    int selectedRow() const;
    void prepareMenu();
    void wakeSelected();
    void sent(const KnownBox& box, const WakeSent& result);
    void say(const KnownBox& box, const char* key, const CaptionTexts::Values& values = {});
    bool isWaking(const KnownBox& box) const;
    // The book's entry for the box at row: a remembered row's, or a found box's by its address.
    std::optional<KnownBox> bookEntryAt(int row) const;

    QTableView* table;
    RememberedRows& remembered;
    Waker& waker;
    BookKeeper& book;
    HintLine& hintLine;
    const CaptionTexts& texts;
    QAction* wakeUp;
    QAction* withComputer;
    QAction* forget;
    QAction* separator;
    // The box this window is waking, if any.
    std::optional<KnownBox> waking;
};
