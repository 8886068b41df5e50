#include "src/app/devicetablemodel.h"

#include <QPalette>
#include <QTextDocument>

#include <algorithm>
#include <numeric>

namespace {

// Orders runs of ASCII digits by their value and the rest by the user's locale, so that
// 192.168.1.9 comes before 192.168.1.10 whatever collation the system offers.
int NaturalCompare(const QString& a, const QString& b) {
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const qsizetype startA = i;
        const qsizetype startB = j;
        if (isDigit(a[i]) && isDigit(b[j])) {
            while (i < a.size() && isDigit(a[i])) ++i;
            while (j < b.size() && isDigit(b[j])) ++j;
            // Leading zeros do not change a value; a longer run is then the larger number.
            QStringView digitsA = QStringView(a).mid(startA, i - startA);
            QStringView digitsB = QStringView(b).mid(startB, j - startB);
            while (digitsA.size() > 1 && digitsA.front() == u'0') digitsA = digitsA.mid(1);
            while (digitsB.size() > 1 && digitsB.front() == u'0') digitsB = digitsB.mid(1);
            if (digitsA.size() != digitsB.size()) return digitsA.size() < digitsB.size() ? -1 : 1;
            const int result = digitsA.compare(digitsB);
            if (result != 0) return result;
        } else {
            while (i < a.size() && !isDigit(a[i])) ++i;
            while (j < b.size() && !isDigit(b[j])) ++j;
            const int result = QStringView(a)
                                   .mid(startA, i - startA)
                                   .localeAwareCompare(QStringView(b).mid(startB, j - startB));
            if (result != 0) return result;
        }
    }
    return (i < a.size()) - (j < b.size());
}

// Qt shows a tooltip that looks like markup as rich text (and fetches the images it names); text
// from a box or a file is escaped into a rich text of its own instead, so that it shows as written.
QVariant PlainToolTip(const QVariant& value) {
    const QString text = value.toString();
    if (!Qt::mightBeRichText(text)) return value;
    return QStringLiteral("<p style=\"white-space:pre\">%1</p>").arg(text.toHtmlEscaped());
}

}  // namespace

DeviceTableModel::DeviceTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void DeviceTableModel::setColumns(const QStringList& columnKeys, const QStringList& columnTitles) {
    beginResetModel();
    keys = columnKeys;
    titles = columnTitles;
    while (titles.size() < keys.size()) titles << keys.at(titles.size());
    titles.resize(keys.size());
    fonts = QList<QFont>(keys.size());
    fontSet = QList<bool>(keys.size(), false);
    endResetModel();
}

void DeviceTableModel::setRows(const QList<QVariantMap>& rows) {
    beginResetModel();
    given = rows;
    arranged = sortedOrder();
    endResetModel();
}

void DeviceTableModel::removeAllRows() {
    setRows({});
}

int DeviceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(arranged.size());
}

int DeviceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(keys.size());
}

QVariant DeviceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= keys.size()) {
        return {};
    }
    const QVariantMap& row = rowAt(index.row());
    if (row.value(kRememberedRowKey).toBool()) {
        if (role == Qt::ForegroundRole) return QPalette().color(QPalette::Disabled, QPalette::Text);
        if (role == Qt::ToolTipRole) return PlainToolTip(row.value(kRowHelpKey));
        if (role == Qt::AccessibleDescriptionRole) return row.value(kRowHelpKey);
    }
    if (role == Qt::ToolTipRole) return PlainToolTip(row.value(keys.at(index.column())));
    if (role != Qt::DisplayRole) return {};
    return row.value(keys.at(index.column()));
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= keys.size()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) return titles.at(section);
    if (role == Qt::FontRole && fontSet.at(section)) return fonts.at(section);
    return {};
}

bool DeviceTableModel::setHeaderData(int section, Qt::Orientation orientation,
                                     const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= keys.size()) return false;
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        titles[section] = value.toString();
    } else if (role == Qt::FontRole) {
        fonts[section] = value.value<QFont>();
        fontSet[section] = true;
    } else {
        return false;
    }
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags DeviceTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void DeviceTableModel::sort(int column, Qt::SortOrder order) {
    sortColumn = column >= 0 && column < keys.size() ? column : -1;
    sortOrder = order;
    const std::vector<int> rearranged = sortedOrder();

    // Rearranged in place so that the view keeps its selection on the same device.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOfGiven(given.size());
    for (std::size_t row = 0; row < rearranged.size(); ++row) {
        newRowOfGiven[rearranged[row]] = static_cast<int>(row);
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before) {
        after << this->index(newRowOfGiven[arranged[index.row()]], index.column());
    }
    arranged = rearranged;
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> DeviceTableModel::sortedOrder() const {
    std::vector<int> order(given.size());
    std::iota(order.begin(), order.end(), 0);
    if (sortColumn < 0) return order;
    const QString& key = keys.at(sortColumn);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const bool rememberedA = given.at(a).value(kRememberedRowKey).toBool();
        const bool rememberedB = given.at(b).value(kRememberedRowKey).toBool();
        if (rememberedA != rememberedB) return rememberedB;
        const int result =
            NaturalCompare(given.at(a).value(key).toString(), given.at(b).value(key).toString());
        return sortOrder == Qt::AscendingOrder ? result < 0 : result > 0;
    });
    return order;
}
