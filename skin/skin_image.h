// Loading skin pictures and drawing frames of picture strips.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <vector>

class QPainter;

namespace skin {

// Loads a picture from a full path; a missing or broken file gives a null
// image, whose size reads as 0 and which draws nothing.
QImage LoadImageFile(const QString& path);

// Loads a skin picture by file name from the image folder.
QImage LoadSkinImage(const QString& fileName);

// Returns the width of one frame of a strip of frameCount frames (0 when the
// strip is empty or the count is not positive).
int StripFrameWidth(const QImage& strip, int frameCount);

// Returns the source rectangle of frame index of a strip of frameCount frames.
QRect StripFrameRect(const QImage& strip, int frameCount, int index);

// Draws frame index of a strip at a point, at its own size, with alpha.
void DrawStripFrame(QPainter& p, const QPoint& at, const QImage& strip, int frameCount, int index);

// The frames of an animated picture (a GIF) with the delay after each.
struct AnimatedPicture {
    std::vector<QImage> frames;
    std::vector<int> delaysMs;
};

// Loads every frame of an animated picture with its delay in milliseconds
// (100 when the file gives none); a missing or broken file gives no frames,
// a still picture one frame.
AnimatedPicture LoadAnimatedPicture(const QString& path);

} // namespace skin
