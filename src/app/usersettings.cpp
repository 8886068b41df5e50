#include "src/app/usersettings.h"

#include <QStandardPaths>

std::unique_ptr<QSettings> UserSettings() {
    return std::make_unique<QSettings>(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/nasfinder/nasfinder.conf"),
        QSettings::IniFormat);
}
