#include "src/app/controller.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QThreadPool>
#include <QTimer>

#include <vector>

#include "src/app/bookkeeper.h"
#include "src/app/boxwatch.h"
#include "src/app/captionfont.h"
#include "src/app/consolelog.h"
#include "src/app/copyactions.h"
#include "src/app/datapair.h"
#include "src/app/devicesource.h"
#include "src/app/devicetablemodel.h"
#include "src/app/deviceurl.h"
#include "src/app/hintline.h"
#include "src/app/languagefile.h"
#include "src/app/openfailuremessage.h"
#include "src/app/othernetworks.h"
#include "src/app/parseoperation.h"
#include "src/app/preferencesaction.h"
#include "src/app/rememberedrows.h"
#include "src/app/searchsession.h"
#include "src/app/tablekeyboard.h"
#include "src/app/wakeaction.h"

namespace {

// Ticks in one search window: the countdown shows 10 down to 0, then the buttons come on.
constexpr int kSearchTicks = 11;
constexpr int kTickMilliseconds = 1000;

}  // namespace

Controller::Controller(SearchSession& session, QObject* parent)
    : QObject(parent), session(session) {}

Controller::~Controller() = default;

void Controller::setOutlets(const Outlets& outlets) {
    ui = outlets;
    // Whoever changes the rows (a tick, a woken box turning found), the hints follow the table.
    connect(ui.array_controller, &QAbstractItemModel::modelReset, this, [this] {
        const std::size_t found = foundRows();
        if (found == shownFound) return;
        shownFound = found;
        if (hintLine) hintLine->boxesChanged();
    });
}

void Controller::setLaunchOptions(const LaunchOptions& launchOptions) {
    options = launchOptions;
}

void Controller::awakeFromNib() {
    device.clear();

    const QString current = options.appleLanguages.value(0);
    ConsoleLog(QStringLiteral("current=%1").arg(current));
    const QString path =
        PathForResource(options.resourceDirs, LanguageResourceName(current), QStringLiteral("xml"));

    // Created before the operation, so that it is destroyed first and waits for the parse.
    parseQueue = new QThreadPool(this);
    parseQueue->setMaxThreadCount(1);
    QFile file(path);
    if (!path.isNull() && file.open(QIODevice::ReadOnly)) {
        parseOperation = new ParseOperation(file.readAll(), this);
        connect(parseOperation, &ParseOperation::AddEarthquakesNotif, this,
                &Controller::ReflashLanguage);
        parseQueue->start(parseOperation);
    }
    ConsoleLog(
        QStringLiteral("fileToOpen = %1").arg(path.isNull() ? QStringLiteral("(null)") : path));

    connect(&session, &SearchSession::networkAppeared, this, &Controller::networkAppeared);
    connect(&session.watch(), &BoxWatch::changed, this, &Controller::followWatch);
    connect(&session.book(), &BookKeeper::bookChanged, this, &Controller::followWatch);
    mytimer = new QTimer(this);
    mytimer->setInterval(kTickMilliseconds);
    connect(mytimer, &QTimer::timeout, this, &Controller::getDeviceList);
    if (session.watch().watching()) {
        // Shown from the tray: the boxes the watch follows, and no countdown.
        counter = kSearchTicks;
        searchLookedInto = true;
        setButtonsEnabled(true);
        followWatch();
        return;
    }
    session.start();
    session.startSearchWindow();

    counter = 0;
    setButtonsEnabled(false);
    mytimer->start();
    count = 0;
}

void Controller::getDeviceList() {
    std::vector<deviceinfo> vListDevice;
    session.devices().CopyDeviceList(vListDevice);

    if (counter >= kSearchTicks) {
        // Nothing more to count: the timer rests until the next search window.
        mytimer->stop();
        setButtonsEnabled(true);
        ui.countdownField->setText(QString());
        updateCountdownName();
        if (!searchLookedInto) ensureHintLine()->checkAfterSearch();
        if (!searchLookedInto && rememberedRows) rememberedRows->searchEnded();
        searchLookedInto = true;
        return;
    }
    ++counter;
    const QString remaining = QString::number(kSearchTicks - counter);
    const FontNode* searchTime = caption(QStringLiteral("Search Time"));
    ui.countdownField->setText(searchTime && !searchTime->String().isNull()
                                   ? QStringLiteral("%1 %2").arg(searchTime->String(), remaining)
                                   : remaining);
    updateCountdownName();

    ConsoleLog(QStringLiteral("vListDevice.size() = %1").arg(vListDevice.size()));
    // Rebuilt only when the number of devices changed, not when an entry's contents did.
    if (count == static_cast<int>(vListDevice.size())) return;

    showDevices(vListDevice);
}

void Controller::showDevices(const std::vector<deviceinfo>& list) {
    device.clear();
    for (const deviceinfo& record : list) {
        device << DataPair(record.host, record.ip, record.product).row();
    }
    ui.array_controller->setRows(device);
    count = static_cast<int>(list.size());
}

void Controller::followWatch() {
    if (!session.watch().watching() || counter < kSearchTicks) return;
    std::vector<deviceinfo> list;
    session.devices().CopyDeviceList(list);
    showDevices(list);
    if (rememberedRows) rememberedRows->relist();
}

void Controller::onRefreash() {
    device.clear();
    ui.array_controller->removeAllRows();

    session.devices().ClearDeviceList();
    count = 0;
    startSearchWindow();
}

void Controller::startSearchWindow() {
    session.startSearchWindow();
    counter = 0;
    searchLookedInto = false;
    if (hintLine) hintLine->clear();
    if (rememberedRows) rememberedRows->searchStarted();
    setButtonsEnabled(false);
    updateCountdownName();
    // Started without an interval of its own, so that it keeps the one it was given.
    mytimer->start();
}

void Controller::networkAppeared() {
    // A window still counting down searches from the new network already.
    if (counter >= kSearchTicks) startSearchWindow();
    if (hintLine) hintLine->checkAtOpen();
}

void Controller::onLogin() {
    openSelectedDevice(QStringLiteral("http"));
}

void Controller::onGotoStorage() {
    openSelectedDevice(QStringLiteral("smb"));
}

void Controller::openSelectedDevice(const QString& scheme) {
    const QModelIndexList selected = ui.tableview->selectionModel()->selectedRows();
    if (selected.size() != 1) return;
    const int row = selected.first().row();
    if (row < 0 || row >= ui.array_controller->rowCount()) return;

    const QString ip = ui.array_controller->rowAt(row).value(QStringLiteral("IP")).toString();
    const QUrl url = DeviceUrl(scheme, ip);
    if (!url.isValid()) {
        ConsoleLog(QStringLiteral("not opening %1: the device's address \"%2\" is neither an "
                                  "IPv4 address nor a host name")
                       .arg(scheme, ip));
        return;
    }
    if (QDesktopServices::openUrl(url)) return;
    // One message at a time: the latest address replaces an earlier one still on screen.
    if (openFailure) openFailure->close();
    openFailure = ShowOpenFailure(url, texts, ui.tableview->window());
}

void Controller::ReflashLanguage() {
    if (!parseOperation) return;
    captionsComplete = true;
    const CaptionDictionary* dictionary = parseOperation->currentParseBatchDic();
    texts.setDictionary(dictionary);
    if (dictionary->size() <= 4) {
        auto* box = new QMessageBox(QMessageBox::Information, QString(), QStringLiteral("aaa"),
                                    QMessageBox::Ok);
        box->setInformativeText(QStringLiteral("bbb"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }

    static const char* const kColumnKeys[] = {"List1", "List2", "List3"};
    const QHeaderView* header = ui.tableview->horizontalHeader();
    for (int visual = 0; visual < header->count() && visual < 3; ++visual) {
        const FontNode* entry = caption(QLatin1String(kColumnKeys[visual]));
        if (!entry) continue;
        const int section = header->logicalIndex(visual);
        if (!entry->String().isNull()) {
            ui.array_controller->setHeaderData(section, Qt::Horizontal, entry->String());
        }
        ui.array_controller->setHeaderData(section, Qt::Horizontal,
                                           CaptionFont(*entry, header->font()), Qt::FontRole);
    }
    applyCaption(ui.loginbutton, QStringLiteral("Log In"));
    applyCaption(ui.refreshbutton, QStringLiteral("Refresh"));
    applyCaption(ui.storagebutton, QStringLiteral("My storage"));
    applyCaption(ui.deviceListField, QStringLiteral("Device List"));
    applyAccessibleTexts();
    if (hintLine) hintLine->retranslate();
    if (targetEditor) targetEditor->retranslate();
    if (preferencesAction) preferencesAction->retranslate();
}

void Controller::tableViewSortDescriptorsDidChange() {
    ui.tableview->viewport()->update();
    ConsoleLog(QStringLiteral("count=11111"));
}

void Controller::windowDidAppear() {
    if (appeared) return;
    appeared = true;
    auto* copyActions = new CopyActions(ui.tableview, ui.array_controller, texts, this);
    new TableKeyboard(ui.tableview);
    targetEditor =
        new OtherNetworks(ui.tableview->window(), copyActions->menu(), session, texts, this);
    connect(targetEditor, &OtherNetworks::searchAgain, this, &Controller::onRefreash);
    preferencesAction =
        new PreferencesAction(ui.tableview->window(), copyActions->menu(), texts, this);
    connect(preferencesAction, &PreferencesAction::triggered, this,
            &Controller::preferencesRequested);
    const bool searchEnded = hintLine != nullptr;
    ensureHintLine();
    rememberedRows = new RememberedRows(session, ui.array_controller, *hintLine, texts, this);
    auto* wake = new WakeAction(ui.tableview, copyActions->menu(), *rememberedRows, session.waker(),
                                session.book(), *hintLine, texts, this);
    connect(ui.refreshbutton, &QPushButton::clicked, wake, &WakeAction::stop);
    // Shown from the tray: the remembered boxes below the boxes the watch follows.
    followWatch();
    applyAccessibleTexts();
    // Once the search window has ended, the line already tells everything.
    if (!searchEnded) hintLine->checkAtOpen();
}

HintLine* Controller::ensureHintLine() {
    if (!hintLine) {
        hintLine = new HintLine(
            ui.hintLine, session.devices(), texts, [this] { return foundRows(); }, this);
    }
    return hintLine;
}

std::size_t Controller::foundRows() const {
    std::size_t found = 0;
    for (int row = 0; row < ui.array_controller->rowCount(); ++row) {
        if (!ui.array_controller->rowAt(row).value(kRememberedRowKey).toBool()) ++found;
    }
    return found;
}

void Controller::windowWillClose() {
    mytimer->stop();
    // Records what was found; returns once no worker can report any more, so the store may be
    // torn down after main.
    session.stop();
    // Qt answers the last window closing with a posted quit of status 0; the loop ends here
    // first, so that quit never replaces the 1 (the close tests check the status).
    QCoreApplication::exit(1);
}

const FontNode* Controller::caption(const QString& key) const {
    if (!captionsComplete || !parseOperation) return nullptr;
    const CaptionDictionary* dictionary = parseOperation->currentParseBatchDic();
    const auto entry = dictionary->constFind(key);
    return entry == dictionary->constEnd() ? nullptr : entry->data();
}

void Controller::applyCaption(QAbstractButton* button, const QString& key) {
    const FontNode* entry = caption(key);
    if (!entry) return;
    if (!entry->String().isNull()) button->setText(entry->String());
    button->setFont(CaptionFont(*entry, button->font()));
}

void Controller::applyCaption(QLabel* label, const QString& key) {
    const FontNode* entry = caption(key);
    if (!entry) return;
    if (!entry->String().isNull()) label->setText(entry->String());
    label->setFont(CaptionFont(*entry, label->font()));
}

void Controller::applyAccessibleTexts() {
    if (!appeared) return;
    // The buttons' names are their captions; the table's and the countdown's are set here.
    ui.tableview->setAccessibleName(texts.text("Device Table"));
    ui.tableview->setAccessibleDescription(texts.text("Device Table Help"));
    ui.countdownField->setAccessibleDescription(texts.text("Countdown Help"));
    ui.loginbutton->setAccessibleDescription(texts.text("Log In Help"));
    ui.storagebutton->setAccessibleDescription(texts.text("My storage Help"));
    ui.refreshbutton->setAccessibleDescription(texts.text("Refresh Help"));
    ensureHintLine()->retranslate();
    updateCountdownName();
}

void Controller::updateCountdownName() {
    if (!appeared) return;
    // A screen reader reads the name, so it carries the seconds the label shows as a number;
    // the buttons come on when the search window ends.
    ui.countdownField->setAccessibleName(
        ui.refreshbutton->isEnabled()
            ? texts.text("Countdown Done")
            : texts.text("Countdown",
                         {{QStringLiteral("seconds"), QString::number(kSearchTicks - counter)}}));
}

void Controller::setButtonsEnabled(bool enabled) {
    ui.loginbutton->setEnabled(enabled);
    ui.refreshbutton->setEnabled(enabled);
    ui.storagebutton->setEnabled(enabled);
}
