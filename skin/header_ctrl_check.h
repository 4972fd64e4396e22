// The header of the check-box list: a picture background, a check-all box at
// its left and an arrow on the column the rows are sorted by.
#pragma once

#include <QHeaderView>
#include <QImage>

class QCheckBox;

namespace skin {

class CHeaderCtrlCheck : public QHeaderView {
    Q_OBJECT
  public:
    // Loads the background and arrow pictures and makes the check-all box.
    explicit CHeaderCtrlCheck(QWidget* parent = nullptr);

    // Loads (again) the sort arrows and the background from the image folder.
    void LoadImages();

    // Returns the column the rows are sorted by, -1 for none.
    int SortColumn() const { return sortColumn_; }
    // Returns 1 when the sort is ascending, 0 when descending.
    int Ascending() const { return ascending_; }
    // Records the sort state the list applied.
    void SetSortState(int column, int ascending);

    // Returns whether the check-all box is checked.
    bool IsCheckAll() const;
    // Sets the check-all box without telling anybody.
    void SetCheckAll(bool checked);
    // Returns the check-all box.
    QCheckBox* CheckAllBox() const { return checkAll_; }

    // Returns the fixed header height with the header's width.
    QSize sizeHint() const override;

  signals:
    // Sent when the user clicks the check-all box: 1 check all, 0 uncheck all.
    void headerCheckAll(int check);

  protected:
    // Paints the background, column titles, grid lines and the sort arrow.
    void paintEvent(QPaintEvent* e) override;

  private:
    QImage background_;
    QImage ascendingImage_;
    QImage descendingImage_;
    int height_ = 30;
    int sortColumn_ = -1;
    int ascending_ = 1;
    QCheckBox* checkAll_ = nullptr;
};

} // namespace skin
