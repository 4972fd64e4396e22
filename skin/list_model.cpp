#include "skin/list_model.h"

#include <algorithm>
#include <numeric>

namespace skin {

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int CheckListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    return Text(index.row(), index.column());
}

QVariant CheckListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= int(columns_.size()))
        return QVariant();
    if (role == Qt::DisplayRole)
        return columns_[size_t(section)].title;
    if (role == Qt::TextAlignmentRole)
        return columns_[size_t(section)].alignment;
    return QVariant();
}

int CheckListModel::InsertRow(int row, const QString& text) {
    row = std::clamp(row, 0, int(rows_.size()));
    beginInsertRows(QModelIndex(), row, row);
    ListRow r;
    r.texts.append(text);
    rows_.insert(rows_.begin() + row, std::move(r));
    endInsertRows();
    return row;
}

int CheckListModel::AppendRow(const QStringList& texts, void* data, int stateImage) {
    const int row = int(rows_.size());
    beginInsertRows(QModelIndex(), row, row);
    rows_.push_back(ListRow{texts.mid(0, int(columns_.size())), data, stateImage});
    endInsertRows();
    return row;
}

void CheckListModel::AppendRows(std::vector<ListRow> rows) {
    if (rows.empty())
        return;
    const int first = int(rows_.size());
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    rows_.reserve(rows_.size() + rows.size());
    for (ListRow& row : rows) {
        if (row.texts.size() > qsizetype(columns_.size()))
            row.texts.resize(qsizetype(columns_.size()));
        rows_.push_back(std::move(row));
    }
    endInsertRows();
}

bool CheckListModel::SetText(int row, int column, const QString& text) {
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= int(columns_.size()))
        return false;
    QStringList& texts = rows_[size_t(row)].texts;
    while (texts.size() <= column)
        texts.append(QString());
    texts[column] = text;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
    return true;
}

QString CheckListModel::Text(int row, int column) const {
    if (row < 0 || row >= int(rows_.size()) || column < 0)
        return QString();
    const ListRow& r = rows_[size_t(row)];
    if (r.texts.isEmpty() && cellSource_ && column < int(columns_.size()))
        return cellSource_(r.data, column);
    return column < r.texts.size() ? r.texts[column] : QString();
}

bool CheckListModel::SetRowData(int row, void* data) {
    if (row < 0 || row >= int(rows_.size()))
        return false;
    rows_[size_t(row)].data = data;
    return true;
}

void* CheckListModel::RowData(int row) const {
    if (row < 0 || row >= int(rows_.size()))
        return nullptr;
    return rows_[size_t(row)].data;
}

int CheckListModel::StateImage(int row) const {
    if (row < 0 || row >= int(rows_.size()))
        return 0;
    return rows_[size_t(row)].stateImage;
}

bool CheckListModel::SetStateImage(int row, int state) {
    if (row < 0 || row >= int(rows_.size()))
        return false;
    rows_[size_t(row)].stateImage = state;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i);
    return true;
}

void CheckListModel::SetAllStateImages(int state) {
    for (ListRow& r : rows_)
        r.stateImage = state;
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, 0));
}

int CheckListModel::FindState(int state) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].stateImage == state)
            return int(i);
    return -1;
}

void CheckListModel::RemoveAllRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int CheckListModel::InsertColumn(int column, const ListColumn& info) {
    column = std::clamp(column, 0, int(columns_.size()));
    beginInsertColumns(QModelIndex(), column, column);
    columns_.insert(columns_.begin() + column, info);
    for (ListRow& r : rows_)
        if (column < r.texts.size())
            r.texts.insert(column, QString());
    endInsertColumns();
    return column;
}

void CheckListModel::RemoveAllColumns() {
    beginResetModel();
    columns_.clear();
    for (ListRow& r : rows_)
        r.texts.clear();
    endResetModel();
}

void CheckListModel::SortByColumn(int column, bool ascending) {
    if (rows_.size() < 2)
        return;
    emit layoutAboutToBeChanged();
    // Each row's text is made once: rows without texts make theirs on demand.
    std::vector<QString> keys(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        keys[i] = Text(int(i), column);
    std::vector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = QString::localeAwareCompare(keys[size_t(a)], keys[size_t(b)]);
        return ascending ? c < 0 : c > 0;
    });
    std::vector<int> newRowOf(rows_.size());
    std::vector<ListRow> sorted;
    sorted.reserve(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newRowOf[size_t(order[i])] = int(i);
        sorted.push_back(std::move(rows_[size_t(order[i])]));
    }
    rows_ = std::move(sorted);
    // Selection and current row follow their rows.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to.append(index(newRowOf[size_t(i.row())], i.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged();
}

} // namespace skin
