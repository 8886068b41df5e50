#include "src/app/tablekeyboard.h"

#include <algorithm>

#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTableView>

namespace {

void SelectRow(QTableView* table, int row) {
    const int column = std::max(table->currentIndex().column(), 0);
    table->selectionModel()->setCurrentIndex(
        table->model()->index(row, column),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table->scrollTo(table->currentIndex());
}

}  // namespace

TableKeyboard::TableKeyboard(QTableView* table) : QObject(table), table(table) {
    table->installEventFilter(this);
}

bool TableKeyboard::eventFilter(QObject* watched, QEvent* event) {
    if (watched != table || table->model() == nullptr) return QObject::eventFilter(watched, event);
    const int rows = table->model()->rowCount();
    if (rows == 0) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn && !table->selectionModel()->hasSelection()) {
        SelectRow(table, table->currentIndex().isValid() ? table->currentIndex().row() : 0);
    } else if (event->type() == QEvent::KeyPress) {
        // A table's own Home and End stay in the row; in a list of boxes they go to the first
        // and the last, as in any list.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier &&
            (key->key() == Qt::Key_Home || key->key() == Qt::Key_End)) {
            SelectRow(table, key->key() == Qt::Key_Home ? 0 : rows - 1);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
