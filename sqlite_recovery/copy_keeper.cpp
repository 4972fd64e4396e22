// Keeping one copy per row: records carved without a rowid are merged with
// their copies, then dropped where they equal a record with a rowid or a
// live row of the current state, compared value by value with flags alike.
#include "sqlite_recovery/record_collector.h"

#include <algorithm>

#include "platform/side_task.h"
#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/flag_values.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

namespace {

// A sorted set of keys with a bit map in front: most keys asked for are not
// in it, and the map (a few bits per key, small enough to stay in cache)
// says so without the binary search's scattered reads.
class KeySet {
  public:
    // Takes the keys (in any order).
    explicit KeySet(std::vector<uint64_t> keys) : m_keys(std::move(keys)) {
        if (!std::is_sorted(m_keys.begin(), m_keys.end()))
            std::sort(m_keys.begin(), m_keys.end());
        size_t bits = 1 << 12;
        while (bits < 16 * m_keys.size() && bits < (size_t(1) << 27))
            bits <<= 1;
        m_mask = bits - 1;
        m_bits.assign(bits / 64, 0);
        for (uint64_t key : m_keys) {
            const uint64_t bit = (key >> 20) & m_mask;
            m_bits[bit / 64] |= uint64_t(1) << (bit % 64);
        }
    }

    bool contains(uint64_t key) const {
        const uint64_t bit = (key >> 20) & m_mask;
        return (m_bits[bit / 64] >> (bit % 64) & 1) != 0 &&
               std::binary_search(m_keys.begin(), m_keys.end(), key);
    }

  private:
    std::vector<uint64_t> m_keys;
    std::vector<uint64_t> m_bits;
    uint64_t m_mask = 0;
};

// Whether two values are equal, any two flags alike.
bool sameLoosely(const Value& a, const Value& b) {
    if (isFlag(a) || isFlag(b))
        return isFlag(a) && isFlag(b);
    return a == b;
}

} // namespace

bool RecordCollector::sameRow(const Candidate& a, const Candidate& b, Scratch& scratch) const {
    // Equal but for the rowid column and flags.
    if (a.table != b.table || a.key != b.key)
        return false;
    rowOf(a, &scratch.shape, &scratch.rowA);
    rowOf(b, &scratch.shape, &scratch.rowB);
    if (scratch.rowA.size() != scratch.rowB.size())
        return false;
    const int alias = m_tables[size_t(a.table)].aliasColumn;
    for (size_t i = 0; i < scratch.rowA.size(); ++i) {
        if (int(i) != alias && !sameLoosely(scratch.rowA[i], scratch.rowB[i]))
            return false;
    }
    return true;
}

bool RecordCollector::better(const Candidate& a, const Candidate& b) const {
    // A cell a page lists beats one found in free bytes (which may be an
    // older leftover even in a recent page); then the more recent version.
    if (a.evidence != b.evidence)
        return a.evidence > b.evidence;
    return a.rank > b.rank;
}

void RecordCollector::dropLiveCarvings() {
    // Records carved without a rowid, ordered by key (the best copy first):
    // copies of one row are merged, then each is compared by value with the
    // records that have a rowid and with every live row of its table.
    std::vector<uint32_t> carved;
    std::vector<bool> tableHasCarvings(m_tables.size(), false);
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        if (!m_candidates[i].rowid) {
            carved.push_back(uint32_t(i));
            tableHasCarvings[size_t(m_candidates[i].table)] = true;
        }
    }
    {
        // By key first, on pairs that compare fast; then each run of one
        // key (rarely more than one record) by strongest evidence, most
        // recent version and place found.
        std::vector<std::pair<uint64_t, uint32_t>> order;
        order.reserve(carved.size());
        for (uint32_t i : carved)
            order.emplace_back(m_candidates[i].key, i);
        std::sort(order.begin(), order.end());
        auto stronger = [&](const std::pair<uint64_t, uint32_t>& a,
                            const std::pair<uint64_t, uint32_t>& b) {
            const Candidate& x = m_candidates[a.second];
            const Candidate& y = m_candidates[b.second];
            if (x.evidence != y.evidence)
                return x.evidence > y.evidence;
            if (x.rank != y.rank)
                return x.rank > y.rank;
            return a.second < b.second;
        };
        for (size_t run = 0, end; run < order.size(); run = end) {
            end = run + 1;
            while (end < order.size() && order[end].first == order[run].first)
                ++end;
            if (end - run > 1)
                std::sort(order.begin() + long(run), order.begin() + long(end), stronger);
        }
        for (size_t k = 0; k < order.size(); ++k)
            carved[k] = order[k].second;
    }
    for (size_t run = 0; run < carved.size();) {
        size_t end = run + 1;
        while (end < carved.size() &&
               m_candidates[carved[end]].key == m_candidates[carved[run]].key)
            ++end;
        for (size_t i = run + 1; i < end; ++i) {
            for (size_t j = run; j < i && !m_candidates[carved[i]].dropped; ++j) {
                if (!m_candidates[carved[j]].dropped &&
                    sameRow(m_candidates[carved[j]], m_candidates[carved[i]], m_scratch))
                    m_candidates[carved[i]].dropped = true;
            }
        }
        run = end;
    }
    std::vector<uint64_t> carvedKeys;
    carvedKeys.reserve(carved.size());
    for (uint32_t i : carved)
        carvedKeys.push_back(m_candidates[i].key);
    // Calls drop(i) for every carving i that equals reference.
    auto matches = [&](const Candidate& reference, Scratch& scratch, auto&& drop) {
        auto [from, to] = std::equal_range(carvedKeys.begin(), carvedKeys.end(), reference.key);
        for (auto it = from; it != to; ++it) {
            const uint32_t i = carved[size_t(it - carvedKeys.begin())];
            const Candidate& other = m_candidates[i];
            if (&other != &reference && !other.dropped && sameRow(other, reference, scratch))
                drop(i);
        }
    };
    for (const Candidate& c : m_candidates) {
        if (c.rowid)
            matches(c, m_scratch, [&](uint32_t i) { m_candidates[i].dropped = true; });
    }

    const KeySet carvedKeySet(carvedKeys);
    if (m_liveRowsNoted) {
        // Every live row was keyed as its page was carved: only a row whose
        // key a carving has too is read again, to compare values.
        Candidate live;
        BtreeHeader header;
        for (const LiveRowKey& row : m_liveRows) {
            if (!tableHasCarvings[row.table] || !carvedKeySet.contains(row.key))
                continue;
            const ByteView view = m_current.page(row.page);
            int64_t rowid = 0;
            if (!view.data || !readBtreeHeader(view, row.page, m_usable, &header) ||
                !leafCellPayload(m_current, view, header, m_usable, row.cell, m_livePayload, &rowid,
                                 &live.bytes, &live.size))
                continue;
            live.table = row.table;
            live.rowid = rowid;
            live.key = row.key;
            matches(live, m_scratch, [&](uint32_t i) { m_candidates[i].dropped = true; });
        }
        std::vector<LiveRowKey>().swap(m_liveRows);
        return;
    }

    // Live rows are sifted by their texts, which costs a look at the header
    // and the texts alone; only those a carving shares are keyed whole, and
    // only a key a carving has too is worth reading the row's values for.
    // Carvings shorter than their table are signed over their own length;
    // a live row is signed at each such length. A table with a carving
    // that cannot be signed is not sifted.
    std::vector<uint64_t> texts;
    std::vector<std::vector<size_t>> lengths(m_tables.size());
    std::vector<bool> sifted(m_tables.size(), true);
    std::vector<uint64_t> signatures;
    const std::vector<size_t> none;
    // In the order found, which is the order the arena holds them in.
    for (const Candidate& c : m_candidates) {
        size_t columns = 0;
        if (c.rowid || c.dropped)
            continue;
        const Signature kind = textSignature(c.bytes, c.size, none, &signatures, &columns);
        if (kind == Signature::Signed) {
            texts.push_back(signatures.back());
            lengths[size_t(c.table)].push_back(columns);
        } else if (kind == Signature::None) {
            sifted[size_t(c.table)] = false;
        }
    }
    const KeySet carvedTexts(std::move(texts));
    for (std::vector<size_t>& l : lengths) {
        std::sort(l.begin(), l.end());
        l.erase(std::unique(l.begin(), l.end()), l.end());
    }
    // Whether a live record may equal a carving: its signatures meet theirs.
    auto mayEqualCarving = [&](size_t t, const uint8_t* bytes, size_t have,
                               std::vector<uint64_t>& itsSignatures) {
        size_t columns = 0;
        if (!sifted[t] ||
            textSignature(bytes, have, lengths[t], &itsSignatures, &columns) != Signature::Signed ||
            columns != m_tables[t].columns.size())
            return true;
        for (uint64_t signature : itsSignatures) {
            if (carvedTexts.contains(signature))
                return true;
        }
        return false;
    };
    // The leaves of each table with carvings are shared out between two
    // threads for a big table; what they find equal is dropped after both.
    auto siftLeaves = [&](size_t t, const uint32_t* leaves, size_t count, Scratch& scratch,
                          std::vector<uint32_t>& equal) {
        Candidate live;
        live.table = int(t);
        std::string payload;
        BtreeHeader header;
        for (size_t k = 0; k < count; ++k) {
            const ByteView view = m_current.page(leaves[k]);
            if (!view.data || !readBtreeHeader(view, leaves[k], m_usable, &header))
                continue;
            forEachLeafPayload(m_current, view, header, m_usable, payload,
                               [&](int64_t rowid, const uint8_t* bytes, size_t have) {
                                   uint64_t key = 0;
                                   if (!mayEqualCarving(t, bytes, have, scratch.signatures))
                                       return;
                                   if (payloadKey(int(t), bytes, have, &key) &&
                                       !carvedKeySet.contains(key))
                                       return;
                                   live.rowid = rowid;
                                   live.bytes = bytes;
                                   live.size = have;
                                   live.key = recordKey(int(t), bytes, have, rowid, scratch);
                                   matches(live, scratch, [&](uint32_t i) { equal.push_back(i); });
                               });
        }
    };
    VisitMarks marks;
    std::vector<uint32_t> leaves, equal, upperEqual;
    for (size_t t = 0; t < m_tables.size(); ++t) {
        // A dropped table has no live rows to walk.
        if (!tableHasCarvings[t] || m_tables[t].dropped)
            continue;
        leaves.clear();
        walkBtree(m_current, m_tables[t].rootPage, m_usable, marks,
                  [&](uint32_t page, ByteView, const BtreeHeader& header) {
                      if (header.type == kTableLeafPage)
                          leaves.push_back(page);
                  });
        const size_t half = leaves.size() / 2;
        if (leaves.size() >= 256 && SideTask::worthwhile()) {
            Scratch upperScratch;
            SideTask upper([&] {
                siftLeaves(t, leaves.data() + half, leaves.size() - half, upperScratch, upperEqual);
            });
            siftLeaves(t, leaves.data(), half, m_scratch, equal);
            upper.join();
        } else {
            siftLeaves(t, leaves.data(), leaves.size(), m_scratch, equal);
        }
        for (const std::vector<uint32_t>* found : {&equal, &upperEqual}) {
            for (uint32_t i : *found)
                m_candidates[i].dropped = true;
        }
        equal.clear();
        upperEqual.clear();
    }
}

} // namespace fennaro::deep
