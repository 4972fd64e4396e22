#include "views/bubble_pictures.h"

#include "skin/bubble_frame.h"
#include "skin/skin_image.h"

#include <QPainter>

namespace fennaro {

BubblePictures::BubblePictures() {
    // The pieces' names come from the frame's own layout for each kind.
    for (int kind : {skin::kBubbleReceived, skin::kBubbleSent})
        for (const skin::BubblePiece& piece : skin::BubblePieces(0, 0, 100, 100, kind))
            m_pieces[piece.fileName] = skin::LoadSkinImage(piece.fileName);
    m_deletedMark = skin::LoadSkinImage(QStringLiteral("deleted.png"));
}

void BubblePictures::drawFrame(QPainter& p, const skin::SkinRect& bubble, int kind,
                               const QRect& visible) const {
    for (const skin::BubblePiece& piece :
         skin::BubblePieces(bubble.left, bubble.top, bubble.right, bubble.bottom, kind)) {
        const auto found = m_pieces.find(piece.fileName);
        if (found == m_pieces.end() || found->second.isNull() || piece.dest.isEmpty())
            continue;
        const QRect source = piece.source.intersected(found->second.rect());
        const QRect shown = piece.dest.intersected(visible);
        if (source.isEmpty() || shown.isEmpty())
            continue;
        // Map the shown part of the destination back onto the source, so a
        // stretched edge cut by the visible area keeps its scale.
        const qreal sx = qreal(source.width()) / piece.dest.width();
        const qreal sy = qreal(source.height()) / piece.dest.height();
        const QRectF from(source.left() + (shown.left() - piece.dest.left()) * sx,
                          source.top() + (shown.top() - piece.dest.top()) * sy, shown.width() * sx,
                          shown.height() * sy);
        p.drawImage(QRectF(shown), found->second, from);
    }
}

} // namespace fennaro
