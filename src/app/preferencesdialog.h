#pragma once

#include <QDialog>

#include "src/app/preferences.h"

class CaptionTexts;
class QCheckBox;
class QLabel;

// Preferences…: keep running in the tray when the window is closed, start when the user logs in
// (the autostart entry), notify when boxes come and go. Each choice takes effect and is kept the
// moment it is made; a failure to write the autostart entry is said in the dialog. Not modal;
// deletes itself when closed. Main thread.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    PreferencesDialog(const CaptionTexts& texts, QWidget* parent = nullptr);

signals:
    // The preferences as now kept.
    void changed(const Preferences& preferences);

private:
    void keep();
    void startAtLogin(bool on);

    Preferences preferences;
    QCheckBox* keepInTray;
    QCheckBox* autostart;
    QCheckBox* notify;
    QLabel* problem;
    const CaptionTexts& texts;
};
