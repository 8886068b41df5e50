#include "src/app/searchtargetlist.h"

#include <memory>
#include <set>
#include <utility>

#include "search/searchtargets.h"
#include "src/app/consolelog.h"
#include "src/app/usersettings.h"

namespace {

const QString kTargetsKey = QStringLiteral("search/targets");

}  // namespace

SearchTargetList::SearchTargetList(std::vector<std::string> launchAddresses)
    : launchAddresses(std::move(launchAddresses)) {}

QStringList SearchTargetList::kept() const {
    return UserSettings()->value(kTargetsKey).toStringList();
}

void SearchTargetList::keep(const QStringList& targets) {
    const std::unique_ptr<QSettings> settings = UserSettings();
    if (targets.isEmpty()) {
        settings->remove(kTargetsKey);
    } else {
        settings->setValue(kTargetsKey, targets);
    }
}

std::vector<std::string> SearchTargetList::addresses() const {
    std::vector<std::string> all = launchAddresses;
    std::set<std::string> seen(all.begin(), all.end());
    for (const QString& text : kept()) {
        std::vector<std::string> parsed;
        std::string error;
        if (!ParseSearchTarget(text.toStdString(), parsed, error)) {
            ConsoleLog(QStringLiteral("search target left out: %1").arg(QString::fromStdString(error)));
            continue;
        }
        for (std::string& address : parsed) {
            if (all.size() < kMaxSearchTargets && seen.insert(address).second) {
                all.push_back(std::move(address));
            }
        }
        if (all.size() >= kMaxSearchTargets) {
            ConsoleLog(QStringLiteral("search targets: %1 reaches the limit of %2 addresses")
                           .arg(text)
                           .arg(kMaxSearchTargets));
            break;
        }
    }
    return all;
}
