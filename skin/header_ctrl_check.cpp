#include "skin/header_ctrl_check.h"

#include "skin/font_pool.h"
#include "skin/skin_color.h"
#include "skin/skin_image.h"
#include "skin/skin_messages.h"
#include "skin/text_draw.h"

#include <QCheckBox>
#include <QPainter>

namespace skin {

CHeaderCtrlCheck::CHeaderCtrlCheck(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignCenter);
    setFixedHeight(height_);
    LoadImages();
    checkAll_ = new QCheckBox(this);
    checkAll_->setGeometry(5, 7, 14, 14);
    checkAll_->setFocusPolicy(Qt::NoFocus);
    // The box's new state goes to the list, which checks or unchecks its rows.
    connect(checkAll_, &QCheckBox::clicked, this,
            [this](bool checked) { emit headerCheckAll(checked ? 1 : 0); });
}

void CHeaderCtrlCheck::LoadImages() {
    background_ = LoadSkinImage(QStringLiteral("list_hearder.bmp"));
    ascendingImage_ = LoadSkinImage(QStringLiteral("inc.png"));
    descendingImage_ = LoadSkinImage(QStringLiteral("dec.png"));
    viewport()->update();
}

void CHeaderCtrlCheck::SetSortState(int column, int ascending) {
    sortColumn_ = column;
    ascending_ = ascending ? 1 : 0;
    viewport()->update();
}

bool CHeaderCtrlCheck::IsCheckAll() const {
    return checkAll_->isChecked();
}

void CHeaderCtrlCheck::SetCheckAll(bool checked) {
    const QSignalBlocker block(checkAll_);
    checkAll_->setChecked(checked);
}

QSize CHeaderCtrlCheck::sizeHint() const {
    return QSize(QHeaderView::sizeHint().width(), height_);
}

void CHeaderCtrlCheck::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QRect all = viewport()->rect();
    // The background is one column of the picture stretched over the header.
    if (background_.width() > 2)
        p.drawImage(all, background_, QRect(2, 0, 1, background_.height()));
    else
        p.fillRect(all, Qt::white);
    p.setFont(PoolFontOr(256));
    p.setPen(FromColorRef(0xD2D2D2));
    p.drawLine(0, 0, 0, all.height() - 1);
    const QAbstractItemModel* m = model();
    const int n = count();
    for (int visual = 0; visual < n; ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical))
            continue;
        const QRect item(sectionViewportPosition(logical), 0, sectionSize(logical), all.height());
        p.setPen(FromColorRef(0xD2D2D2));
        if (visual > 0)
            p.drawLine(item.left(), 1, item.left(), item.bottom());
        const QString text = m ? m->headerData(logical, Qt::Horizontal).toString() : QString();
        p.setPen(Qt::black);
        DrawElidedLine(p, item, text, Qt::AlignCenter);
        if (logical == sortColumn_) {
            const QImage& arrow = ascending_ ? ascendingImage_ : descendingImage_;
            if (!arrow.isNull())
                p.drawImage(item.right() + 1 - 20, (item.height() - arrow.height()) / 2, arrow);
        }
    }
}

} // namespace skin
