#pragma once

#include <QObject>
#include <QPointer>

class CaptionTexts;
class QAction;
class QMenu;
class QWidget;
class SearchSession;
class SearchTargetsDialog;

// "Other networks…": an item of the table's menu and a shortcut of the window (Ctrl+Shift+O)
// that open the dialog over the kept search targets, with what became of each. A save keeps the
// targets in the session and asks for a search at once. Made once the window is on screen; main
// thread.
class OtherNetworks : public QObject {
    Q_OBJECT
public:
    // Everything given must outlive this; the action belongs to window.
    OtherNetworks(QWidget* window, QMenu* menu, SearchSession& session, const CaptionTexts& texts,
                  QObject* parent = nullptr);

    QAction* action() const { return open; }
    // The dialog while it is open, else null.
    SearchTargetsDialog* dialog() const;
    // The action's text in the current language, for the menu and screen readers.
    void retranslate();

signals:
    // The targets changed: a new search should start.
    void searchAgain();

private:
    void showDialog();

    QWidget* window;
    SearchSession& session;
    const CaptionTexts& texts;
    QAction* open;
    QPointer<SearchTargetsDialog> editor;
};
