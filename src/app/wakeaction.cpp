#include "src/app/wakeaction.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

#include "src/app/captiontexts.h"
#include "src/app/devicesource.h"
#include "src/app/rememberedrows.h"
#include "src/store/neighbourtable.h"
#include "src/store/wakesender.h"

namespace {

constexpr int kSearchEveryMilliseconds = 2000;
constexpr qint64 kWaitMilliseconds = 2 * 60 * 1000;

}  // namespace

WakeAction::WakeAction(QTableView* table, QMenu* menu, RememberedRows& remembered,
                       DeviceSource& source, QLabel* hintLabel, const CaptionTexts& texts,
                       QObject* parent)
    : QObject(parent),
      table(table),
      remembered(remembered),
      source(source),
      hintLabel(hintLabel),
      texts(texts),
      wakeUp(new QAction(menu)),
      forget(new QAction(menu)),
      searchTimer(new QTimer(this)) {
    wakeUp->setObjectName(QStringLiteral("wakeUpAction"));
    forget->setObjectName(QStringLiteral("forgetAction"));
    separator = menu->addSeparator();
    menu->addActions({wakeUp, forget});
    connect(menu, &QMenu::aboutToShow, this, &WakeAction::prepareMenu);
    connect(wakeUp, &QAction::triggered, this, &WakeAction::wakeSelected);
    connect(forget, &QAction::triggered, this, [this] { this->remembered.forget(selectedRow()); });
    searchTimer->setInterval(kSearchEveryMilliseconds);
    connect(searchTimer, &QTimer::timeout, this, &WakeAction::lookForAnswer);
    prepareMenu();
}

void WakeAction::stop() {
    searchTimer->stop();
    waking.reset();
}

int WakeAction::selectedRow() const {
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    return selected.size() == 1 ? selected.first().row() : -1;
}

void WakeAction::prepareMenu() {
    // Texts are set each time, as the captions may have arrived since the last menu.
    wakeUp->setText(texts.text("Wake Up"));
    forget->setText(texts.text("Forget"));
    const std::optional<KnownBox> box = remembered.boxAt(selectedRow());
    wakeUp->setVisible(box && !box->mac.empty());
    forget->setVisible(box.has_value());
    separator->setVisible(box.has_value());
}

void WakeAction::wakeSelected() {
    const std::optional<KnownBox> box = remembered.boxAt(selectedRow());
    const std::optional<MacAddress> mac = box ? ParseMac(box->mac) : std::nullopt;
    if (!mac) return;
    waking = box;
    say("Waking");
    sendMagicPacket(true);
}

void WakeAction::sendMagicPacket(bool first) {
    // The three rounds take 200 ms: off the main thread, so the window stays responsive.
    QPointer<WakeAction> self(this);
    const std::optional<MacAddress> mac = ParseMac(waking->mac);
    const std::vector<Ipv4Interface> interfaces =
        WakeInterfaces(waking->interfaceName, waking->ip, [](const std::string&) { return true; });
    QThreadPool::globalInstance()->start([self, mac, interfaces, first] {
        const WakeSent result = SendWakePackets(*mac, interfaces);
        // Sent again with every search while waiting: only the first sending is told.
        if (!first) return;
        QString errors;
        for (const std::string& error : result.errors) {
            errors += (errors.isEmpty() ? "" : "; ") + QString::fromStdString(error);
        }
        if (result.addresses.empty() && errors.isEmpty()) errors = QStringLiteral("no interface");
        const bool anySent = !result.addresses.empty();
        QMetaObject::invokeMethod(
            self.data(),
            [self, anySent, errors] {
                if (self) self->sent(anySent, errors);
            },
            Qt::QueuedConnection);
    });
}

void WakeAction::sent(bool anySent, const QString& errors) {
    if (!waking) return;
    if (!errors.isEmpty()) say("Wake Not Sent", errors);
    if (!anySent) {
        stop();
        return;
    }
    waited.start();
    source.SendSearch();
    searchTimer->start();
}

void WakeAction::lookForAnswer() {
    if (!waking) return;
    std::vector<deviceinfo> found;
    source.CopyDeviceList(found);
    const auto answered = std::find_if(found.begin(), found.end(), [this](const deviceinfo& d) {
        return waking->id.empty() ? DeviceFieldText(d.ip) == waking->ip
                                  : DeviceFieldText(d.id) == waking->id;
    });
    if (answered != found.end()) {
        const KnownBox box = *waking;
        say("Woken");
        stop();
        remembered.turnFound(box, *answered);
        return;
    }
    if (waited.elapsed() >= kWaitMilliseconds) {
        say("Not Woken");
        stop();
        return;
    }
    // A magic packet is a datagram nobody acknowledges: one lost must not leave the box asleep.
    sendMagicPacket(false);
    source.SendSearch();
}

void WakeAction::say(const char* key, const QString& error) {
    const QString name = QString::fromStdString(waking->host.empty() ? waking->ip : waking->host);
    hintLabel->setText(
        texts.text(key, {{QStringLiteral("box"), name}, {QStringLiteral("error"), error}})
            .toHtmlEscaped());
    hintLabel->setVisible(true);
}
