// The category tree: rows painted from pictures with a check box each, a
// gradient band on the selected category, and greyed rows for categories
// that hold nothing. Checking a group checks its children; checking children
// updates the root.
#pragma once

#include <QImage>
#include <QTreeWidget>
#include <memory>
#include <vector>

namespace skin {

// What the tree keeps for each child row.
struct TreeItemRecord {
    int category = 0;
    int count = 0; // nonzero makes the row available
    const QImage* image = nullptr;
    int reserved = 0;
};

class CTreeViewEx1 : public QTreeWidget {
    Q_OBJECT
  public:
    // Builds an empty tree with one column and no header.
    explicit CTreeViewEx1(QWidget* parent = nullptr);

    // Loads the four pictures from the image folder and sets the row height.
    void Init();

    // Appends a group row without record at the top level (the root).
    QTreeWidgetItem* InsertRootItem(const QString& text);
    // Appends a child row with a record {category, 0, image, 0} under parent.
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, int category, const QString& text,
                                const QImage* image);
    // Stores the count (and the text when given) of a row; false without record.
    bool SetItemInfo(const QString* text, QTreeWidgetItem* item, int count);
    // Sets a row's check: 0x1000 unchecked, 0x2000 checked; nobody is told.
    void SetCheckState(QTreeWidgetItem* item, int stateImageValue);
    // Returns a row's record, or null for a group row without one.
    TreeItemRecord* GetItemRecord(const QTreeWidgetItem* item) const;
    // Returns a row's text, cut to 260 characters.
    QString GetItemText(const QTreeWidgetItem* item) const;
    // Returns 1 when the row is checked, 0 otherwise.
    int GetCheck(const QTreeWidgetItem* item) const;
    // Returns the state image index of a row (1 unchecked, 2 checked).
    int GetStateImage(const QTreeWidgetItem* item) const;

    // Shows the selection band even without focus (the main window sets it).
    void SetShowSelAlways(bool on);
    // Returns the height of every row.
    int ItemHeight() const { return itemHeight_; }
    // Returns whether a row is a group row (has children or no parent).
    static bool IsGroupRow(const QTreeWidgetItem* item);
    // Returns the check box rectangle of a row in viewport coordinates.
    QRect CheckBoxRect(const QTreeWidgetItem* item) const;
    // Returns the expand picture's rectangle of a group row in viewport
    // coordinates (empty without the picture); a click on it expands or
    // collapses the row.
    QRect ExpandRect(const QTreeWidgetItem* item) const;
    // Returns the check strip's frame width g.
    int CheckFrameWidth() const;

  signals:
    // The user changed a row's check: state 1 checked, 0 unchecked.
    void treeItemCheck(QTreeWidgetItem* item, int state);

  protected:
    // Paints one row: expand picture or box, images, band and text.
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    // Draws no branch lines; rows paint everything themselves.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
    // Toggles boxes, ignores unavailable rows, else selects as usual.
    void mousePressEvent(QMouseEvent* e) override;
    // Swallows double clicks so rows neither expand nor collapse.
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    // Repaints the selection band, which shows only with the focus.
    void focusInEvent(QFocusEvent* e) override;
    // Repaints the selection band, which hides without the focus.
    void focusOutEvent(QFocusEvent* e) override;
    // Fills the view white before the rows are painted.
    void paintEvent(QPaintEvent* e) override;

  private:
    // Sets the root's check from its available children.
    void RecomputeRootCheck();
    // Returns the full-width rectangle of a row in viewport coordinates.
    QRect RowRect(const QTreeWidgetItem* item) const;

    int itemHeight_ = 25;
    QImage closedImage_;
    QImage openedImage_;
    QImage checkStrip_;
    QImage rootImage_;
    bool showSelAlways_ = false;
    std::vector<std::unique_ptr<TreeItemRecord>> records_;
};

} // namespace skin
