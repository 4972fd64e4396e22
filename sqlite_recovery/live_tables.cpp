// The engine's services to its callers: the current state's tables and live
// rows, for rules during a scan and for readers beside it.
#include "sqlite_recovery/live_tables.h"

#include "sqlite_recovery/btree_page.h"
#include "sqlite_recovery/live_rows.h"
#include "sqlite_recovery/schema_reader.h"
#include "sqlite_recovery/table_rows.h"

namespace fennaro::deep {

CurrentTables::CurrentTables(const DatabaseState& state, const std::vector<TableInfo>& tables)
    : m_state(state), m_tables(tables) {
    // Every column of every table, in table order.
    for (const TableInfo& table : tables) {
        TableColumns names{table.name, {}};
        for (const ColumnInfo& column : table.columns)
            names.columns.push_back(column.name);
        m_columns.push_back(std::move(names));
    }
}

const std::vector<TableColumns>& CurrentTables::tables() const {
    return m_columns;
}

const TableInfo* CurrentTables::find(const std::string& table) const {
    // By exact name, as tables() gives them.
    for (const TableInfo& t : m_tables) {
        if (t.name == table)
            return &t;
    }
    return nullptr;
}

bool CurrentTables::hasRowid(const std::string& table, int64_t rowid) const {
    // A look-up in the table's b-tree of the current state.
    const TableInfo* t = find(table);
    return t && tableHasRowid(*m_state.current, t->rootPage, m_state.usableSize, rowid);
}

bool CurrentTables::liveValue(const std::string& table, int64_t rowid, int column,
                              Value* value) const {
    // The row's cell, its overflow chain read when it has one, then the column.
    const TableInfo* t = find(table);
    ByteView leaf;
    LeafCell cell;
    if (!t || !findTableRow(*m_state.current, t->rootPage, m_state.usableSize, rowid, &leaf, &cell))
        return false;
    std::string payload;
    const uint8_t* bytes = leaf.data + cell.payloadOffset;
    size_t have = size_t(cell.payloadSize);
    if (cell.payloadSize > cell.localSize) {
        have = readPayload(leaf, cell.payloadOffset, cell.payloadSize, m_state.usableSize,
                           m_state.current.get(), &payload);
        bytes = reinterpret_cast<const uint8_t*>(payload.data());
    }
    std::vector<Value> values;
    if (!pickColumns(*t, bytes, have, rowid, m_state.textEncoding, {column}, &values) ||
        values.empty())
        return false;
    *value = std::move(values[0]);
    return true;
}

bool forEachLiveRow(const DatabaseState& state, const std::string& name,
                    std::initializer_list<const char*> columns,
                    const std::function<void(std::vector<Value>&)>& onRow) {
    // The schema of the current state, then the table's rows.
    const SchemaInfo schema = readSchema(*state.current, state.usableSize, state.textEncoding);
    return forEachLiveRow(state, schema, name, columns, onRow);
}

// The table, its finder and the columns a LiveRowFinder reads.
struct LiveRowFinder::Reader {
    const DatabaseState& state;
    TableInfo table;
    std::vector<int> columns;
    std::optional<TableRowFinder> rows;
    std::string payload;
};

LiveRowFinder::LiveRowFinder(const DatabaseState& state, const std::string& table,
                             const std::vector<std::string>& columns)
    : m_reader(new Reader{state, {}, {}, std::nullopt, {}}) {
    // Usable only when the table has every column asked for.
    const SchemaInfo schema = readSchema(*state.current, state.usableSize, state.textEncoding);
    for (const TableInfo& t : schema.tables) {
        if (t.name != table)
            continue;
        std::vector<int> found;
        for (const std::string& name : columns) {
            for (size_t i = 0; i < t.columns.size(); ++i) {
                if (t.columns[i].name == name) {
                    found.push_back(int(i));
                    break;
                }
            }
        }
        if (found.size() != columns.size())
            continue;
        m_reader->table = t;
        m_reader->columns = std::move(found);
        m_reader->rows.emplace(*state.current, t.rootPage, state.usableSize);
    }
}

LiveRowFinder::~LiveRowFinder() = default;

bool LiveRowFinder::usable() const {
    return m_reader->rows.has_value();
}

bool LiveRowFinder::find(int64_t rowid, std::vector<Value>* values) {
    // The cell, whole when it overflows, then the columns asked for.
    Reader& r = *m_reader;
    ByteView leaf;
    LeafCell cell;
    if (!r.rows || !r.rows->find(rowid, &leaf, &cell))
        return false;
    const uint8_t* bytes = leaf.data + cell.payloadOffset;
    size_t have = size_t(cell.localSize);
    if (cell.payloadSize > cell.localSize) {
        have = readPayload(leaf, cell.payloadOffset, cell.payloadSize, r.state.usableSize,
                           r.state.current.get(), &r.payload);
        bytes = reinterpret_cast<const uint8_t*>(r.payload.data());
    }
    return pickColumns(r.table, bytes, have, rowid, r.state.textEncoding, r.columns, values);
}

} // namespace fennaro::deep
