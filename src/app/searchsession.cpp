#include "src/app/searchsession.h"

#include "search/searchlib.h"
#include "src/app/bookkeeper.h"
#include "src/app/boxwatch.h"
#include "src/app/consolelog.h"
#include "src/app/devicesource.h"
#include "src/app/networkfollower.h"
#include "src/app/searchtargetlist.h"
#include "src/app/waker.h"

namespace {

std::vector<std::string> Patterns(const QStringList& list) {
    std::vector<std::string> patterns;
    for (const QString& pattern : list) patterns.push_back(pattern.toStdString());
    return patterns;
}

}  // namespace

SearchSession::SearchSession(DeviceSource& source, const LaunchOptions& options, QObject* parent)
    : QObject(parent),
      source(source),
      options(options),
      bookKeeper(new BookKeeper(options.remember, this)),
      boxWaker(new Waker(
          source, [this](const std::string& name) { return choosesInterface(name); }, this)),
      boxWatch(new BoxWatch(source, this)),
      targetList(new SearchTargetList(options.probeTargets, this)) {
    // The window says it in its hint line too; the tray has standard error alone.
    connect(bookKeeper, &BookKeeper::notice, this,
            [](const QString& text) { ConsoleLog(QStringLiteral("nasfinder: %1").arg(text)); });
    connect(boxWatch, &BoxWatch::changed, this, [this] { boxesChanged = true; });
    connect(boxWatch, &BoxWatch::roundEnded, this, [this] {
        if (boxesChanged || !sinceRecord.isValid() ||
            sinceRecord.elapsed() >= kRecordEveryMilliseconds) {
            record();
        }
    });
}

SearchSession::~SearchSession() {
    stop();
}

bool SearchSession::choosesInterface(const std::string& name) const {
    return ChoosesSearchInterface(Patterns(options.interfaces), Patterns(options.excludeInterfaces),
                                  name);
}

void SearchSession::start() {
    if (running || stopped) return;
    running = true;
    connect(new NetworkFollower(source, this), &NetworkFollower::networkAppeared, this,
            &SearchSession::networkAppeared);
    source.SetReportHandler([watch = boxWatch](const deviceinfo& record) { watch->take(record); });
    connect(targetList, &SearchTargetList::resolved, this, [this] {
        if (stopped) return;
        source.SetTargets(targetList->addresses());
        source.SendSearch();
    });
    targetList->take();
    source.SetTargets(targetList->addresses());
    source.InitSearch();
}

void SearchSession::keepTargets(const QStringList& kept) {
    targetList->keep(kept);
    source.SetTargets(targetList->addresses());
}

void SearchSession::startSearchWindow() {
    source.StartSearchWindow();
    source.SendSearch();
}

void SearchSession::stop() {
    if (!running || stopped) return;
    stopped = true;
    boxWaker->cancelAll();
    record();
    bookKeeper->finish();
    // Returns once no worker can report any more, so the store may be torn down after main.
    source.ExitSearch();
    source.SetReportHandler(nullptr);
}

void SearchSession::record() {
    boxesChanged = false;
    sinceRecord.start();
    std::vector<DeviceSighting> heard;
    source.CopySightings(heard);
    bookKeeper->record(std::move(heard));
}
