// The record scanners behind the four carvers: they walk a working buffer
// that holds one freeblock or one unallocated gap and report every record
// they recognise as the raw bytes of the wanted columns.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "record_header.h"

namespace fennaro {

// Size of the working buffer the carvers read a freeblock or gap into.
constexpr size_t kCarveBufferSize = 65535;

// The carvers' working buffer: kCarveBufferSize usable bytes followed by
// zeros, so every look-ahead past the end (varints, window tests, columns
// read relative to a candidate) reads 0 instead of foreign memory.
class CarveBuffer {
  public:
    CarveBuffer();

    // Makes the first len bytes writable for a read and all later bytes zero;
    // returns where to read them to. Only the bytes the previous fill used are
    // cleared again, which keeps a run over many small freeblocks cheap.
    unsigned char* prepare(size_t len);
    const unsigned char* data() const { return m_bytes.get(); }

    // Byte i, or 0 at and beyond the usable end.
    unsigned char at(int64_t i) const {
        return i >= 0 && i < int64_t(kCarveBufferSize) ? m_bytes[size_t(i)] : 0;
    }

    // Copies len bytes at pos, or gives an empty value when they would end
    // beyond the usable end.
    std::string column(int64_t pos, int64_t len) const;

    // Scanners index up to twice the usable size (a candidate starts inside
    // the gap and may run to its length again), plus a varint's look-ahead.
    static constexpr size_t kPaddedSize = 2 * kCarveBufferSize + 64;

  private:
    std::unique_ptr<unsigned char[]> m_bytes;
    size_t m_dirty = 0;
};

// Which columns a scanner keeps, and how many the table has.
template <size_t K>
struct RecordLayout {
    std::array<int, K> wanted;
    int columnCount;
};

// How a freeblock scanner finds the next record after one it took: skip the
// 4 bytes of payload length and rowid, then one more if the following byte
// can be the next header's size (at least the column count for contact rows,
// strictly more than it for messages).
enum class HeaderSizeSkip { AtLeastColumnCount, MoreThanColumnCount };

// One record's serial-type run as it is read: where the body starts, and the
// offset and width of each wanted column within the body.
template <size_t K>
class RecordCursor {
  public:
    RecordCursor(const CarveBuffer& buf, const RecordLayout<K>& layout, int64_t start)
        : m_buf(&buf), m_layout(&layout), m_bodyStart(start) {}

    // Reads the next serial type and returns the bytes it adds to the record
    // (its varint plus the column's width).
    int64_t readSerialType() {
        uint32_t serialType = 0;
        int n = readVarint32(m_buf->data() + m_bodyStart, &serialType);
        if (n == 0)
            n = 1;
        m_bodyStart += n;
        int w = calculateDataWidth(serialType);
        for (size_t k = 0; k < K; ++k) {
            if (m_layout->wanted[k] == m_columns) {
                m_offset[k] = m_widths;
                m_length[k] = w;
            }
        }
        m_widths += w;
        ++m_columns;
        return n + int64_t(w);
    }

    bool complete() const { return m_columns == m_layout->columnCount; }

    // The wanted columns' bytes, relative to the body start.
    std::array<std::string, K> values() const {
        std::array<std::string, K> v;
        for (size_t k = 0; k < K; ++k)
            v[k] = m_buf->column(m_bodyStart + m_offset[k], m_length[k]);
        return v;
    }

  private:
    const CarveBuffer* m_buf;
    const RecordLayout<K>* m_layout;
    int64_t m_bodyStart;
    int64_t m_widths = 0;
    int m_columns = 0;
    std::array<int64_t, K> m_offset{}, m_length{};
};

// Scans one freeblock of carved length L (1 to kCarveBufferSize) held at the
// start of buf, calling emit(std::array<std::string, K>) per record in order.
template <size_t K, typename Emit>
void scanFreeblock(const CarveBuffer& buf, int64_t L, const RecordLayout<K>& layout,
                   HeaderSizeSkip skip, Emit&& emit) {
    int64_t R = 0;
    RecordCursor<K> record(buf, layout, 0);
    for (;;) {
        R += record.readSerialType();
        if (record.complete()) {
            if (R > L)
                return;
            emit(record.values());
            int64_t next = R + 4;
            int64_t nextByte = buf.at(next);
            bool headerSize = skip == HeaderSizeSkip::AtLeastColumnCount
                                  ? nextByte >= layout.columnCount
                                  : nextByte > layout.columnCount;
            if (headerSize)
                ++next;
            R = next;
            record = RecordCursor<K>(buf, layout, next);
        }
        if (R >= L)
            return;
    }
}

// Parses one gap candidate starting at X: reads up to columnCount serial
// types while the running record length stays below G. Emits the record when
// all serial types were read; returns the record length E.
template <size_t K, typename Emit>
int64_t parseGapCandidate(const CarveBuffer& buf, int64_t X, int64_t G,
                          const RecordLayout<K>& layout, Emit&& emit) {
    int64_t E = 0;
    RecordCursor<K> record(buf, layout, X);
    while (!record.complete() && E < G)
        E += record.readSerialType();
    if (record.complete())
        emit(record.values());
    return E;
}

// Scans a contacts gap of G bytes: a candidate has data1Column one-byte
// serial types of at most 7 followed by a text serial type.
template <typename Emit>
void scanContactGap(const CarveBuffer& buf, int64_t G, const RecordLayout<2>& layout,
                    int data1Column, Emit&& emit) {
    const unsigned char* p = buf.data();
    // okFrom..scanned is a run of bytes all <= 7; a window passes when it
    // lies inside such a run. A byte above 7 at j fails every window that
    // holds it, so the scan may move straight past it: no candidate is lost.
    int64_t okFrom = 0, scanned = 0;
    int64_t X = 0;
    while (X < G) {
        if (X + data1Column >= G)
            return;
        if (scanned < X)
            okFrom = scanned = X;
        while (scanned < X + data1Column) {
            if (p[scanned] > 7)
                okFrom = scanned + 1;
            ++scanned;
        }
        if (okFrom > X) {
            X = okFrom;
            continue;
        }
        if (checkDataType(p[X + data1Column]) != kTextClass) {
            ++X;
            continue;
        }
        int64_t E = parseGapCandidate(buf, X, G, layout, emit);
        X += E < G ? E : 1;
    }
}

// Scans a messages gap of G bytes: a candidate has two small serial types,
// a text address, seven small serial types, and a text at bodyColumn.
template <typename Emit>
void scanSmsGap(const CarveBuffer& buf, int64_t G, const RecordLayout<3>& layout, int bodyColumn,
                Emit&& emit) {
    const unsigned char* p = buf.data();
    int64_t X = 0;
    while (X < G) {
        if (X + 11 >= G)
            return;
        bool candidate = p[X] <= 7 && p[X + 1] <= 7 && checkDataType(p[X + 2]) == kTextClass;
        for (int i = 3; candidate && i <= 9; ++i)
            candidate = p[X + i] <= 7;
        if (!candidate || checkDataType(buf.at(X + bodyColumn)) != kTextClass) {
            ++X;
            continue;
        }
        int64_t E = parseGapCandidate(buf, X, G, layout, emit);
        X += E < G ? E : 1;
    }
}

} // namespace fennaro
