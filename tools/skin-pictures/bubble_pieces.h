// The eight opaque pieces of each message bubble frame, received ("in_") and sent ("out_").
#pragma once

#include <QImage>
#include <QList>
#include <QString>

// One piece and the file name it is saved under.
struct BubblePiece {
    QString fileName;
    QImage image;
};

// Cuts the pieces of one bubble kind from a whole bubble drawn once: corners at their fixed
// sizes and one-pixel slices of the edges, on the message board's colour. Received bubbles
// have their tail at the bottom left, sent ones at the bottom right.
QList<BubblePiece> bubblePieces(bool sent);
