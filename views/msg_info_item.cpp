#include "views/msg_info_item.h"

#include "skin/bubble_frame.h"
#include "skin/font_pool.h"
#include "skin/text_draw.h"
#include "views/board_colors.h"
#include "views/board_find.h"
#include "views/bubble_pictures.h"
#include "views/msg_info_board.h"
#include "views/paint_range.h"

#include <QPainter>
#include <QtMath>
#include <algorithm>

namespace fennaro {

namespace {

// A sent bubble sits right below the header band, where the item's height
// (body + 66) leaves it room; placed any lower, its bottom would fall outside
// the item and the message would not show.
constexpr int kSentBubbleTop = kMsgHeaderHeight;

// Returns the fill of an item's inner rectangle.
QColor bubbleFill(const CMsgInfoItem& item) {
    if (item.kind == kMsgKindReceived)
        return kReceivedBubbleFill;
    return item.alternateColour ? kSentBubbleAlternateFill : kSentBubbleFill;
}

} // namespace

QRect CMsgInfoItem::innerRect() const {
    return skin::BubbleInnerRect(bubble.left, bubble.top, bubble.right, bubble.bottom, kind);
}

MsgItemFonts::MsgItemFonts() : measuring(skin::PoolFontOr(512)), drawing(skin::PoolFontOr(256)) {}

CMsgInfoItem layoutMsgInfoItem(MsgItemFonts& fonts, QString header, QString body, int kind, int y) {
    CMsgInfoItem item;
    item.header = std::move(header);
    item.body = std::move(body);
    item.kind = kind == kMsgKindReceived ? kMsgKindReceived : kMsgKindSent;
    item.y = y;
    item.oneLineWidth = qCeil(oneLineWidth(fonts.measuring, item.body));
    item.textWidth = std::min(item.oneLineWidth, kMaxBubbleTextWidth);
    const int t = item.textWidth;
    // The bubble's sides first: they fix the inner width the body wraps to.
    if (item.kind == kMsgKindReceived)
        item.bubble = {0, kMsgHeaderHeight, t + 30, 0};
    else
        item.bubble = {kMsgItemWidth - t - 31, kSentBubbleTop, kMsgItemWidth, 0};
    const int innerWidth =
        skin::BubbleInnerRect(item.bubble.left, 0, item.bubble.right, 100, item.kind).width();
    item.lines = wrapWords(fonts.drawing, item.body, innerWidth);
    item.lineHeight = QFontMetrics(fonts.drawing.font()).height();
    // The body's height m; a huge body is held at a height the board refuses.
    const long long m = std::min<long long>(
        static_cast<long long>(item.lines.size()) * item.lineHeight, kMaxMsgContentHeight);
    if (item.kind == kMsgKindReceived) {
        item.bubble.bottom = static_cast<int>(m + 63);
        item.height = static_cast<int>(m + 63);
    } else {
        item.bubble.bottom = static_cast<int>(item.bubble.top + m + 36);
        item.height = static_cast<int>(m + 66);
    }
    return item;
}

int addMessageItem(CMsgInfoBoard* board, std::string_view header, std::string_view body, int kind) {
    if (!board || body.empty())
        return 0;
    const int y = board->nextItemY();
    CMsgInfoItem item = layoutMsgInfoItem(
        board->itemFonts(), QString::fromUtf8(header.data(), qsizetype(header.size())),
        QString::fromUtf8(body.data(), qsizetype(body.size())), kind, y);
    if (static_cast<long long>(item.y) + item.height > kMaxMsgContentHeight)
        return 0;
    board->appendItem(std::move(item));
    return 1;
}

void paintDeletedMarks(QPainter& p, const CMsgInfoItem& item, int left, int top,
                       const BubblePictures& pictures, const QRect& visible) {
    const skin::SkinRect& b = item.bubble;
    const QRect bubble(left + b.left, top + b.top, b.right - b.left, b.bottom - b.top);
    if (!bubble.adjusted(-2, -2, 2, 2).intersects(visible))
        return;
    p.save();
    p.setClipRect(visible);
    p.setPen(QPen(kDeletedEdgeColor, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(bubble).adjusted(1, 1, -1, -1), 6, 6);
    // The trash mark stands beside the bubble, on the side away from its
    // sender's edge, level with its top.
    const QImage& mark = pictures.deletedMark();
    if (!mark.isNull()) {
        const int x =
            item.kind == kMsgKindReceived ? bubble.right() + 4 : bubble.left() - 4 - mark.width();
        p.drawImage(QPoint(x, bubble.top() + 2), mark);
    }
    p.restore();
}

void paintMsgInfoItem(QPainter& p, const CMsgInfoItem& item, int left, int top, MsgItemFonts& fonts,
                      const BubblePictures& pictures, const QRect& visible,
                      const ItemHighlight* highlight) {
    const QRect shownItem = QRect(left, top, item.width, item.height) & visible;
    if (shownItem.isEmpty())
        return;
    p.fillRect(shownItem, kMsgBoardBackground);
    p.setFont(fonts.drawing.font());
    p.setPen(kMessageTextColor);
    const QRect band(left, top, item.width, kMsgHeaderHeight);
    if (!item.header.isEmpty() && band.intersects(visible))
        skin::DrawElidedLine(p, band, item.header, Qt::AlignCenter);
    if (item.body.isEmpty())
        return;
    const skin::SkinRect& b = item.bubble;
    pictures.drawFrame(p, {left + b.left, top + b.top, left + b.right, top + b.bottom}, item.kind,
                       visible);
    const QRect inner = item.innerRect().translated(left, top);
    p.fillRect(inner & visible, bubbleFill(item));
    // Lines are placed by arithmetic from the inner top, so only the few that
    // show are touched, however long the body.
    const auto [first, last] = visibleRows(inner & visible, inner.top(), item.lineHeight,
                                           static_cast<int>(item.lines.size()));
    for (int i = first; i < last; ++i) {
        const long long lineTop = inner.top() + static_cast<long long>(i) * item.lineHeight;
        const QRect line(inner.left(), static_cast<int>(lineTop), inner.width(), item.lineHeight);
        const QString text = shownLineText(item.body, item.lines[static_cast<size_t>(i)]);
        if (highlight)
            paintLineHighlights(p, line, text, fonts.drawing.metrics(), *highlight);
        p.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                   text);
    }
    if (item.deleted)
        paintDeletedMarks(p, item, left, top, pictures, visible);
}

} // namespace fennaro
