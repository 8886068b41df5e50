#include "src/app/searchtargetlist.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstdio>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "src/app/consolelog.h"
#include "src/app/usersettings.h"

namespace {

const QString kTargetsKey = QStringLiteral("search/targets");

}  // namespace

// Shared with the lookup threads, which outlive the list when a resolver does not answer: they
// hand their answer over only while the list still wants it.
struct SearchTargetList::Lookups {
    std::mutex mutex;
    QPointer<SearchTargetList> list;
};

SearchTargetList::SearchTargetList(QStringList launchTargets, QObject* parent)
    : QObject(parent),
      launchTargets(std::move(launchTargets)),
      lookups(std::make_shared<Lookups>()) {
    lookups->list = this;
}

SearchTargetList::~SearchTargetList() {
    // A lookup that answers later finds nobody to tell; nobody waits for it.
    std::lock_guard<std::mutex> lock(lookups->mutex);
    lookups->list = nullptr;
}

QStringList SearchTargetList::kept() const {
    return UserSettings()->value(kTargetsKey).toStringList();
}

void SearchTargetList::keep(const QStringList& kept) {
    const auto settings = UserSettings();
    if (kept.isEmpty()) {
        settings->remove(kTargetsKey);
    } else {
        settings->setValue(kTargetsKey, kept);
    }
    take();
}

void SearchTargetList::take() {
    ++generation;
    targets.clear();
    const auto add = [this](const QString& text, bool launch) {
        Target target;
        target.line.text = text;
        target.launch = launch;
        targets.append(target);
    };
    for (const QString& text : launchTargets) add(text, true);
    for (const QString& text : kept()) add(text, false);
    for (int index = 0; index < targets.size(); ++index) {
        Target& target = targets[index];
        const SearchTargetText read = ReadSearchTarget(target.line.text.toStdString());
        switch (read.kind) {
            case SearchTargetText::Kind::Addresses:
                target.addresses = read.addresses;
                break;
            case SearchTargetText::Kind::HostName:
                target.line.state = Line::State::Resolving;
                resolve(index, read.hostName);
                break;
            case SearchTargetText::Kind::Refused:
                target.line.state = Line::State::Refused;
                target.line.error = QString::fromStdString(read.error);
                ConsoleLog(QStringLiteral("search target left out: %1").arg(target.line.error));
                break;
        }
    }
}

void SearchTargetList::resolve(int index, const std::string& name) {
    const std::shared_ptr<Lookups> shared = lookups;
    const int mine = generation;
    const std::string text = targets[index].line.text.toStdString();
    // A thread of its own, never waited for: a resolver that does not answer keeps it, not the
    // window, and not the end of the program.
    std::thread([shared, mine, index, name, text] {
        SearchTargetText target;
        target.kind = SearchTargetText::Kind::HostName;
        target.hostName = name;
        std::vector<std::string> addresses;
        std::string error;
        const bool found = ResolveSearchTarget(target, text, addresses, error);
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (!shared->list) return;
        QMetaObject::invokeMethod(
            shared->list.data(),
            [list = shared->list, mine, index, found, addresses = std::move(addresses), error] {
                if (list) list->answer(mine, index, found, addresses, error);
            },
            Qt::QueuedConnection);
    }).detach();
}

void SearchTargetList::answer(int answered, int index, bool found,
                              std::vector<std::string> addresses, const std::string& error) {
    if (answered != generation || index >= targets.size()) return;
    Target& target = targets[index];
    if (found) {
        target.line.state = Line::State::Taken;
        target.addresses = std::move(addresses);
    } else {
        target.line.state = Line::State::Refused;
        target.line.error = QString::fromStdString(error);
        if (target.launch) {
            std::fprintf(stderr, "nasfinder: --probe %s\n", error.c_str());
        } else {
            ConsoleLog(QStringLiteral("search target left out: %1").arg(target.line.error));
        }
    }
    emit resolved();
}

std::vector<std::string> SearchTargetList::addresses() const {
    std::vector<std::string> all;
    std::set<std::string> seen;
    for (const Target& target : targets) {
        for (const std::string& address : target.addresses) {
            if (all.size() < kMaxSearchTargets && seen.insert(address).second) {
                all.push_back(address);
            }
        }
        if (all.size() >= kMaxSearchTargets) {
            ConsoleLog(QStringLiteral("search targets: %1 reaches the limit of %2 addresses")
                           .arg(target.line.text)
                           .arg(kMaxSearchTargets));
            break;
        }
    }
    return all;
}

QList<SearchTargetList::Line> SearchTargetList::keptLines() const {
    QList<Line> lines;
    for (const Target& target : targets) {
        if (!target.launch) lines << target.line;
    }
    return lines;
}
