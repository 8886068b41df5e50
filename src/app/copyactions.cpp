#include "src/app/copyactions.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTableView>

#include "src/app/captiontexts.h"
#include "src/app/devicetablemodel.h"
#include "src/app/deviceurl.h"

CopyActions::CopyActions(QTableView* table, DeviceTableModel* rows, const CaptionTexts& texts,
                         QObject* parent)
    : QObject(parent),
      table(table),
      rows(rows),
      texts(texts),
      rowMenu(new QMenu(table)),
      copyIp(new QAction(table)),
      copyWeb(new QAction(rowMenu)),
      copyShare(new QAction(rowMenu)) {
    rowMenu->setObjectName(QStringLiteral("deviceMenu"));
    copyIp->setObjectName(QStringLiteral("copyIpAction"));
    copyWeb->setObjectName(QStringLiteral("copyWebAddressAction"));
    copyShare->setObjectName(QStringLiteral("copyShareAddressAction"));

    // Ctrl+C belongs to the table alone, and the menu shows it beside its action.
    copyIp->setShortcut(QKeySequence::Copy);
    copyIp->setShortcutContext(Qt::WidgetShortcut);
    table->addAction(copyIp);
    rowMenu->addActions({copyIp, copyWeb, copyShare});

    connect(copyIp, &QAction::triggered, this, [this] {
        const QString ip = selectedIp();
        if (!ip.isNull()) QGuiApplication::clipboard()->setText(ip);
    });
    connect(copyWeb, &QAction::triggered, this, [this] { copyAddress(QStringLiteral("http")); });
    connect(copyShare, &QAction::triggered, this, [this] { copyAddress(QStringLiteral("smb")); });

    // Ctrl+C stays on whatever the last menu showed: it checks for a row itself.
    connect(rowMenu, &QMenu::aboutToHide, copyIp, [this] { copyIp->setEnabled(true); });
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, &CopyActions::showMenu);

    // Shift+F10 opens the menu as the Menu key does, on the selected row; Qt leaves that key to
    // the application.
    auto* menuKey = new QAction(table);
    menuKey->setObjectName(QStringLiteral("rowMenuKeyAction"));
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WidgetShortcut);
    table->addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, [this] {
        const QModelIndexList selected = this->table->selectionModel()->selectedRows();
        showMenu(selected.size() == 1 ? this->table->visualRect(selected.first()).center()
                                      : QPoint(0, 0));
    });
}

void CopyActions::showMenu(const QPoint& position) {
    // A right click acts on the row under the pointer; the menu key on the selected one.
    const QModelIndex under = table->indexAt(position);
    if (under.isValid()) table->selectRow(under.row());
    const QString ip = selectedIp();
    // Without a row there is nothing to copy: the menu opens only for what was added behind
    // the copy items.
    const bool onRow = !ip.isNull();
    if (!onRow && rowMenu->actions().size() <= 3) return;

    // Texts are set each time, as the captions may have arrived since the last menu.
    copyIp->setText(texts.text("Copy IP address"));
    copyWeb->setText(texts.text("Copy web address"));
    copyShare->setText(texts.text("Copy share address"));
    // An address that could not open cannot be copied as one either.
    const bool opens = onRow && DeviceUrl(QStringLiteral("http"), ip).isValid();
    copyIp->setEnabled(onRow);
    copyWeb->setEnabled(opens);
    copyShare->setEnabled(opens);
    rowMenu->popup(table->viewport()->mapToGlobal(position));
}

QString CopyActions::selectedIp() const {
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    if (selected.size() != 1 || selected.first().row() >= rows->rowCount()) return QString();
    return rows->rowAt(selected.first().row()).value(QStringLiteral("IP")).toString();
}

void CopyActions::copyAddress(const QString& scheme) {
    const QUrl url = DeviceUrl(scheme, selectedIp());
    if (url.isValid()) QGuiApplication::clipboard()->setText(url.toString());
}
