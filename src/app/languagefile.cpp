#include "src/app/languagefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <utility>

QString LanguageResourceName(const QString& preferredLanguage) {
    static const std::array<std::pair<const char*, const char*>, 7> kMapping = {{
        {"pt", "XML_pt"},
        {"de", "XML_de"},
        {"fr", "XML_fr"},
        {"ru", "XML_ru"},
        {"es", "XML_es"},
        {"it", "XML_it"},
        {"pl", "XML_pl"},
    }};
    // The language part ends where a region, script, encoding or modifier begins: "de" of
    // "de-AT" (a language tag) or of "de_DE.UTF-8" and "de_DE@euro" (POSIX locale names).
    qsizetype end = 0;
    while (end < preferredLanguage.size() &&
           !QStringView(u"-_.@").contains(preferredLanguage.at(end))) {
        ++end;
    }
    const QStringView language = QStringView(preferredLanguage).left(end);
    for (const auto& [code, resource] : kMapping) {
        if (language == QLatin1String(code)) return QString::fromLatin1(resource);
    }
    return QStringLiteral("XML_en");
}

QStringList DefaultResourceDirs() {
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList dirs{programDir,
                     QDir::cleanPath(programDir + QStringLiteral("/" NASFINDER_RELATIVE_DATA_DIR))};
    for (const QString& dataDir :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        dirs << dataDir + QStringLiteral("/nasfinder");
    }
    dirs << QStringLiteral(NASFINDER_INSTALLED_DATA_DIR);
    dirs.removeDuplicates();
    return dirs;
}

QString PathForResource(const QStringList& dirs, const QString& name, const QString& type) {
    const QString fileName = name + QLatin1Char('.') + type;
    for (const QString& dir : dirs) {
        const QFileInfo candidate(QDir(dir), fileName);
        if (candidate.isFile()) return candidate.absoluteFilePath();
    }
    return QString();
}
