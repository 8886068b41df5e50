#include "src/app/wakeaction.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QStringList>
#include <QTableView>

#include "src/app/bookkeeper.h"
#include "src/app/devicetablemodel.h"
#include "src/app/hintline.h"
#include "src/app/rememberedrows.h"
#include "src/app/waker.h"

namespace {

QString Errors(const WakeSent& result) {
    // Both addresses of an interface fail for the same reason: the line says it once.
    QStringList errors;
    for (const std::string& error : result.errors) {
        const QString text = QString::fromStdString(error);
        if (!errors.contains(text)) errors << text;
    }
    return errors.join(QStringLiteral("; "));
}

}  // namespace

WakeAction::WakeAction(QTableView* table, QMenu* menu, RememberedRows& remembered, Waker& waker,
                       BookKeeper& book, HintLine& hintLine, const CaptionTexts& texts,
                       QObject* parent)
    : QObject(parent),
      table(table),
      remembered(remembered),
      waker(waker),
      book(book),
      hintLine(hintLine),
      texts(texts),
      wakeUp(new QAction(menu)),
      withComputer(new QAction(menu)),
      forget(new QAction(menu)) {
    wakeUp->setObjectName(QStringLiteral("wakeUpAction"));
    withComputer->setObjectName(QStringLiteral("wakeWithComputerAction"));
    withComputer->setCheckable(true);
    forget->setObjectName(QStringLiteral("forgetAction"));
    separator = menu->addSeparator();
    menu->addActions({wakeUp, withComputer, forget});
    // triggered, not toggled: the menu sets the check mark itself as it is prepared.
    connect(withComputer, &QAction::triggered, this, [this](bool on) {
        if (const std::optional<KnownBox> box = bookEntryAt(selectedRow())) {
            this->book.setWakeWithComputer(*box, on);
        }
    });
    connect(menu, &QMenu::aboutToShow, this, &WakeAction::prepareMenu);
    connect(wakeUp, &QAction::triggered, this, &WakeAction::wakeSelected);
    connect(forget, &QAction::triggered, this, [this] { this->remembered.forget(selectedRow()); });
    connect(&waker, &Waker::sent, this, &WakeAction::sent);
    connect(&waker, &Waker::woken, this, [this](const KnownBox& box, const deviceinfo& answered) {
        if (!isWaking(box)) return;
        say(box, "Woken");
        waking.reset();
        this->remembered.turnFound(box, answered);
    });
    connect(&waker, &Waker::notWoken, this, [this](const KnownBox& box) {
        if (!isWaking(box)) return;
        say(box, "Not Woken");
        waking.reset();
    });
    prepareMenu();
}

void WakeAction::stop() {
    if (waking) waker.cancel(*waking);
    waking.reset();
}

bool WakeAction::isWaking(const KnownBox& box) const {
    return waking && waking->id == box.id && waking->ip == box.ip;
}

int WakeAction::selectedRow() const {
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    return selected.size() == 1 ? selected.first().row() : -1;
}

void WakeAction::prepareMenu() {
    // Texts are set each time, as the captions may have arrived since the last menu.
    wakeUp->setText(texts.text("Wake Up"));
    withComputer->setText(texts.text("Wake With Computer"));
    forget->setText(texts.text("Forget"));
    const std::optional<KnownBox> box = remembered.boxAt(selectedRow());
    const std::optional<KnownBox> entry = bookEntryAt(selectedRow());
    const bool wakeable = entry && !entry->mac.empty();
    wakeUp->setVisible(box && !box->mac.empty());
    withComputer->setVisible(wakeable);
    withComputer->setChecked(wakeable && entry->wakeWithComputer);
    forget->setVisible(box.has_value());
    separator->setVisible(box.has_value() || wakeable);
}

std::optional<KnownBox> WakeAction::bookEntryAt(int row) const {
    const std::optional<KnownBox> shown = remembered.boxAt(row);
    std::string ip;
    if (!shown && row >= 0 && row < table->model()->rowCount()) {
        const auto* rows = static_cast<const DeviceTableModel*>(table->model());
        ip = rows->rowAt(row).value(QStringLiteral("IP")).toString().toStdString();
    }
    for (const KnownBox& entry : book.boxes()) {
        if (shown ? entry.id == shown->id && entry.ip == shown->ip
                  : !ip.empty() && entry.ip == ip) {
            return entry;
        }
    }
    return std::nullopt;
}

void WakeAction::wakeSelected() {
    const std::optional<KnownBox> box = remembered.boxAt(selectedRow());
    if (!box || !ParseMac(box->mac)) return;
    stop();
    waking = box;
    say(*box, "Waking");
    waker.wake(*box);
}

void WakeAction::sent(const KnownBox& box, const WakeSent& result) {
    if (!isWaking(box)) return;
    const QString errors = Errors(result);
    const int went = static_cast<int>(result.interfacesSent);
    const int tried = static_cast<int>(result.interfacesTried);
    if (went == 0) {
        say(box, "Wake Not Sent",
            {{QStringLiteral("error"),
              errors.isEmpty() ? QStringLiteral("no interface") : errors}});
        // Nothing went out: there is nothing to wait for.
        stop();
    } else if (went < tried) {
        say(box, "Wake Partly Sent",
            {{QStringLiteral("sent"), QString::number(went)},
             {QStringLiteral("tried"), QString::number(tried)},
             {QStringLiteral("error"), errors}});
    }
}

void WakeAction::say(const KnownBox& box, const char* key, const CaptionTexts::Values& values) {
    CaptionTexts::Values all = values;
    all.insert(QStringLiteral("box"), QString::fromStdString(box.host.empty() ? box.ip : box.host));
    hintLine.tell(texts.text(key, all));
}
