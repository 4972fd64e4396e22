// The balloon drawn around one message: eight bitmap pieces, one set for
// received ("in_") and one for sent ("out_") messages.
#pragma once

#include <QRect>
#include <QString>
#include <vector>

class QPainter;

namespace skin {

constexpr int kBubbleReceived = 1;
constexpr int kBubbleSent = 2;

// One piece of a bubble frame: the file, the part of it copied and where.
struct BubblePiece {
    QString fileName;
    QRect source; // corners whole, edges a one-pixel slice
    QRect dest;   // edges are stretched along their side
};

// Returns the eight pieces of a bubble around (L, T, R, B) for a kind
// (1 received, any other value sent). Edges shorter than nothing get an
// empty destination.
std::vector<BubblePiece> BubblePieces(int left, int top, int right, int bottom, int kind);

// Returns the inner rectangle left for the message body.
QRect BubbleInnerRect(int left, int top, int right, int bottom, int kind);

// Draws the frame pieces of a kind around the rectangle, loading each piece
// from the image folder for this drawing; missing pieces are skipped.
void DrawBubbleFrame(QPainter& p, int left, int top, int right, int bottom, int kind);

} // namespace skin
