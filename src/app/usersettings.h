#pragma once

#include <QSettings>

#include <memory>

// The user's settings, $XDG_CONFIG_HOME/nasfinder/nasfinder.conf (~/.config without it), in INI,
// which an administrator may deploy: the search targets and the preferences. Named by path: Qt's
// own INI name for a user's settings ends in .ini. Main thread.
std::unique_ptr<QSettings> UserSettings();
