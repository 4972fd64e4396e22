#include "sqlite_recovery/fts_segments.h"

namespace fennaro::deep {

namespace {

// No real term is longer than this; a longer one is damage.
constexpr uint64_t kMaxTermBytes = 1 << 20;
// Columns and positions beyond these are damage too.
constexpr uint64_t kMaxColumn = 1000;
constexpr uint64_t kMaxPosition = 1u << 30;

} // namespace

int readFtsVarint(const uint8_t* p, size_t avail, uint64_t* value) {
    // Low groups first; the tenth byte may carry only the top bit.
    uint64_t v = 0;
    for (int i = 0; i < 10; ++i) {
        if (size_t(i) >= avail)
            return 0;
        v |= uint64_t(p[i] & 0x7F) << (7 * i);
        if (!(p[i] & 0x80)) {
            *value = v;
            return i + 1;
        }
    }
    return 0;
}

bool decodeDoclist(const uint8_t* p, size_t size, std::vector<FtsPosting>* docs) {
    // docid (delta after the first), then positions: 0 ends the list, 1
    // starts another column, anything else is a position delta plus 2.
    docs->clear();
    size_t at = 0;
    int64_t docid = 0;
    while (at < size) {
        uint64_t delta = 0;
        const int n = readFtsVarint(p + at, size - at, &delta);
        if (n == 0 || (!docs->empty() && (delta == 0 || delta > uint64_t(INT64_MAX))))
            break;
        at += size_t(n);
        docid = docs->empty() ? int64_t(delta) : int64_t(uint64_t(docid) + delta);
        if (!docs->empty() && docid <= docs->back().docid)
            break;
        FtsPosting posting;
        posting.docid = docid;
        uint32_t column = 0;
        uint64_t position = 0;
        bool ended = false;
        while (at < size) {
            uint64_t v = 0;
            const int m = readFtsVarint(p + at, size - at, &v);
            if (m == 0)
                break;
            at += size_t(m);
            if (v == 0) {
                ended = true;
                break;
            }
            if (v == 1) {
                uint64_t c = 0;
                const int k = readFtsVarint(p + at, size - at, &c);
                if (k == 0 || c == 0 || c > kMaxColumn || c <= column)
                    break;
                at += size_t(k);
                column = uint32_t(c);
                position = 0;
                continue;
            }
            position += v - 2;
            if (position > kMaxPosition)
                break;
            posting.positions.push_back({column, uint32_t(position)});
        }
        if (!ended)
            break;
        docs->push_back(std::move(posting));
    }
    if (at != size || docs->empty()) {
        docs->clear();
        return false;
    }
    return true;
}

bool decodeSegmentLeaf(const uint8_t* p, size_t size, std::vector<FtsTermDocs>* terms) {
    // Height 0, then terms: the first whole, the others as a prefix of the
    // one before plus a suffix; each followed by its doclist's size and bytes.
    uint64_t height = 0;
    int n = readFtsVarint(p, size, &height);
    if (n == 0 || height != 0)
        return false;
    size_t at = size_t(n);
    std::vector<FtsTermDocs> found;
    std::string term;
    while (at < size) {
        uint64_t prefix = 0, suffix = 0;
        if (!found.empty()) {
            n = readFtsVarint(p + at, size - at, &prefix);
            if (n == 0 || prefix > term.size())
                return false;
            at += size_t(n);
        }
        n = readFtsVarint(p + at, size - at, &suffix);
        if (n == 0 || suffix > size - at - size_t(n) || prefix + suffix > kMaxTermBytes ||
            prefix + suffix == 0)
            return false;
        at += size_t(n);
        std::string next = term.substr(0, size_t(prefix));
        next.append(reinterpret_cast<const char*>(p + at), size_t(suffix));
        at += size_t(suffix);
        // Terms of a leaf are in ascending order, without repeats.
        if (!found.empty() && next <= term)
            return false;
        term = std::move(next);
        uint64_t length = 0;
        n = readFtsVarint(p + at, size - at, &length);
        if (n == 0 || length == 0 || length > size - at - size_t(n))
            return false;
        at += size_t(n);
        FtsTermDocs entry;
        entry.term = term;
        if (!decodeDoclist(p + at, size_t(length), &entry.docs))
            return false;
        at += size_t(length);
        found.push_back(std::move(entry));
    }
    if (found.empty())
        return false;
    terms->insert(terms->end(), std::make_move_iterator(found.begin()),
                  std::make_move_iterator(found.end()));
    return true;
}

} // namespace fennaro::deep
