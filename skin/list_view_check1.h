// The record list: a report list whose rows carry a picture check box, an
// optional "deleted" mark, striped backgrounds and grid lines, under a header
// with a check-all box that sorts by the clicked column.
#pragma once

#include "skin/header_ctrl_check.h"
#include "skin/list_model.h"

#include <QImage>
#include <QTreeView>
#include <cstdint>
#include <functional>

namespace skin {

class CListViewCheck1 : public QTreeView {
    Q_OBJECT
  public:
    // Tells whether the record of a row is a deleted one, for a list kind.
    using DeletedTest = std::function<bool(const void* record, int listKind)>;
    // Tells how many parts of a live row's record are deleted (0 for none or
    // for a wholly deleted record), for a list kind.
    using DeletedPartsTest = std::function<int(const void* record, int listKind)>;

    // Item mask bits understood by SetItem.
    static constexpr unsigned LVIF_TEXT = 0x1;
    static constexpr unsigned LVIF_PARAM = 0x4;

    // Builds the list with its header; it is not shown until Create.
    explicit CListViewCheck1(QWidget* parent = nullptr);

    // Places the list in its parent at the rectangle, with a control id.
    bool Create(QWidget* parent, const QRect& rect, int id);
    // Loads the list's and the header's pictures (again) from the image folder.
    void Init();

    // Returns the control id given to Create.
    int Id() const { return id_; }

    // Sets the height of every row (50 unless changed; the main window uses 30).
    void SetRowHeight(int height);
    // Returns the row height.
    int RowHeight() const { return rowHeight_; }
    // Sets how a row's deleted flag is read: 1 contacts, 2 messages, 3 calls,
    // 4 the timeline's events; 0 none.
    void SetListKind(int kind);
    // Returns the list kind.
    int ListKind() const { return listKind_; }
    // Sets how the texts of rows appended without texts are made (see
    // CheckListModel::CellSource).
    void SetCellSource(CheckListModel::CellSource source) {
        model_->SetCellSource(std::move(source));
    }
    // Sets the test that tells deleted records apart.
    void SetDeletedTest(DeletedTest test) { deletedTest_ = std::move(test); }
    // Sets the test that counts a live record's deleted parts.
    void SetDeletedPartsTest(DeletedPartsTest test) { deletedPartsTest_ = std::move(test); }
    // Returns whether the row carries a deletion mark: a deleted record or a
    // live one with deleted parts.
    bool IsRowDeleted(int row) const;
    // Returns the number of deleted parts of a live row's record; such a row
    // keeps black text and shows a small trash badge with the count.
    int RowDeletedParts(int row) const;
    // Returns the colour of a row's text: red for a deleted record, black
    // for any live one.
    QColor RowTextColor(int row) const;

    // Inserts a row with a first-column text; returns its index.
    int InsertItem(int row, const QString& text);
    // Appends a row with one text per column, its record and its check mark.
    int AppendRow(const QStringList& texts, void* data, bool checked);
    // Appends many rows at once (their state images: 1 unchecked, 2 checked).
    void AppendRows(std::vector<ListRow> rows);
    // Sets a row's text in a column (LVIF_TEXT) and/or its record (LVIF_PARAM).
    bool SetItem(int row, int column, unsigned mask, const QString& text, void* data);
    // Sets one cell's text.
    bool SetItemText(int row, int column, const QString& text);
    // Returns one cell's text, cut to 260 characters.
    QString GetItemText(int row, int column) const;
    // Returns the record of a row, or null.
    void* GetItemData(int row) const;
    // Checks or unchecks a row without telling anybody.
    void SetCheckState(int row, bool checked);
    // Returns the state image index of a row (1 unchecked, 2 checked).
    int GetStateImage(int row) const;
    // Sets the state image index of a row without telling anybody.
    void SetStateImage(int row, int state);
    // Returns the number of rows.
    int GetItemCount() const;
    // Removes every row.
    void DeleteAllItems();
    // Inserts a column with a title, width and text alignment.
    int InsertColumn(int column, const QString& title, int width, int alignment = Qt::AlignCenter);
    // Removes every column.
    void DeleteAllColumns();
    // Selects a row (and makes it current) or clears the selection with -1.
    void SelectRow(int row);
    // Scrolls the list so that a row is visible.
    void EnsureVisible(int row);
    // Returns the first selected row, or -1.
    int GetSelectedRow() const;

    // Returns the header.
    CHeaderCtrlCheck* Header() const { return header_; }
    // Returns the check strip's frame size (0 x 0 when it did not load).
    QSize CheckFrameSize() const;
    // Returns the check box rectangle of a row in viewport coordinates.
    QRect CheckBoxRect(int row) const;

  public slots:
    // Checks (1) or unchecks (anything else) every row, telling the parent
    // about each one.
    void OnHeaderCheckAll(int check);
    // Sorts by a column: ascending on first click, toggled on repeat clicks.
    void OnColumnClick(int column);

  signals:
    // A row's check mark changed: state 1 checked, 0 unchecked.
    void listItemCheck(int row, int state);
    // The user clicked a row (outside its check box).
    void itemClicked(int row);

  protected:
    // Paints one row: stripe or selection, grid, check box, marker and texts.
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    // Toggles a row's box when clicked on it, else selects as usual.
    void mousePressEvent(QMouseEvent* e) override;
    // Treats the second click of a double click on a box as a toggle.
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    // Space toggles the focused row's box like a click on it.
    void keyPressEvent(QKeyEvent* e) override;

  private:
    // Toggles a row's check from a click on its box (or Space) and tells the parent.
    void ToggleFromClick(int row);
    // Checks the header box exactly when every row is checked.
    void SyncCheckAll();
    // Returns the x of column 0's left edge in viewport coordinates.
    int RowLeft() const;

    CheckListModel* model_ = nullptr;
    QImage checkImage_;
    QImage deletedImage_;
    std::uint32_t oddRowColor_ = 0xFFFFFF;
    std::uint32_t evenRowColor_ = 0xF5F5F5;
    CHeaderCtrlCheck* header_ = nullptr;
    int rowHeight_ = 50;
    int listKind_ = 0;
    int id_ = 0;
    DeletedTest deletedTest_;
    DeletedPartsTest deletedPartsTest_;
};

} // namespace skin
