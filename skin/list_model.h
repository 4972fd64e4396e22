// Row storage of the check-box list: texts per column, a record pointer and a
// check mark (state image index) per row, kept in one flat array so lists of
// many thousands of rows stay cheap.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace skin {

// One row of the list.
struct ListRow {
    QStringList texts;
    void* data = nullptr;
    int stateImage = 1;
};

// One column: its title and the alignment of its texts.
struct ListColumn {
    QString title;
    int alignment = Qt::AlignCenter;
};

class CheckListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // Makes a cell's text from its row's record, for rows appended without
    // texts: a list of very many rows then holds only their records.
    using CellSource = std::function<QString(const void* data, int column)>;

    using QAbstractTableModel::QAbstractTableModel;

    // Returns the number of rows.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Returns the number of columns.
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // Returns a cell's text for display.
    QVariant data(const QModelIndex& index, int role) const override;
    // Returns a column's title and alignment.
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // Inserts a row with a first-column text at index (clamped); returns it.
    int InsertRow(int row, const QString& text);
    // Appends a row with all its texts, record and check mark in one step.
    int AppendRow(const QStringList& texts, void* data, int stateImage);
    // Appends many rows with one notification, so a list of tens of
    // thousands of rows fills at once.
    void AppendRows(std::vector<ListRow> rows);
    // Sets the text of a cell; false when the row or column does not exist.
    bool SetText(int row, int column, const QString& text);
    // Returns the text of a cell, empty when it does not exist.
    QString Text(int row, int column) const;
    // Attaches a record pointer to a row; false when the row does not exist.
    bool SetRowData(int row, void* data);
    // Returns the record pointer of a row, or null.
    void* RowData(int row) const;
    // Returns the state image index of a row (0 for a missing row).
    int StateImage(int row) const;
    // Sets the state image index of a row without telling anybody.
    bool SetStateImage(int row, int state);
    // Sets every row's state image index at once.
    void SetAllStateImages(int state);
    // Returns the first row with the state image index, or -1.
    int FindState(int state) const;
    // Removes every row.
    void RemoveAllRows();
    // Sets how the texts of rows without texts are made; null: they are empty.
    void SetCellSource(CellSource source) { cellSource_ = std::move(source); }
    // Inserts a column at index (clamped); returns it.
    int InsertColumn(int column, const ListColumn& info);
    // Removes every column (rows keep no texts for them).
    void RemoveAllColumns();
    // Sorts the rows by the column's texts (locale-aware), keeping the order
    // of equal texts; check marks and records travel with their rows.
    void SortByColumn(int column, bool ascending);

  private:
    std::vector<ListRow> rows_;
    std::vector<ListColumn> columns_;
    CellSource cellSource_;
};

} // namespace skin
