#include "src/app/preferences.h"

#include <QString>

#include "src/app/usersettings.h"

namespace {

const QString kKeepInTrayKey = QStringLiteral("tray/keepRunning");
const QString kNotifyKey = QStringLiteral("tray/notify");

}  // namespace

Preferences Preferences::Load() {
    const auto settings = UserSettings();
    Preferences preferences;
    preferences.keepInTray = settings->value(kKeepInTrayKey, preferences.keepInTray).toBool();
    preferences.notify = settings->value(kNotifyKey, preferences.notify).toBool();
    return preferences;
}

void Preferences::save() const {
    const auto settings = UserSettings();
    settings->setValue(kKeepInTrayKey, keepInTray);
    settings->setValue(kNotifyKey, notify);
}
