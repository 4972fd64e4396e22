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

#include "record_sink.h"
#include "schema_reader.h"

namespace fennaro::deep {

class RecordCollector : public RecordSink {
  public:
    RecordCollector(const std::vector<TableInfo>& tables, const PageReader& current,
                    uint32_t usableSize, uint32_t textEncoding);

    void add(const FoundRecord& record, const VersionInfo& version) override;

    // Drops carved records that equal a live row or a record with a rowid,
    // and returns the rest, ordered by table, rowid and place.
    std::vector<RecoveredRecord> finish();

  private:
    struct Candidate {
        int table = -1;
        std::optional<int64_t> rowid;
        std::vector<Value> values;
        uint64_t key = 0; // of the values, small flags and NULLs alike
        Evidence evidence = Evidence::DamagedCell;
        uint32_t rank = 0;
        RecordSource source = RecordSource::Main;
        uint32_t page = 0;
        uint64_t offset = 0;
        uint32_t frame = 0;
        bool dropped = false;
    };

    bool isLive(int table, int64_t rowid);
    bool better(const Candidate& a, const Candidate& b) const;
    bool sameRow(const Candidate& a, const Candidate& b) const;
    uint64_t valuesKey(int table, const std::vector<Value>& values) const;
    bool recordKey(int table, const RecordShape& shape, const uint8_t* body, size_t bodyBytes,
                   uint64_t* key) const;
    void dropLiveCarvings();

    struct TableRowid {
        int table;
        int64_t rowid;
        bool operator==(const TableRowid& other) const {
            return table == other.table && rowid == other.rowid;
        }
    };
    struct TableRowidHash {
        size_t operator()(const TableRowid& key) const {
            return std::hash<int64_t>()(key.rowid * 1000003 + key.table);
        }
    };

    const std::vector<TableInfo>& m_tables;
    const PageReader& m_current;
    uint32_t m_usable;
    uint32_t m_encoding;
    std::vector<Candidate> m_candidates;
    std::unordered_map<TableRowid, size_t, TableRowidHash> m_byRowid;
    std::unordered_multimap<uint64_t, size_t> m_carvedByKey; // candidates without rowid
    std::unordered_set<TableRowid, TableRowidHash> m_liveRowids;
    std::vector<Value> m_values;
};

} // namespace fennaro::deep
