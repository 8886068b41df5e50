#pragma once

#include <QObject>
#include <QString>

class CaptionTexts;
class DeviceTableModel;
class QAction;
class QMenu;
class QPoint;
class QTableView;

// The table's copy actions: a context menu on a row (a right click, the Menu key or Shift+F10)
// that copies its IP, web (http://) or share (smb://) address, and Ctrl+C on the table for the
// selected row's IP address, all through the clipboard. Others may add items behind the copy items
// (menu()); with those, the menu opens off a row too, its copy items off. Made once the window is
// on screen; main thread.
class CopyActions : public QObject {
    Q_OBJECT
public:
    // texts must outlive the actions; the menu and the actions belong to table.
    CopyActions(QTableView* table, DeviceTableModel* rows, const CaptionTexts& texts,
                QObject* parent = nullptr);

    QMenu* menu() const { return rowMenu; }

private:
    void showMenu(const QPoint& position);
    // The selected row's IP text, or a null QString without a selection.
    QString selectedIp() const;
    void copyAddress(const QString& scheme);

    QTableView* table;
    DeviceTableModel* rows;
    const CaptionTexts& texts;
    QMenu* rowMenu;
    QAction* copyIp;
    QAction* copyWeb;
    QAction* copyShare;
};
