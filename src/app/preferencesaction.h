#pragma once

#include <QObject>

class CaptionTexts;
class QAction;
class QMenu;
class QWidget;

// "Preferences…": an item of the table's menu and a shortcut of the window (Ctrl+,). The dialog
// itself belongs to the program as a whole (the tray opens it too). Made once the window is on
// screen; main thread.
class PreferencesAction : public QObject {
    Q_OBJECT
public:
    // texts must outlive this; the action belongs to window.
    PreferencesAction(QWidget* window, QMenu* menu, const CaptionTexts& texts,
                      QObject* parent = nullptr);

    QAction* action() const { return open; }
    // The action's text in the current language.
    void retranslate();

signals:
    void triggered();

private:
    const CaptionTexts& texts;
    QAction* open;
};
