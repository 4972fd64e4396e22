#include "skin/skin_image.h"

#include "skin/image_path.h"

#include <QImageReader>
#include <QPainter>

namespace skin {

QImage LoadImageFile(const QString& path) {
    QImageReader reader(path);
    QImage img;
    if (!reader.read(&img))
        return QImage();
    if (img.format() != QImage::Format_ARGB32_Premultiplied)
        img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return img;
}

QImage LoadSkinImage(const QString& fileName) {
    return LoadImageFile(MakeImagePath(fileName));
}

int StripFrameWidth(const QImage& strip, int frameCount) {
    if (strip.isNull() || frameCount <= 0)
        return 0;
    return strip.width() / frameCount;
}

QRect StripFrameRect(const QImage& strip, int frameCount, int index) {
    const int w = StripFrameWidth(strip, frameCount);
    return QRect(index * w, 0, w, strip.isNull() ? 0 : strip.height());
}

void DrawStripFrame(QPainter& p, const QPoint& at, const QImage& strip, int frameCount, int index) {
    const QRect src = StripFrameRect(strip, frameCount, index);
    if (src.isEmpty() || src.right() >= strip.width())
        return;
    p.drawImage(at, strip, src);
}

AnimatedPicture LoadAnimatedPicture(const QString& path) {
    AnimatedPicture result;
    QImageReader reader(path);
    // Broken files can claim endless frames; a cap keeps loading bounded.
    constexpr int kMaxFrames = 1000;
    while (int(result.frames.size()) < kMaxFrames) {
        QImage frame;
        if (!reader.read(&frame))
            break;
        const int delay = reader.nextImageDelay();
        result.frames.push_back(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        result.delaysMs.push_back(delay > 0 ? delay : 100);
        if (!reader.supportsAnimation() || reader.imageCount() == 1)
            break;
    }
    return result;
}

} // namespace skin
