// The three small drawing helpers the skin shares: a fresh font by face and
// height, a two-colour gradient fill, and the sub-rectangle used to place the
// sent message bubble.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>

class QPainter;

namespace skin {

// Left/top/right/bottom rectangle as the bubble code computes with it.
struct SkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Returns a new font of the face at a pixel height and weight (400 regular,
// 700 bold); the caller owns the value. A height of 0 or less gives 12.
QFont get_font(const QString& face, int height, int weight);

// Fills a rectangle with a gradient from start to end colour (0x00BBGGRR);
// mode 0 runs left to right, any other mode top to bottom.
void gradient_fillrect(QPainter& p, const QRect& rect, std::uint32_t startColor,
                       std::uint32_t endColor, int mode);

// Returns the rectangle shrunk by dx on the left and right and dy at the top
// and bottom; an inverted result collapses to an empty one.
SkinRect calc_subrect(SkinRect rect, int dx, int dy);

} // namespace skin
