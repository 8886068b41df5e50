#pragma once

// The preferences a user sets in the Preferences dialog, kept in the user's settings
// (nasfinder.conf, group "tray"). "Start when I log in" is the autostart entry itself, not a
// setting (see AutostartEntry). Main thread.
struct Preferences {
    // Closing the window leaves the program running in the tray.
    bool keepInTray = false;
    // Desktop notifications when boxes come and go.
    bool notify = true;

    static Preferences Load();
    void save() const;
};
