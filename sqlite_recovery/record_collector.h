// Collects what the page carver finds into one report per deleted row: a
// row seen in several page versions is kept once, from the best version; a
// row live in the current state is dropped (by rowid, or, for records
// carved without their rowid, by values); a record without any value is
// dropped.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/byte_arena.h"
#include "sqlite_recovery/record_sink.h"
#include "sqlite_recovery/schema_reader.h"

namespace fennaro::deep {

class RecordCollector : public RecordSink {
  public:
    RecordCollector(const std::vector<TableInfo>& tables, const PageReader& current,
                    uint32_t usableSize, uint32_t textEncoding);

    // What is kept of one table: whether it is reported at all, its
    // columns (by index, in the order reported; all when empty), and
    // whether only rows with their rowid are. By default every column of
    // every table, carved or not.
    struct TableChoice {
        bool wanted = true;
        std::vector<int> columns;
        bool rowidsOnly = false;
    };
    // Takes one choice per table (ignored unless it names every table).
    void select(std::vector<TableChoice> choices);
    bool wants(int table) const { return m_choices[size_t(table)].wanted; }

    void add(const FoundRecord& record, const VersionInfo& version) override;

    // From now on, keys the live rows of every leaf noteLiveLeaf is given:
    // the carvings that equal a live row are then found without walking
    // every table again. Only when every live leaf of the wanted tables is
    // given (and the rows fit in a bounded budget) is the walk left out.
    void startNotingLiveRows();
    // Makes room for what `pages` pages are likely to give, so that the
    // lists are not copied over and over as they grow.
    void expectPages(uint32_t pages);
    // A leaf of the current state that table `table` owns.
    void noteLiveLeaf(int table, uint32_t page, ByteView view, const BtreeHeader& header);

    // Takes what another collector of the same scan (same tables, state and
    // selection) found on later pages, as if this one had found it next.
    void absorb(RecordCollector&& other);

    // Drops carved records that equal a live row or a record with a rowid,
    // and returns the rest, ordered by table, rowid and place.
    std::vector<RecoveredRecord> finish();
    // finish() for a caller that wants each record once: every record is
    // handed to visit in that order, in one RecoveredRecord that visit may
    // take values from, and none is kept.
    void finishEach(const RecordVisitor& visitor);

  private:
    struct Candidate {
        // The record as found: its header (rebuilt when the cell lost its
        // first bytes), then its body, shorter when an overflow chain was cut.
        // Kept in the arena (a live row's in the page it is read from).
        const uint8_t* bytes = nullptr;
        size_t size = 0;
        uint64_t key = 0; // of the row's values, small flags and NULLs alike
        uint64_t offset = 0;
        std::optional<int64_t> rowid;
        int table = -1;
        uint32_t rank = 0;
        uint32_t page = 0;
        uint32_t frame = 0;
        Evidence evidence = Evidence::DamagedCell;
        RecordSource source = RecordSource::Main;
        bool dropped = false;
        bool headerLost = false;
        uint64_t unknownColumns = 0; // bit i: column i holds a stand-in
        bool damaged = false;
    };

    // Work space of the comparisons, one per thread that compares.
    struct Scratch {
        std::vector<Value> rowA, rowB;
        RecordShape shape;
        std::vector<uint64_t> signatures;
    };

    bool isLive(int table, int64_t rowid);
    bool better(const Candidate& a, const Candidate& b) const;
    bool sameRow(const Candidate& a, const Candidate& b, Scratch& scratch) const;
    void rowOf(const Candidate& candidate, RecordShape* scratch, std::vector<Value>* values) const;
    void report(const Candidate& candidate, RecordShape* scratch, RecoveredRecord* out) const;
    uint64_t recordKey(int table, const uint8_t* bytes, size_t size, std::optional<int64_t> rowid,
                       Scratch& scratch) const;
    uint64_t valuesKey(int table, const std::vector<Value>& values) const;
    bool payloadKey(int table, const uint8_t* payload, size_t have, uint64_t* key) const;
    enum class Signature : uint8_t { Signed, Cut, None };
    Signature textSignature(const uint8_t* payload, size_t have, const std::vector<size_t>& lengths,
                            std::vector<uint64_t>* signatures, size_t* columns) const;
    bool bodyKey(int table, const std::vector<uint64_t>& types, const uint8_t* body,
                 size_t bodyBytes, uint64_t* key) const;
    void dropLiveCarvings();
    std::vector<const Candidate*> keptInOrder() const;

    // A live row as noteLiveLeaf keys it: where it is, and its key.
    struct LiveRowKey {
        uint64_t key;
        uint32_t page;
        uint16_t table;
        uint16_t cell;
    };
    // Rows kept at most per collector (16 bytes each), so memory does not
    // grow with the file: past it, the live rows are walked at the end.
    static constexpr size_t kLiveRowBudget = size_t(1) << 18;

    struct TableRowid {
        int table;
        int64_t rowid;
        bool operator==(const TableRowid& other) const {
            return table == other.table && rowid == other.rowid;
        }
    };
    struct TableRowidHash {
        size_t operator()(const TableRowid& key) const {
            // Unsigned, so a rowid anywhere in its range wraps instead of
            // overflowing.
            return std::hash<uint64_t>()(uint64_t(key.rowid) * 1000003u + uint64_t(key.table));
        }
    };

    // Per table and column: how payloadKey reads it.
    static constexpr uint8_t kPlainColumn = 0, kAliasColumn = 1, kRealColumn = 2;
    std::vector<std::vector<uint8_t>> m_columnKinds;

    const std::vector<TableInfo>& m_tables;
    const PageReader& m_current;
    uint32_t m_usable;
    uint32_t m_encoding;
    std::vector<Candidate> m_candidates;
    ByteArena m_arena;
    std::unordered_map<TableRowid, size_t, TableRowidHash> m_byRowid;
    std::unordered_set<TableRowid, TableRowidHash> m_liveRowids;
    std::vector<TableChoice> m_choices;
    Scratch m_scratch;
    std::vector<LiveRowKey> m_liveRows;
    bool m_liveRowsNoted = false; // every live row of the wanted tables is in m_liveRows
    std::string m_livePayload;    // a live row's payload read from its overflow chain
};

} // namespace fennaro::deep
