#include "src/app/autostartentry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

constexpr char kEntry[] =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Version=1.4\n"
    "Name=nasfinder\n"
    "Comment=Watch the storage boxes on your network from the tray\n"
    "Exec=nasfinder --background\n"
    "Icon=nasfinder\n"
    "Terminal=false\n"
    "X-GNOME-Autostart-enabled=true\n";

// An entry is a few hundred bytes; a bigger file is read no further.
constexpr qint64 kMaxEntryBytes = 64 * 1024;

QString EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/io.github.nasfinder.desktop");
}

struct EntryFacts {
    bool runsNasfinder = false;
    bool skipped = false;
};

// Reads the three keys of the [Desktop Entry] group that tell what starts at login, following a
// link. The file may hold anything: what is not understood is passed over.
EntryFacts ReadEntry(const QString& path) {
    EntryFacts facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return facts;
    bool mainGroup = false;
    for (const QByteArray& raw : file.read(kMaxEntryBytes).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            mainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!mainGroup || equals < 0) continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "Exec") {
            const QString program = QString::fromUtf8(value.split(' ').value(0)).remove(u'"');
            facts.runsNasfinder = QFileInfo(program).fileName() == QLatin1String("nasfinder");
        } else if (key == "Hidden") {
            facts.skipped |= value == "true";
        } else if (key == "X-GNOME-Autostart-enabled") {
            facts.skipped |= value == "false";
        }
    }
    return facts;
}

bool Fail(QString* error, const QString& why) {
    if (error) *error = why;
    return false;
}

}  // namespace

bool AutostartEntry::Enabled() {
    const EntryFacts facts = ReadEntry(EntryPath());
    return facts.runsNasfinder && !facts.skipped;
}

bool AutostartEntry::SetEnabled(bool on, QString* error) {
    const QString path = EntryPath();
    const QFileInfo info(path);
    const EntryFacts facts = ReadEntry(path);
    if (!on) {
        QFile entry(path);
        if (!facts.runsNasfinder || entry.remove()) return true;
        return Fail(error,
                    QStringLiteral("%1 could not be removed: %2").arg(path, entry.errorString()));
    }
    if (facts.runsNasfinder && !facts.skipped) return true;
    // QSaveFile would write through a link, to wherever it leads.
    if (info.isSymLink()) {
        return Fail(error, QStringLiteral("%1 is a link to %2 and was left as it is")
                               .arg(path, info.symLinkTarget()));
    }
    if (info.exists() && !facts.runsNasfinder) {
        return Fail(error,
                    QStringLiteral("%1 starts another program and was left as it is").arg(path));
    }
    if (!QDir().mkpath(info.path())) {
        return Fail(error, QStringLiteral("the folder %1 could not be made").arg(info.path()));
    }
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly) || entry.write(kEntry, sizeof kEntry - 1) < 0 ||
        !entry.commit()) {
        return Fail(error,
                    QStringLiteral("%1 could not be written: %2").arg(path, entry.errorString()));
    }
    return true;
}
