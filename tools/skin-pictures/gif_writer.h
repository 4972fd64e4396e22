// A small GIF89a encoder for looping animations (Qt can read GIF but not write it).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

// One frame of an animation and how long it stays, in hundredths of a second.
struct GifFrame {
    QImage image;
    int delayCentiseconds = 10;
};

// Encodes frames of equal size as a GIF89a that loops forever: one global palette of at most
// 256 colours, a graphic control extension with the delay before every frame, LZW image data.
// Returns an empty array when there are no frames or their sizes differ or exceed 65535.
QByteArray encodeGif(const QList<GifFrame>& frames);

// Encodes the frames and writes them to path; returns false when encoding or writing fails.
bool writeGif(const QString& path, const QList<GifFrame>& frames);
