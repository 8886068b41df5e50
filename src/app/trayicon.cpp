#include "src/app/trayicon.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <algorithm>

#include "src/app/bookkeeper.h"
#include "src/app/boxwatch.h"
#include "src/app/captiontexts.h"
#include "src/app/devicesource.h"
#include "src/app/searchsession.h"
#include "src/app/waker.h"

namespace {

// A storage box with two drive slots and a status light, drawn rather than loaded: it needs no
// image plugin and stays sharp at every size the tray asks for.
QIcon BoxIcon(const QColor& light) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(QPen(QColor(0x2b, 0x35, 0x45), unit));
        painter.setBrush(QColor(0x55, 0x69, 0x8a));
        painter.drawRoundedRect(QRectF(2 * unit, 1.5 * unit, 12 * unit, 13 * unit), unit, unit);
        painter.setBrush(QColor(0xdd, 0xe3, 0xec));
        painter.drawRect(QRectF(4 * unit, 4 * unit, 8 * unit, 2 * unit));
        painter.drawRect(QRectF(4 * unit, 7.5 * unit, 8 * unit, 2 * unit));
        painter.setBrush(light);
        painter.drawEllipse(QPointF(10.5 * unit, 12 * unit), 1.4 * unit, 1.4 * unit);
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A menu shows '&' as the mark of the next letter's shortcut: a box's own text doubles it.
QString MenuText(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

bool IsBox(const KnownBox& box, const deviceinfo& device) {
    return box.id.empty() ? DeviceFieldText(device.ip) == box.ip
                          : DeviceFieldText(device.id) == box.id;
}

}  // namespace

TrayIcon::TrayIcon(SearchSession& session, const CaptionTexts& texts, QObject* parent)
    : QObject(parent),
      session(session),
      texts(texts),
      trayIcon(new QSystemTrayIcon(this)),
      trayMenu(new QMenu),
      onlineIcon(BoxIcon(QColor(0x3c, 0xc8, 0x5a))),
      asleepIcon(BoxIcon(QColor(0x9a, 0x9a, 0x9a))) {
    trayMenu->setObjectName(QStringLiteral("trayMenu"));
    trayIcon->setContextMenu(trayMenu);
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) emit toggleWindowRequested();
            });
    connect(&session.watch(), &BoxWatch::changed, this, &TrayIcon::refresh);
    connect(&session.book(), &BookKeeper::bookChanged, this, &TrayIcon::refresh);
    // A menu open on the screen is not pulled from under the pointer: it is built again once
    // it closes.
    connect(trayMenu, &QMenu::aboutToHide, this,
            [this] { QMetaObject::invokeMethod(this, &TrayIcon::refresh, Qt::QueuedConnection); });
    refresh();
}

TrayIcon::~TrayIcon() {
    // The menu has no parent: a tray menu must not belong to a widget that may hide.
    delete trayMenu;
}

bool TrayIcon::Available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show() {
    trayIcon->show();
}

void TrayIcon::refresh() {
    if (trayMenu->isVisible()) return;
    std::vector<deviceinfo> online;
    session.devices().CopyDeviceList(online);
    const std::vector<KnownBox>& book = session.book().boxes();
    std::vector<const KnownBox*> asleep;
    for (const KnownBox& box : book) {
        if (std::none_of(online.begin(), online.end(),
                         [&box](const deviceinfo& device) { return IsBox(box, device); })) {
            asleep.push_back(&box);
        }
    }

    trayIcon->setIcon(online.empty() ? asleepIcon : onlineIcon);
    trayIcon->setToolTip(
        texts.text("Tray Tooltip", {{QStringLiteral("online"), QString::number(online.size())},
                                    {QStringLiteral("asleep"), QString::number(asleep.size())}}));

    trayMenu->clear();
    for (const deviceinfo& device : online) {
        const auto remembered = std::find_if(
            book.begin(), book.end(), [&device](const KnownBox& b) { return IsBox(b, device); });
        const QString host =
            QString::fromUtf8(DeviceFieldText(device.host).data(),
                              static_cast<int>(DeviceFieldText(device.host).size()));
        const QString ip = QString::fromUtf8(DeviceFieldText(device.ip).data(),
                                             static_cast<int>(DeviceFieldText(device.ip).size()));
        addBox(host.isEmpty() ? ip : QStringLiteral("%1 (%2)").arg(host, ip), ip,
               remembered == book.end() ? nullptr : &*remembered, true);
    }
    for (const KnownBox* box : asleep) {
        const QString title = box->host.empty()
                                  ? Text(box->ip)
                                  : QStringLiteral("%1 (%2)").arg(Text(box->host), Text(box->ip));
        addBox(texts.text("Tray Asleep", {{QStringLiteral("box"), title}}), Text(box->ip), box,
               false);
    }
    if (!trayMenu->isEmpty()) trayMenu->addSeparator();

    QAction* search = trayMenu->addAction(texts.text("Search Now"));
    search->setObjectName(QStringLiteral("traySearchNow"));
    connect(search, &QAction::triggered, &session.watch(), &BoxWatch::searchNow);
    QAction* show = trayMenu->addAction(texts.text("Show Window"));
    show->setObjectName(QStringLiteral("trayShowWindow"));
    connect(show, &QAction::triggered, this, &TrayIcon::showWindowRequested);
    QAction* preferences = trayMenu->addAction(texts.text("Preferences"));
    preferences->setObjectName(QStringLiteral("trayPreferences"));
    connect(preferences, &QAction::triggered, this, &TrayIcon::preferencesRequested);
    trayMenu->addSeparator();
    QAction* quit = trayMenu->addAction(texts.text("Quit"));
    quit->setObjectName(QStringLiteral("trayQuit"));
    connect(quit, &QAction::triggered, this, &TrayIcon::quitRequested);
}

void TrayIcon::addBox(const QString& title, const QString& address, const KnownBox* remembered,
                      bool online) {
    QMenu* box = trayMenu->addMenu(online ? onlineIcon : asleepIcon, MenuText(title));
    box->menuAction()->setObjectName(online ? QStringLiteral("trayBoxOnline")
                                            : QStringLiteral("trayBoxAsleep"));
    connect(box->addAction(texts.text("Log In")), &QAction::triggered, this,
            [this, address] { emit openRequested(QStringLiteral("http"), address); });
    connect(box->addAction(texts.text("My storage")), &QAction::triggered, this,
            [this, address] { emit openRequested(QStringLiteral("smb"), address); });
    QAction* wake = box->addAction(texts.text("Wake Up"));
    QAction* withComputer = box->addAction(texts.text("Wake With Computer"));
    withComputer->setCheckable(true);
    const bool wakeable = remembered != nullptr && !remembered->mac.empty();
    // A box online is awake already.
    wake->setEnabled(wakeable && !online);
    withComputer->setEnabled(wakeable);
    if (!wakeable) return;
    const KnownBox entry = *remembered;
    withComputer->setChecked(entry.wakeWithComputer);
    connect(wake, &QAction::triggered, this, [this, entry] { session.waker().wake(entry); });
    connect(withComputer, &QAction::toggled, this,
            [this, entry](bool on) { session.book().setWakeWithComputer(entry, on); });
}
