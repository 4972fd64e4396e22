// The GIF encoder: what it writes must read back, pixel for pixel, through Qt's own reader.
#include "gif_writer.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <vector>

namespace {

// The frames, delays and loop count of a decoded GIF.
struct Decoded {
    QList<QImage> frames;
    QList<int> delaysMs;
    int loopCount = 0;
};

// Reads every frame and delay of a GIF held in memory with Qt's reader.
Decoded decode(const QByteArray& data) {
    Decoded out;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    out.loopCount = reader.loopCount();
    for (;;) {
        QImage frame = reader.read();
        if (frame.isNull())
            break;
        out.frames.append(frame.convertToFormat(QImage::Format_RGB32));
        out.delaysMs.append(reader.nextImageDelay());
    }
    return out;
}

// Decodes the LZW data of the first image of a GIF by the letter of the format and returns the
// number of pixels read before the end code, or -1 when a code is out of place or the end code
// is missing or read at the wrong width. Stricter than Qt, which stops once a frame is full.
int strictPixelCount(const QByteArray& gif) {
    const auto byte = [&](qsizetype i) { return i < gif.size() ? int(quint8(gif[i])) : -1; };
    qsizetype pos = 13;
    if (byte(10) & 0x80)
        pos += 3 * (1 << ((byte(10) & 7) + 1));
    while (byte(pos) == 0x21) { // extensions: label, then sub-blocks
        pos += 2;
        while (byte(pos) > 0)
            pos += byte(pos) + 1;
        ++pos;
    }
    if (byte(pos) != 0x2C)
        return -1;
    pos += 10;
    const int minCodeSize = byte(pos++);
    QByteArray data;
    while (byte(pos) > 0) {
        data.append(gif.mid(pos + 1, byte(pos)));
        pos += byte(pos) + 1;
    }
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    int codeSize = minCodeSize + 1;
    int nextCode = endCode + 1;
    std::vector<int> lengths(4096, 0);
    for (int i = 0; i < clearCode; ++i)
        lengths[i] = 1;
    int previous = -1;
    int pixels = 0;
    qint64 bit = 0;
    while (bit + codeSize <= qint64(data.size()) * 8) {
        int code = 0;
        for (int b = 0; b < codeSize; ++b, ++bit)
            code |= ((quint8(data[bit / 8]) >> (bit % 8)) & 1) << b;
        if (code == clearCode) {
            codeSize = minCodeSize + 1;
            nextCode = endCode + 1;
            previous = -1;
            continue;
        }
        if (code == endCode)
            return pixels;
        if (code > nextCode || (code == nextCode && previous < 0) ||
            (code >= clearCode && code != nextCode && lengths[code] == 0))
            return -1;
        const int length = code == nextCode ? lengths[previous] + 1 : lengths[code];
        pixels += length;
        if (previous >= 0 && nextCode < 4096) {
            lengths[nextCode] = lengths[previous] + 1;
            ++nextCode;
            if (nextCode == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        previous = code;
    }
    return -1;
}

// Returns an image of the given size filled by a function of (x, y).
template <typename F>
QImage makeImage(int w, int h, F colourAt) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colourAt(x, y));
    return image;
}

// Counts pixels that differ between two images of the same size.
int differingPixels(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += (a.pixel(x, y) | 0xFF000000u) != (b.pixel(x, y) | 0xFF000000u);
    return n;
}

} // namespace

TEST(GifWriter, FewColoursRoundTripExactlyWithDelaysAndLooping) {
    const QRgb colours[] = {qRgb(255, 255, 255), qRgb(20, 70, 110), qRgb(189, 58, 6)};
    QList<GifFrame> frames;
    for (int f = 0; f < 3; ++f) {
        frames.append({makeImage(37, 11, [&](int x, int y) { return colours[(x + y + f) % 3]; }),
                       5 + f * 10});
    }
    const Decoded decoded = decode(encodeGif(frames));
    ASSERT_EQ(decoded.frames.size(), 3);
    EXPECT_EQ(decoded.loopCount, -1); // forever
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(decoded.frames[f].size(), QSize(37, 11));
        EXPECT_EQ(differingPixels(decoded.frames[f], frames[f].image), 0) << "frame " << f;
        EXPECT_EQ(decoded.delaysMs[f], (5 + f * 10) * 10);
    }
}

TEST(GifWriter, NoisyFullPaletteFillsTheCodeTableAndStillRoundTrips) {
    // 256 grey levels of noise force every code width up to 12 bits and several table resets;
    // sizes around the width changes put the end code right after a code-width change.
    QRandomGenerator random(7);
    QList<QSize> sizes{{1, 1}, {2, 1}, {3, 1}, {300, 200}};
    for (int w = 250; w <= 262; ++w) // one code per pixel: the width reaches 9 bits around here
        sizes.append({w, 1});
    for (int w = 760; w <= 772; ++w) // and 10 bits around here
        sizes.append({w, 1});
    for (const QSize size : sizes) {
        const int w = size.width();
        QList<GifFrame> frames;
        frames.append({makeImage(w, size.height(),
                                 [&](int, int) {
                                     const int v = int(random.bounded(256));
                                     return qRgb(v, v, v);
                                 }),
                       4});
        const QByteArray data = encodeGif(frames);
        const Decoded decoded = decode(data);
        ASSERT_EQ(decoded.frames.size(), 1) << "width " << w;
        EXPECT_EQ(differingPixels(decoded.frames[0], frames[0].image), 0) << "width " << w;
        EXPECT_EQ(strictPixelCount(data), frames[0].image.width() * frames[0].image.height())
            << "width " << w;
    }
}

TEST(GifWriter, ManyColoursAreReducedButFlatAreasStayExact) {
    // A smooth gradient with far more than 256 colours next to a flat block.
    QList<GifFrame> frames;
    frames.append({makeImage(200, 100,
                             [](int x, int y) {
                                 return x < 100 ? qRgb(x * 2, y * 2, 255 - x) : qRgb(238, 244, 248);
                             }),
                   10});
    const Decoded decoded = decode(encodeGif(frames));
    ASSERT_EQ(decoded.frames.size(), 1);
    EXPECT_EQ(decoded.frames[0].pixel(150, 50) | 0xFF000000u, qRgb(238, 244, 248));
    const QRgb src = frames[0].image.pixel(40, 60);
    const QRgb got = decoded.frames[0].pixel(40, 60);
    EXPECT_LE(std::abs(qRed(src) - qRed(got)) + std::abs(qGreen(src) - qGreen(got)) +
                  std::abs(qBlue(src) - qBlue(got)),
              40);
}

TEST(GifWriter, RefusesNoFramesAndFramesOfDifferentSizes) {
    EXPECT_TRUE(encodeGif({}).isEmpty());
    QList<GifFrame> frames{{QImage(4, 4, QImage::Format_RGB32), 1},
                           {QImage(5, 4, QImage::Format_RGB32), 1}};
    frames[0].image.fill(Qt::white);
    frames[1].image.fill(Qt::white);
    EXPECT_TRUE(encodeGif(frames).isEmpty());
    EXPECT_TRUE(encodeGif({{QImage(), 1}}).isEmpty());
}
