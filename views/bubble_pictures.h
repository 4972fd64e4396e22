// The sixteen bubble frame pieces, loaded once per board instead of at every
// painting, and drawn clipped to what can show, so scrolling a long
// conversation reads no files and a very tall bubble draws only its visible
// slice.
#pragma once

#include <QImage>
#include <QRect>
#include <map>

#include "skin/ui_helpers.h"

class QPainter;

namespace fennaro {

class BubblePictures {
  public:
    // Loads the "in_" and "out_" pieces from the image folder; missing ones
    // stay empty and are not drawn.
    BubblePictures();

    // Draws the frame of a kind around bubble; visible is the area that can
    // show, in the painter's coordinates.
    void drawFrame(QPainter& p, const skin::SkinRect& bubble, int kind, const QRect& visible) const;

    // The mark deleted records carry in the list ("deleted.png").
    const QImage& deletedMark() const { return m_deletedMark; }

  private:
    std::map<QString, QImage> m_pieces;
    QImage m_deletedMark;
};

} // namespace fennaro
