#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QList>
#include <QStringList>
#include <QVariantMap>

#include <vector>

// Keys of a row for a remembered box that did not answer (rememberedrows.h): such a row is
// greyed, and its help text is its tooltip and accessible description.
inline const QString kRememberedRowKey = QStringLiteral("Remembered");
inline const QString kRowHelpKey = QStringLiteral("RowHelp");

// The table's content: row dictionaries shown one per row, each column bound to one key of the
// row ("HomeHost", "IP", "DeviceType"). Keeps the header sort the user chose across rebuilds,
// and the rows are never editable. Remembered rows stay below the others in every order.
class DeviceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DeviceTableModel(QObject* parent = nullptr);

    // Binds column i to row key keys[i], with titles as the header texts until captions arrive.
    void setColumns(const QStringList& keys, const QStringList& titles);
    const QStringList& columnKeys() const { return keys; }

    // Replaces every row; the rows are arranged by the current sort, if any.
    void setRows(const QList<QVariantMap>& rows);
    void removeAllRows();
    // The row shown at index row (after sorting).
    const QVariantMap& rowAt(int row) const { return given.at(arranged.at(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Takes the header title (Qt::DisplayRole or Qt::EditRole) and font (Qt::FontRole).
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // column -1 returns to the order in which the rows were given.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // Indexes into the given rows, in display order.
    std::vector<int> sortedOrder() const;

    QStringList keys;
    QStringList titles;
    QList<QFont> fonts;
    QList<bool> fontSet;
    QList<QVariantMap> given;
    // Display row to index into given.
    std::vector<int> arranged;
    int sortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};
