#include "skin/tree_view_ex1.h"

#include "skin/font_pool.h"
#include "skin/skin_color.h"
#include "skin/skin_image.h"
#include "skin/text_draw.h"
#include "skin/ui_helpers.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace skin {

namespace {

constexpr int kRecordRole = Qt::UserRole + 1;
constexpr int kStateRole = Qt::UserRole + 2;
constexpr int kStripFrames = 5;
constexpr int kMaxText = 260;

// Answers the tree's row height as every row's size.
class TreeRowDelegate : public QStyledItemDelegate {
  public:
    // Keeps the tree whose row height is answered.
    explicit TreeRowDelegate(CTreeViewEx1* tree) : QStyledItemDelegate(tree), tree_(tree) {}
    // Returns the row height with the default width.
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        return QSize(QStyledItemDelegate::sizeHint(o, i).width(), tree_->ItemHeight());
    }

  private:
    CTreeViewEx1* tree_;
};

// Returns a row's state image index (1 when never set).
int StateOf(const QTreeWidgetItem* item) {
    const QVariant v = item->data(0, kStateRole);
    return v.isValid() ? v.toInt() : 1;
}

} // namespace

CTreeViewEx1::CTreeViewEx1(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(false);
    setItemDelegate(new TreeRowDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void CTreeViewEx1::Init() {
    closedImage_ = LoadSkinImage(QStringLiteral("tree_closed.bmp"));
    openedImage_ = LoadSkinImage(QStringLiteral("tree_opened.bmp"));
    checkStrip_ = LoadSkinImage(QStringLiteral("checkboxes.png"));
    rootImage_ = LoadSkinImage(QStringLiteral("treeroot.png"));
    doItemsLayout();
    viewport()->update();
}

QTreeWidgetItem* CTreeViewEx1::InsertRootItem(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kStateRole, 1);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    addTopLevelItem(item);
    return item;
}

QTreeWidgetItem* CTreeViewEx1::InsertItem(QTreeWidgetItem* parent, int category,
                                          const QString& text, const QImage* image) {
    records_.push_back(std::make_unique<TreeItemRecord>(TreeItemRecord{category, 0, image, 0}));
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kRecordRole, QVariant::fromValue<void*>(records_.back().get()));
    item->setData(0, kStateRole, 1);
    item->setFlags(Qt::ItemIsEnabled); // unselectable until it holds records
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

bool CTreeViewEx1::SetItemInfo(const QString* text, QTreeWidgetItem* item, int count) {
    TreeItemRecord* r = GetItemRecord(item);
    if (!r)
        return false;
    r->count = count;
    r->reserved = 0;
    item->setFlags(count ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
    if (text)
        item->setText(0, *text);
    viewport()->update();
    return true;
}

void CTreeViewEx1::SetCheckState(QTreeWidgetItem* item, int stateImageValue) {
    if (!item)
        return;
    item->setData(0, kStateRole, (stateImageValue >> 12) & 0xF);
    viewport()->update();
}

TreeItemRecord* CTreeViewEx1::GetItemRecord(const QTreeWidgetItem* item) const {
    if (!item)
        return nullptr;
    return static_cast<TreeItemRecord*>(item->data(0, kRecordRole).value<void*>());
}

QString CTreeViewEx1::GetItemText(const QTreeWidgetItem* item) const {
    return item ? item->text(0).left(kMaxText - 1) : QString();
}

int CTreeViewEx1::GetCheck(const QTreeWidgetItem* item) const {
    return item ? StateOf(item) - 1 : 0;
}

int CTreeViewEx1::GetStateImage(const QTreeWidgetItem* item) const {
    return item ? StateOf(item) : 0;
}

void CTreeViewEx1::SetShowSelAlways(bool on) {
    showSelAlways_ = on;
    viewport()->update();
}

bool CTreeViewEx1::IsGroupRow(const QTreeWidgetItem* item) {
    return item->childCount() > 0 || item->parent() == nullptr;
}

int CTreeViewEx1::CheckFrameWidth() const {
    return StripFrameWidth(checkStrip_, kStripFrames);
}

QRect CTreeViewEx1::RowRect(const QTreeWidgetItem* item) const {
    const QRect r = visualItemRect(item);
    return QRect(-horizontalScrollBar()->value(), r.top(), viewport()->width(), r.height());
}

QRect CTreeViewEx1::CheckBoxRect(const QTreeWidgetItem* item) const {
    const QRect row = RowRect(item);
    const int g = CheckFrameWidth();
    const int sh = checkStrip_.isNull() ? 0 : checkStrip_.height();
    const int left = IsGroupRow(item) ? row.left() + 26 : row.left() + g + 36;
    return QRect(left, row.top() + (row.height() - sh) / 2, g, sh);
}

void CTreeViewEx1::paintEvent(QPaintEvent* e) {
    {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), Qt::white);
    }
    QTreeWidget::paintEvent(e);
}

QRect CTreeViewEx1::ExpandRect(const QTreeWidgetItem* item) const {
    const QRect row = RowRect(item);
    const QImage& expand = item->isExpanded() ? openedImage_ : closedImage_;
    if (expand.isNull())
        return QRect();
    return QRect(row.left() + 5, row.top() + (row.height() - expand.height()) / 2, expand.width(),
                 expand.height());
}

void CTreeViewEx1::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const QTreeWidgetItem* item = itemFromIndex(index);
    if (!item)
        return;
    QPainter& p = *painter;
    p.save();
    const int left = -horizontalScrollBar()->value();
    const QRect row(left, option.rect.top(), qMax(viewport()->width(), option.rect.width()),
                    option.rect.height());
    const int h = row.height();
    const int g = CheckFrameWidth();
    const int sh = checkStrip_.isNull() ? 0 : checkStrip_.height();
    const int checkTop = row.top() + (h - sh) / 2;
    const int f = StateOf(item) == 1 ? 0 : 3;
    const int textTop = row.top() + (h - 15) / 2;
    if (IsGroupRow(item)) {
        const QImage& expand = item->isExpanded() ? openedImage_ : closedImage_;
        const int ew = expand.isNull() ? 0 : expand.width();
        if (!expand.isNull())
            p.drawImage(left + 5, row.top() + (h - expand.height()) / 2, expand);
        DrawStripFrame(p, QPoint(left + ew + 10, checkTop), checkStrip_, kStripFrames, f);
        const int rw = rootImage_.isNull() ? 0 : rootImage_.width();
        if (!rootImage_.isNull())
            p.drawImage(left + ew + g + 15, row.top() + (h - rootImage_.height()) / 2, rootImage_);
        p.setFont(PoolFontOr(260));
        p.setPen(Qt::black);
        const QRect text(left + rw + g + 36, textTop, row.right() + 1 - (left + rw + g + 36), 16);
        DrawElidedLine(p, text, item->text(0), Qt::AlignLeft | Qt::AlignVCenter);
        p.restore();
        return;
    }
    const TreeItemRecord* r = GetItemRecord(item);
    const bool available = r && r->count != 0;
    DrawStripFrame(p, QPoint(left + g + 36, checkTop), checkStrip_, kStripFrames,
                   available ? f : 4);
    const QImage* image = r ? r->image : nullptr;
    const int iw = (image && !image->isNull()) ? image->width() : 0;
    const bool selectionShown = hasFocus() || showSelAlways_;
    // The selection model is the truth: an item's own selected flag can lag
    // behind it after the tree was hidden and reset (Back, a deep scan).
    const bool band = available && selectionModel()->isSelected(index) && selectionShown;
    const int textLeft = left + iw + 2 * g + 46;
    if (band) {
        const int contentWidth = qMax(viewport()->width(), horizontalScrollBar()->maximum() + 1);
        gradient_fillrect(p, QRect(textLeft, row.top(), left + contentWidth - textLeft, h),
                          0xF6E5A8, 0xF9F7F1, 0);
    }
    if (iw > 0)
        p.drawImage(left + 2 * g + 41, row.top() + (h - image->height()) / 2, *image);
    p.setFont(PoolFontOr(256));
    p.setPen(band        ? FromColorRef(0xC80000)
             : available ? QColor(Qt::black)
                         : FromColorRef(0xC8C8C8));
    DrawElidedLine(p, QRect(textLeft, textTop, row.right() + 1 - textLeft, 15), item->text(0),
                   Qt::AlignLeft | Qt::AlignVCenter);
    p.restore();
}

void CTreeViewEx1::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    if (e->button() != Qt::LeftButton || !item) {
        QTreeWidget::mousePressEvent(e);
        return;
    }
    const TreeItemRecord* rec = GetItemRecord(item);
    if (rec && rec->count == 0) {
        e->accept(); // an unavailable row can be neither selected nor checked
        return;
    }
    if (IsGroupRow(item) && ExpandRect(item).contains(pos)) {
        item->setExpanded(!item->isExpanded());
        e->accept();
        return;
    }
    if (!CheckBoxRect(item).contains(pos)) {
        QTreeWidget::mousePressEvent(e);
        return;
    }
    const int newState = StateOf(item) == 1 ? 2 : 1;
    item->setData(0, kStateRole, newState);
    const int notified = newState == 2 ? 1 : 0;
    if (IsGroupRow(item)) {
        for (int i = 0; i < item->childCount(); ++i) {
            QTreeWidgetItem* child = item->child(i);
            if (StateOf(child) != newState)
                emit treeItemCheck(child, notified);
            child->setData(0, kStateRole, newState);
        }
    } else {
        RecomputeRootCheck();
        emit treeItemCheck(item, notified);
    }
    viewport()->update();
    e->accept();
}

void CTreeViewEx1::mouseDoubleClickEvent(QMouseEvent* e) {
    e->accept(); // double clicks neither expand nor collapse
}

void CTreeViewEx1::focusInEvent(QFocusEvent* e) {
    QTreeWidget::focusInEvent(e);
    viewport()->update();
}

void CTreeViewEx1::focusOutEvent(QFocusEvent* e) {
    QTreeWidget::focusOutEvent(e);
    viewport()->update();
}

void CTreeViewEx1::RecomputeRootCheck() {
    QTreeWidgetItem* root = topLevelItem(0);
    if (!root)
        return;
    int state = 2;
    for (int i = 0; i < root->childCount(); ++i) {
        const QTreeWidgetItem* child = root->child(i);
        const TreeItemRecord* r = GetItemRecord(child);
        if (r && r->count != 0 && StateOf(child) == 1) {
            state = 1;
            break;
        }
    }
    root->setData(0, kStateRole, state);
}

} // namespace skin
