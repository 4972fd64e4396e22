#include "index_survival.h"

#include "record_encoding.h"
#include "sqlite_util.h"
#include "survival_search.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace testdata {

namespace {

// Shortest index record counted: shorter ones match unrelated bytes.
constexpr size_t kShortestRecord = 8;

// The shape of the index record of `index` on `table`: its key columns, then
// the rowid, with the affinity of the table's columns. Empty columns when a
// key column is not a column of the table.
TableShape indexRecordShape(const IndexShape& index, const TableShape& table) {
    TableShape shape;
    shape.name = index.name;
    for (const std::string& column : index.columns) {
        const auto at = std::find(table.columns.begin(), table.columns.end(), column);
        if (at == table.columns.end())
            return {};
        shape.columns.push_back(column);
        shape.realAffinity.push_back(table.realAffinity[size_t(at - table.columns.begin())]);
    }
    shape.columns.push_back("rowid");
    shape.realAffinity.push_back(false);
    shape.columnCounts = {shape.columns.size()};
    return shape;
}

// The values of `version` in the order of `shape`'s columns, the rowid last.
SqlRow indexValues(const TableShape& shape, const TableShape& table, const SqlRow& version,
                   int64_t rowid) {
    SqlRow values;
    for (size_t i = 0; i + 1 < shape.columns.size(); ++i) {
        const auto at = std::find(table.columns.begin(), table.columns.end(), shape.columns[i]);
        const auto column = size_t(at - table.columns.begin());
        values.push_back(column < version.size() ? version[column] : SqlValue{});
    }
    SqlValue id;
    id.type = SqlValue::Type::Integer;
    id.integer = rowid;
    values.push_back(id);
    return values;
}

} // namespace

std::vector<IndexShape> readIndexShapes(sqlite3* db) {
    std::vector<IndexShape> indexes;
    Statement list(db, "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index'");
    while (list.step()) {
        IndexShape index{list.columnText(0), list.columnText(1), {}};
        Statement info(db, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno");
        info.bind(1, index.name);
        bool plain = true;
        while (info.step()) {
            const std::optional<std::string> column = info.columnOptText(0);
            plain = plain && column.has_value();
            index.columns.push_back(column.value_or(""));
        }
        if (plain && !index.columns.empty())
            indexes.push_back(std::move(index));
    }
    return indexes;
}

void findIndexSurvivors(DatabaseTruth& truth, const std::vector<IndexShape>& indexes) {
    std::vector<std::vector<uint8_t>> files;
    for (const std::string& file : truth.files)
        files.push_back(readWholeFile(file));
    for (DeletedRow& row : truth.deleted) {
        const TableShape* table = findShape(truth.tables, row.table);
        if (!table || !row.countable || row.dropped)
            continue;
        for (const IndexShape& index : indexes) {
            if (index.table != row.table || row.indexSurvives)
                continue;
            const TableShape shape = indexRecordShape(index, *table);
            if (shape.columns.empty())
                continue;
            for (const SqlRow& version : row.versions) {
                const std::string record = encodeRecord(
                    shape, indexValues(shape, *table, version, row.rowid), shape.columns.size());
                if (record.size() < kShortestRecord)
                    continue;
                for (const std::vector<uint8_t>& bytes : files) {
                    const std::string_view haystack(reinterpret_cast<const char*>(bytes.data()),
                                                    bytes.size());
                    if (haystack.find(record) != std::string_view::npos)
                        row.indexSurvives = true;
                }
            }
        }
    }
}

} // namespace testdata
