#include "skin/list_view_check1.h"

#include "skin/font_pool.h"
#include "skin/skin_color.h"
#include "skin/skin_image.h"
#include "skin/text_draw.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace skin {

namespace {

constexpr int kCheckFrames = 4;
constexpr int kMaxText = 260;

// Answers the list's fixed row height as every item's size.
class RowHeightDelegate : public QStyledItemDelegate {
  public:
    // Keeps the list whose row height is answered.
    explicit RowHeightDelegate(const CListViewCheck1* list)
        : QStyledItemDelegate(const_cast<CListViewCheck1*>(list)), list_(list) {}
    // Returns the row height with the default width.
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        return QSize(QStyledItemDelegate::sizeHint(o, i).width(), list_->RowHeight());
    }

  private:
    const CListViewCheck1* list_;
};

} // namespace

CListViewCheck1::CListViewCheck1(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("datalistview"));
    model_ = new CheckListModel(this);
    header_ = new CHeaderCtrlCheck(this);
    setHeader(header_);
    setModel(model_);
    setItemDelegate(new RowHeightDelegate(this));
    // The tree view resets this when it takes the header over.
    header_->setSectionsClickable(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    connect(header_, &CHeaderCtrlCheck::headerCheckAll, this, &CListViewCheck1::OnHeaderCheckAll);
    connect(header_, &QHeaderView::sectionClicked, this, &CListViewCheck1::OnColumnClick);
    hide();
}

bool CListViewCheck1::Create(QWidget* parent, const QRect& rect, int id) {
    if (!parent)
        return false;
    if (parentWidget() != parent)
        setParent(parent);
    id_ = id;
    setGeometry(rect);
    show();
    return true;
}

void CListViewCheck1::Init() {
    header_->LoadImages();
    checkImage_ = LoadSkinImage(QStringLiteral("checkbox.png"));
    deletedImage_ = LoadSkinImage(QStringLiteral("deleted.png"));
    viewport()->update();
}

void CListViewCheck1::SetRowHeight(int height) {
    rowHeight_ = qMax(1, height);
    // Uniform rows cache their height: have the view measure again.
    doItemsLayout();
}

void CListViewCheck1::SetListKind(int kind) {
    listKind_ = kind;
    viewport()->update();
}

bool CListViewCheck1::IsRowDeleted(int row) const {
    if (listKind_ == 0)
        return false;
    const void* record = model_->RowData(row);
    return record && deletedTest_ && deletedTest_(record, listKind_);
}

int CListViewCheck1::RowDeletedParts(int row) const {
    if (listKind_ == 0 || !deletedPartsTest_)
        return 0;
    const void* record = model_->RowData(row);
    return record ? qMax(0, deletedPartsTest_(record, listKind_)) : 0;
}

QColor CListViewCheck1::RowTextColor(int row) const {
    return IsRowDeleted(row) && RowDeletedParts(row) == 0 ? FromColorRef(0x0000FF)
                                                          : QColor(Qt::black);
}

namespace {

// Draws the badge of a live row with deleted parts at the cell's left: a
// small trash mark with the number of deleted parts beside it; returns its
// width.
int drawPartsBadge(QPainter& p, const QImage& trash, QPoint at, int height, int parts) {
    constexpr int kMark = 12;
    const int top = at.y() + (height - kMark) / 2;
    if (!trash.isNull())
        p.drawImage(QRect(at.x(), top, kMark, kMark), trash);
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    const QString count = QString::number(parts);
    const int width = p.fontMetrics().horizontalAdvance(count);
    p.setPen(FromColorRef(0x0000C0));
    p.drawText(QRect(at.x() + kMark + 1, top, width + 2, kMark), Qt::AlignLeft | Qt::AlignVCenter,
               count);
    return kMark + 1 + width + 2;
}

} // namespace

int CListViewCheck1::InsertItem(int row, const QString& text) {
    return model_->InsertRow(row, text);
}

int CListViewCheck1::AppendRow(const QStringList& texts, void* data, bool checked) {
    return model_->AppendRow(texts, data, checked ? 2 : 1);
}

void CListViewCheck1::AppendRows(std::vector<ListRow> rows) {
    model_->AppendRows(std::move(rows));
}

bool CListViewCheck1::SetItem(int row, int column, unsigned mask, const QString& text, void* data) {
    if (row < 0 || row >= model_->rowCount())
        return false;
    bool ok = true;
    if (mask & LVIF_TEXT)
        ok = model_->SetText(row, column, text) && ok;
    if (mask & LVIF_PARAM)
        ok = model_->SetRowData(row, data) && ok;
    return ok;
}

bool CListViewCheck1::SetItemText(int row, int column, const QString& text) {
    return model_->SetText(row, column, text);
}

QString CListViewCheck1::GetItemText(int row, int column) const {
    return model_->Text(row, column).left(kMaxText - 1);
}

void* CListViewCheck1::GetItemData(int row) const {
    return model_->RowData(row);
}

void CListViewCheck1::SetCheckState(int row, bool checked) {
    model_->SetStateImage(row, checked ? 2 : 1);
}

int CListViewCheck1::GetStateImage(int row) const {
    return model_->StateImage(row);
}

void CListViewCheck1::SetStateImage(int row, int state) {
    model_->SetStateImage(row, state);
}

int CListViewCheck1::GetItemCount() const {
    return model_->rowCount();
}

void CListViewCheck1::DeleteAllItems() {
    model_->RemoveAllRows();
}

int CListViewCheck1::InsertColumn(int column, const QString& title, int width, int alignment) {
    const int at = model_->InsertColumn(column, ListColumn{title, alignment});
    header_->resizeSection(at, width);
    return at;
}

void CListViewCheck1::DeleteAllColumns() {
    model_->RemoveAllColumns();
}

void CListViewCheck1::SelectRow(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex i = model_->index(row, 0);
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                             QItemSelectionModel::Rows);
}

void CListViewCheck1::EnsureVisible(int row) {
    if (row >= 0 && row < model_->rowCount())
        scrollTo(model_->index(row, 0));
}

int CListViewCheck1::GetSelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    int best = -1;
    for (const QModelIndex& i : rows)
        if (best < 0 || i.row() < best)
            best = i.row();
    return best;
}

QSize CListViewCheck1::CheckFrameSize() const {
    return QSize(StripFrameWidth(checkImage_, kCheckFrames),
                 checkImage_.isNull() ? 0 : checkImage_.height());
}

int CListViewCheck1::RowLeft() const {
    return -horizontalScrollBar()->value();
}

QRect CListViewCheck1::CheckBoxRect(int row) const {
    const QRect r = visualRect(model_->index(row, 0));
    const QSize f = CheckFrameSize();
    return QRect(RowLeft() + 5, r.top() + (r.height() - f.height()) / 2, f.width(), f.height());
}

void CListViewCheck1::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QPainter& p = *painter;
    const int row = index.row();
    const int x0 = RowLeft();
    const int contentWidth = qMax(viewport()->width(), header_->length());
    const QRect rowRect(x0, option.rect.top(), contentWidth, option.rect.height());
    const int top = rowRect.top();
    const int h = rowRect.height();
    p.save();
    QColor bg;
    if (selectionModel()->isRowSelected(row, QModelIndex()))
        bg = FromColorRef(0xEEDBA1);
    else
        bg = FromColorRef((row % 2) ? oddRowColor_ : evenRowColor_);
    p.fillRect(QRect(0, top, qMax(viewport()->width(), rowRect.right() + 1), h), bg);
    const QPen grid(FromColorRef(0xDCDCDC), 1);
    p.setPen(grid);
    p.drawLine(x0, top, x0, top + h - 1);
    p.drawLine(0, top + h - 1, rowRect.right(), top + h - 1);
    p.setFont(PoolFontOr(256));
    const bool deleted = IsRowDeleted(row);
    const int parts = deleted ? RowDeletedParts(row) : 0;
    const QColor textColor = RowTextColor(row);
    const QSize frame = CheckFrameSize();
    const int columns = model_->columnCount();
    for (int c = 0; c < columns; ++c) {
        if (header_->isSectionHidden(c))
            continue;
        QRect cell(header_->sectionViewportPosition(c), top, header_->sectionSize(c), h);
        if (c == 0) {
            cell.setLeft(cell.left() + frame.width() + 10);
            const int checkTop = top + (h - frame.height()) / 2;
            const int frameIndex = model_->StateImage(row) == 1 ? 0 : 2;
            DrawStripFrame(p, QPoint(x0 + 5, checkTop), checkImage_, kCheckFrames, frameIndex);
            if (parts > 0) {
                const QFont rowFont = p.font();
                const int width = drawPartsBadge(p, deletedImage_,
                                                 QPoint(x0 + frame.width() + 10, top), h, parts);
                p.setFont(rowFont);
                cell.setLeft(cell.left() + width + 3);
            } else if (deleted && !deletedImage_.isNull()) {
                p.drawImage(QPoint(x0 + frame.width() + 10, checkTop), deletedImage_);
                cell.setLeft(cell.left() + deletedImage_.width() + 5);
            }
        }
        p.setPen(textColor);
        DrawElidedLine(p, cell, GetItemText(row, c), Qt::AlignCenter);
        if (c > 0) {
            p.setPen(grid);
            const int gx = header_->sectionViewportPosition(c);
            p.drawLine(gx, top, gx, top + h - 1);
        }
    }
    p.restore();
}

void CListViewCheck1::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (e->button() != Qt::LeftButton || !index.isValid() ||
        !CheckBoxRect(index.row()).contains(pos)) {
        QTreeView::mousePressEvent(e);
        if (e->button() == Qt::LeftButton && index.isValid())
            emit itemClicked(index.row());
        return;
    }
    // A click on the box toggles it and leaves the selection alone.
    ToggleFromClick(index.row());
    e->accept();
}

void CListViewCheck1::mouseDoubleClickEvent(QMouseEvent* e) {
    // The second click of a quick double click on a box toggles it again.
    const QPoint pos = e->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (e->button() == Qt::LeftButton && index.isValid() &&
        CheckBoxRect(index.row()).contains(pos)) {
        ToggleFromClick(index.row());
        e->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(e);
}

void CListViewCheck1::keyPressEvent(QKeyEvent* e) {
    // Space toggles the focused row's box, as users expect of a check list.
    const QModelIndex current = currentIndex();
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier && current.isValid()) {
        ToggleFromClick(current.row());
        viewport()->update();
        e->accept();
        return;
    }
    QTreeView::keyPressEvent(e);
}

void CListViewCheck1::ToggleFromClick(int row) {
    const int newState = model_->StateImage(row) == 1 ? 2 : 1;
    model_->SetStateImage(row, newState);
    SyncCheckAll();
    emit listItemCheck(row, newState == 2 ? 1 : 0);
}

void CListViewCheck1::SyncCheckAll() {
    header_->SetCheckAll(model_->FindState(1) < 0);
}

void CListViewCheck1::OnHeaderCheckAll(int check) {
    if (check != 1)
        check = 0;
    const int rows = model_->rowCount();
    if (rows == 0)
        return;
    model_->SetAllStateImages(check ? 2 : 1);
    for (int row = 0; row < rows; ++row)
        emit listItemCheck(row, check);
}

void CListViewCheck1::OnColumnClick(int column) {
    if (column == header_->SortColumn())
        header_->SetSortState(column, header_->Ascending() ? 0 : 1);
    else
        header_->SetSortState(column, 1);
    model_->SortByColumn(column, header_->Ascending() != 0);
    viewport()->update();
}

} // namespace skin
