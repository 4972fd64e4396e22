// Reduces true-colour frames to one shared palette of at most 256 colours.
#pragma once

#include <QImage>
#include <QList>
#include <QRgb>
#include <QVector>

#include <cstdint>

// A palette with one index picture per input frame.
struct IndexedFrames {
    QVector<QRgb> palette;                // at most 256 opaque colours
    QList<QVector<std::uint8_t>> indexes; // one index per pixel, row by row, per frame
};

// Builds one palette for all frames (exact when they hold 256 colours or fewer, else by median
// cut that keeps each box's most frequent colour, so flat areas stay exact) and maps every pixel
// to its nearest palette entry. Alpha is ignored; all frames must have the same size.
IndexedFrames quantiseFrames(const QList<QImage>& frames);
