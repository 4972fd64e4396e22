#include "gif_writer.h"

#include "colour_quantiser.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace {

// Appends a 16-bit little-endian value.
void putWord(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// Packs variable-width codes least significant bit first and cuts them into sub-blocks.
class CodeWriter {
  public:
    // Appends one code of `width` bits.
    void put(int code, int width) {
        bits_ |= std::uint32_t(code) << bitCount_;
        bitCount_ += width;
        while (bitCount_ >= 8) {
            bytes_.append(char(bits_ & 0xFF));
            bits_ >>= 8;
            bitCount_ -= 8;
        }
    }

    // Flushes the last partial byte and returns the data as sub-blocks with the terminator.
    QByteArray finish() {
        if (bitCount_ > 0)
            bytes_.append(char(bits_ & 0xFF));
        bits_ = 0;
        bitCount_ = 0;
        QByteArray blocks;
        for (qsizetype pos = 0; pos < bytes_.size(); pos += 255) {
            const qsizetype n = std::min<qsizetype>(255, bytes_.size() - pos);
            blocks.append(char(n));
            blocks.append(bytes_.mid(pos, n));
        }
        blocks.append('\0');
        return blocks;
    }

  private:
    QByteArray bytes_;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
};

// LZW-compresses one frame's palette indexes with the given minimum code size.
QByteArray lzwEncode(const QVector<std::uint8_t>& indexes, int minCodeSize) {
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    CodeWriter writer;
    // The dictionary maps (prefix code, next index) to the code of the longer string.
    std::unordered_map<std::uint32_t, int> dictionary;
    int codeSize = minCodeSize + 1;
    int lastCode = endCode;
    writer.put(clearCode, codeSize);
    int current = -1;
    bool wroteSinceClear = false;
    for (std::uint8_t index : indexes) {
        if (current < 0) {
            current = index;
            continue;
        }
        const std::uint32_t key = (std::uint32_t(current) << 8) | index;
        const auto found = dictionary.find(key);
        if (found != dictionary.end()) {
            current = found->second;
            continue;
        }
        writer.put(current, codeSize);
        wroteSinceClear = true;
        dictionary[key] = ++lastCode;
        if (lastCode >= (1 << codeSize))
            ++codeSize;
        if (lastCode == 4095) {
            // The table is full: start afresh so the decoder's table never overflows.
            writer.put(clearCode, codeSize);
            dictionary.clear();
            codeSize = minCodeSize + 1;
            lastCode = endCode;
            wroteSinceClear = false;
        }
        current = index;
    }
    if (current >= 0) {
        writer.put(current, codeSize);
        // Reading this last code makes the decoder add the entry it still owes; if that fills
        // the current code width it widens before reading the end code, so widen here too.
        if (wroteSinceClear && lastCode + 1 == (1 << codeSize) && codeSize < 12)
            ++codeSize;
    }
    writer.put(endCode, codeSize);
    QByteArray out;
    out.append(char(minCodeSize));
    out.append(writer.finish());
    return out;
}

} // namespace

QByteArray encodeGif(const QList<GifFrame>& frames) {
    if (frames.isEmpty())
        return {};
    const QSize size = frames.first().image.size();
    if (size.isEmpty() || size.width() > 65535 || size.height() > 65535)
        return {};
    QList<QImage> images;
    for (const GifFrame& frame : frames) {
        if (frame.image.size() != size)
            return {};
        images.append(frame.image);
    }
    const IndexedFrames indexed = quantiseFrames(images);

    // The colour table holds 2^bits entries; unused ones are black.
    int tableBits = 1;
    while ((1 << tableBits) < indexed.palette.size())
        ++tableBits;
    const int minCodeSize = std::max(2, tableBits);

    QByteArray out("GIF89a");
    putWord(out, size.width());
    putWord(out, size.height());
    out.append(char(0x80 | ((tableBits - 1) << 4) | (tableBits - 1)));
    out.append('\0'); // background colour index
    out.append('\0'); // no aspect ratio
    for (int i = 0; i < (1 << tableBits); ++i) {
        const QRgb c = i < indexed.palette.size() ? indexed.palette[i] : qRgb(0, 0, 0);
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    // Loop forever.
    out.append("\x21\xFF\x0B"
               "NETSCAPE2.0"
               "\x03\x01",
               16);
    putWord(out, 0);
    out.append('\0');

    for (qsizetype f = 0; f < frames.size(); ++f) {
        // Graphic control extension: keep the frame in place (disposal 1), no transparency.
        out.append("\x21\xF9\x04\x04", 4);
        putWord(out, std::clamp(frames[f].delayCentiseconds, 0, 65535));
        out.append('\0');
        out.append('\0');
        // Image descriptor: the whole screen, no local table, not interlaced.
        out.append('\x2C');
        putWord(out, 0);
        putWord(out, 0);
        putWord(out, size.width());
        putWord(out, size.height());
        out.append('\0');
        out.append(lzwEncode(indexed.indexes[f], minCodeSize));
    }
    out.append('\x3B');
    return out;
}

bool writeGif(const QString& path, const QList<GifFrame>& frames) {
    const QByteArray data = encodeGif(frames);
    if (data.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size() && file.flush();
}
