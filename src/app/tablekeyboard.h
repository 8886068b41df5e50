#pragma once

#include <QObject>

class QTableView;

// Makes the table usable from the keyboard alone: when it gets the focus with no row selected,
// the current row (else the first) is selected, so that a one-row table can be picked and the
// buttons act on what the focus shows. The arrow keys, Home and End select as they move, as
// the table's single selection does. Main thread.
class TableKeyboard : public QObject {
    Q_OBJECT
public:
    // The filter belongs to table.
    explicit TableKeyboard(QTableView* table);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableView* table;
};
