#pragma once

#include <QString>

// "Start when I log in": the user's autostart entry $XDG_CONFIG_HOME/autostart/
// io.github.nasfinder.desktop (~/.config without XDG_CONFIG_HOME), which runs
// nasfinder --background. It writes only an entry of its own: a link there, or an entry that
// runs another program, is never written through or over, and is removed only where it starts
// nasfinder. Main thread.
class AutostartEntry {
public:
    // Whether an entry there starts nasfinder at login: it runs nasfinder (whatever wrote it or
    // a link leads to) and the session is not told to skip it (Hidden=true or
    // X-GNOME-Autostart-enabled=false).
    static bool Enabled();

    // On: where nasfinder starts at login already, nothing changes; otherwise the entry is
    // written whole or not at all (over a skipped entry of nasfinder's), but a link or another
    // program's entry is left as it is and the call fails. Off: an entry that runs nasfinder
    // (a link to one included, not its target) is removed; another program's stays. False, with
    // why in error (which may be null), where it could not be done.
    static bool SetEnabled(bool on, QString* error);
};
