#include "skin/bubble_frame.h"

#include "skin/skin_image.h"

#include <QPainter>

namespace skin {

namespace {

// Builds a rectangle from a corner and a size, clamping a negative size to 0.
QRect Box(int x, int y, int w, int h) {
    return QRect(x, y, qMax(0, w), qMax(0, h));
}

} // namespace

std::vector<BubblePiece> BubblePieces(int L, int T, int R, int B, int kind) {
    const int edgeW = R - L - 30;
    if (kind == kBubbleReceived) {
        const int edgeH = B - T - 33;
        return {
            {"in_lefttop.bmp", QRect(0, 0, 18, 15), Box(L, T, 18, 15)},
            {"in_leftbottom.bmp", QRect(0, 0, 18, 18), Box(L, B - 18, 18, 18)},
            {"in_righttop.bmp", QRect(0, 0, 12, 15), Box(R - 12, T, 12, 15)},
            {"in_rightbottom.bmp", QRect(0, 0, 12, 18), Box(R - 12, B - 18, 12, 18)},
            {"in_topline.bmp", QRect(0, 0, 1, 15), Box(L + 18, T, edgeW, 15)},
            {"in_bottomline.bmp", QRect(0, 0, 1, 18), Box(L + 18, B - 18, edgeW, 18)},
            {"in_leftline.bmp", QRect(0, 0, 18, 1), Box(L, T + 15, 18, edgeH)},
            {"in_rightline.bmp", QRect(0, 0, 12, 1), Box(R - 12, T + 15, 12, edgeH)},
        };
    }
    const int edgeH = B - T - 36;
    return {
        {"out_lefttop.bmp", QRect(0, 0, 12, 18), Box(L, T, 12, 18)},
        {"out_leftbottom.bmp", QRect(0, 0, 12, 18), Box(L, B - 18, 12, 18)},
        {"out_righttop.bmp", QRect(0, 0, 18, 18), Box(R - 18, T, 18, 18)},
        {"out_rightbottom.bmp", QRect(0, 0, 18, 18), Box(R - 18, B - 18, 18, 18)},
        {"out_topline.bmp", QRect(0, 0, 1, 18), Box(L + 12, T, edgeW, 18)},
        {"out_bottomline.bmp", QRect(0, 0, 1, 18), Box(L + 12, B - 18, edgeW, 18)},
        {"out_leftline.bmp", QRect(0, 0, 12, 1), Box(L, T + 18, 12, edgeH)},
        {"out_rightline.bmp", QRect(0, 0, 18, 1), Box(R - 18, T + 18, 18, edgeH)},
    };
}

QRect BubbleInnerRect(int L, int T, int R, int B, int kind) {
    if (kind == kBubbleReceived)
        return QRect(QPoint(L + 18, T + 15), QPoint(R - 12 - 1, B - 18 - 1));
    return QRect(QPoint(L + 12, T + 18), QPoint(R - 18 - 1, B - 18 - 1));
}

void DrawBubbleFrame(QPainter& p, int left, int top, int right, int bottom, int kind) {
    for (const BubblePiece& piece : BubblePieces(left, top, right, bottom, kind)) {
        if (piece.dest.isEmpty())
            continue;
        const QImage img = LoadSkinImage(piece.fileName);
        if (img.isNull())
            continue;
        // A piece smaller than its nominal size gives what it has.
        const QRect src = piece.source.intersected(img.rect());
        if (src.isEmpty())
            continue;
        p.drawImage(piece.dest, img, src);
    }
}

} // namespace skin
