#include "colour_quantiser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

namespace {

struct ColourCount {
    QRgb colour;
    std::uint64_t count;
};

// One box of the median cut: a range of the colour list.
struct Box {
    std::size_t begin;
    std::size_t end;
};

// Returns channel c (0 red, 1 green, 2 blue) of a colour.
int channel(QRgb colour, int c) {
    return c == 0 ? qRed(colour) : (c == 1 ? qGreen(colour) : qBlue(colour));
}

// Returns the widest channel of a box and its extent.
std::pair<int, int> widestChannel(const std::vector<ColourCount>& colours, const Box& box) {
    std::array<int, 3> lo{255, 255, 255};
    std::array<int, 3> hi{0, 0, 0};
    for (std::size_t i = box.begin; i < box.end; ++i) {
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], channel(colours[i].colour, c));
            hi[c] = std::max(hi[c], channel(colours[i].colour, c));
        }
    }
    int best = 0;
    for (int c = 1; c < 3; ++c) {
        if (hi[c] - lo[c] > hi[best] - lo[best])
            best = c;
    }
    return {best, hi[best] - lo[best]};
}

// Splits boxes at their weighted median until there are `limit` boxes or none can be split.
std::vector<Box> medianCut(std::vector<ColourCount>& colours, std::size_t limit) {
    std::vector<Box> boxes{{0, colours.size()}};
    while (boxes.size() < limit) {
        // Split the box with the largest spread times the square root of its weight, so busy
        // gradients get more entries than a few stray edge pixels.
        std::size_t pick = boxes.size();
        double bestScore = 0;
        for (std::size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].end - boxes[b].begin < 2)
                continue;
            std::uint64_t weight = 0;
            for (std::size_t i = boxes[b].begin; i < boxes[b].end; ++i)
                weight += colours[i].count;
            const double score =
                widestChannel(colours, boxes[b]).second * std::sqrt(double(weight));
            if (score > bestScore) {
                bestScore = score;
                pick = b;
            }
        }
        if (pick == boxes.size())
            break;
        const Box box = boxes[pick];
        const int c = widestChannel(colours, box).first;
        std::sort(colours.begin() + box.begin, colours.begin() + box.end,
                  [c](const ColourCount& a, const ColourCount& b) {
                      return channel(a.colour, c) < channel(b.colour, c);
                  });
        std::uint64_t total = 0;
        for (std::size_t i = box.begin; i < box.end; ++i)
            total += colours[i].count;
        std::uint64_t running = 0;
        std::size_t cut = box.begin + 1;
        for (std::size_t i = box.begin; i < box.end - 1; ++i) {
            running += colours[i].count;
            cut = i + 1;
            if (running * 2 >= total)
                break;
        }
        boxes[pick] = {box.begin, cut};
        boxes.push_back({cut, box.end});
    }
    return boxes;
}

// Returns the squared distance of two colours.
int distance2(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

} // namespace

IndexedFrames quantiseFrames(const QList<QImage>& frames) {
    IndexedFrames result;
    std::unordered_map<QRgb, std::uint64_t> histogram;
    QList<QImage> rgbFrames;
    for (const QImage& frame : frames) {
        QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x)
                ++histogram[line[x] | 0xFF000000u];
        }
        rgbFrames.append(rgb);
    }
    std::vector<ColourCount> colours;
    colours.reserve(histogram.size());
    for (const auto& [colour, count] : histogram)
        colours.push_back({colour, count});
    std::sort(colours.begin(), colours.end(),
              [](const ColourCount& a, const ColourCount& b) { return a.colour < b.colour; });

    for (const Box& box : medianCut(colours, 256)) {
        const auto top = std::max_element(
            colours.begin() + box.begin, colours.begin() + box.end,
            [](const ColourCount& a, const ColourCount& b) { return a.count < b.count; });
        result.palette.append(top->colour);
    }

    std::unordered_map<QRgb, std::uint8_t> nearest;
    for (const ColourCount& cc : colours) {
        int best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        for (int i = 0; i < result.palette.size(); ++i) {
            const int d = distance2(cc.colour, result.palette[i]);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        nearest[cc.colour] = std::uint8_t(best);
    }
    for (const QImage& rgb : rgbFrames) {
        QVector<std::uint8_t> indexes;
        indexes.reserve(qsizetype(rgb.width()) * rgb.height());
        for (int y = 0; y < rgb.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x)
                indexes.append(nearest[line[x] | 0xFF000000u]);
        }
        result.indexes.append(indexes);
    }
    return result;
}
