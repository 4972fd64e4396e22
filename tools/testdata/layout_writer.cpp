#include "layout_writer.h"

#include "index_survival.h"
#include "sqlite_util.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

namespace testdata {

namespace {

// Binds one value.
void bindValue(Statement& st, int index, const SqlValue& v) {
    switch (v.type) {
    case SqlValue::Type::Null:
        st.bindNull(index);
        break;
    case SqlValue::Type::Integer:
        st.bind(index, v.integer);
        break;
    case SqlValue::Type::Real:
        st.bindReal(index, v.real);
        break;
    case SqlValue::Type::Text:
        st.bind(index, v.bytes);
        break;
    case SqlValue::Type::Blob:
        st.bindBlob(index, v.bytes);
        break;
    }
}

} // namespace

LayoutWriter::LayoutWriter(const std::string& path, const FileSettings& settings)
    : m_path(path), m_settings(settings) {
    DbOptions options;
    options.pageSize = settings.pageSize;
    options.autoVacuumFull = settings.autoVacuum;
    options.zeroDeleted = settings.secureDelete;
    m_db = openFreshDatabase(path, options);
    try {
        // Before the first table the encoding can still change.
        execSql(m_db, "PRAGMA encoding='" + settings.encoding + "'");
        m_history.emplace(m_db);
        m_replay.emplace(m_db, path);
    } catch (...) {
        m_history.reset();
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw;
    }
}

LayoutWriter::~LayoutWriter() {
    m_history.reset();
    if (m_db)
        sqlite3_close_v2(m_db);
}

void LayoutWriter::exec(const std::string& sql) {
    execSql(m_db, sql);
}

void LayoutWriter::noteSchema() {
    m_history->noteSchema();
}

void LayoutWriter::startJournaling() {
    Journaling j;
    j.mode = m_settings.journal;
    j.secureDelete = m_settings.secureDelete;
    j.journalSizeLimit = -1;
    applyJournaling(m_db, j);
}

std::vector<int64_t> LayoutWriter::insert(const std::string& table,
                                          const std::vector<std::string>& columns,
                                          const std::vector<SqlRow>& rows) {
    std::string sql = "INSERT INTO " + table + " (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + columns[i];
    sql += ") VALUES (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", ?" : "?") + std::to_string(i + 1);
    Statement st(m_db, sql + ")");
    std::vector<int64_t> rowids;
    exec("BEGIN");
    for (const SqlRow& row : rows) {
        for (size_t i = 0; i < row.size() && i < columns.size(); ++i)
            bindValue(st, static_cast<int>(i + 1), row[i]);
        st.run();
        rowids.push_back(sqlite3_last_insert_rowid(m_db));
    }
    exec("COMMIT");
    return rowids;
}

void LayoutWriter::remove(const std::string& table, const std::vector<int64_t>& rowids,
                          size_t perTransaction) {
    Statement st(m_db, "DELETE FROM " + table + " WHERE rowid = ?1");
    perTransaction = std::max<size_t>(perTransaction, 1);
    for (size_t at = 0; at < rowids.size(); at += perTransaction) {
        m_replay->before();
        exec("BEGIN");
        for (size_t i = at; i < std::min(rowids.size(), at + perTransaction); ++i)
            st.bind(1, rowids[i]).run();
        exec("COMMIT");
        m_replay->after();
    }
}

void LayoutWriter::removeBySql(const std::string& sql) {
    m_replay->before();
    exec("BEGIN;" + sql + ";COMMIT");
    m_replay->after();
}

void LayoutWriter::drop(const std::string& table) {
    TableShape shape;
    for (const TableShape& s : readTableShapes(m_db))
        if (s.name == table)
            shape = s;
    {
        Statement st(m_db, "SELECT rowid, * FROM " + table + " ORDER BY rowid");
        while (st.step()) {
            DeletedRow row;
            row.table = table;
            row.rowid = st.columnInt(0);
            row.dropped = true;
            SqlRow values;
            for (size_t i = 0; i < shape.columns.size(); ++i)
                values.push_back(st.columnValue(static_cast<int>(i + 1)));
            row.versions.push_back(std::move(values));
            m_dropped.push_back(std::move(row));
        }
    }
    shape.columnCounts = {shape.columns.size()};
    m_droppedShapes.push_back(shape);
    removeBySql("DROP TABLE " + table);
}

void LayoutWriter::checkpoint() {
    checkpointWal(m_db);
}

std::vector<std::vector<int64_t>> LayoutWriter::rowidsByLeaf(const std::string& table) {
    Statement st(m_db, "SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = ?1");
    st.bind(1, table);
    if (!st.step())
        throw std::runtime_error("testdata: no table " + table);
    const auto root = static_cast<uint32_t>(st.columnInt(0));
    std::map<uint32_t, std::vector<int64_t>> byPage;
    for (const auto& [key, place] : readTableCells(m_path, {{table, root}}))
        byPage[place.page].push_back(key.second);
    std::vector<std::vector<int64_t>> leaves;
    for (auto& [page, rowids] : byPage)
        leaves.push_back(std::move(rowids));
    return leaves;
}

DatabaseTruth LayoutWriter::finish() {
    // Rows deleted before their table was dropped are deleted rows of it too;
    // a rowid the table had again when it went is kept as it was then.
    DatabaseTruth truth = m_history->capture(m_droppedShapes);
    m_history.reset();
    dropFullTextShadows(truth);
    std::set<std::pair<std::string, int64_t>> droppedRows;
    for (const DeletedRow& row : m_dropped)
        droppedRows.emplace(row.table, row.rowid);
    std::erase_if(truth.deleted, [&](const DeletedRow& row) {
        return droppedRows.count({row.table, row.rowid}) > 0;
    });
    truth.tables.insert(truth.tables.end(), m_droppedShapes.begin(), m_droppedShapes.end());
    truth.deleted.insert(truth.deleted.end(), m_dropped.begin(), m_dropped.end());
    std::sort(truth.deleted.begin(), truth.deleted.end(),
              [](const DeletedRow& a, const DeletedRow& b) {
                  return std::tie(a.table, a.rowid) < std::tie(b.table, b.rowid);
              });
    const std::vector<IndexShape> indexes = readIndexShapes(m_db);
    sqlite3* db = m_db;
    m_db = nullptr;
    closeAsPhone(db, m_path);
    truth.path = m_path;
    classifyByReplay(truth, m_replay->goneCells());
    findIndexSurvivors(truth, indexes);
    return truth;
}

void LayoutWriter::dropFullTextShadows(DatabaseTruth& truth) {
    // The index's segments, directory, sizes and statistics are its inner
    // workings, rewritten on every change; its content table is the data.
    std::set<std::string> shadows;
    Statement st(m_db, "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                       "sql LIKE 'CREATE VIRTUAL TABLE%'");
    while (st.step())
        for (const char* suffix : {"_segments", "_segdir", "_docsize", "_stat"})
            shadows.insert(st.columnText(0) + suffix);
    auto shadow = [&](const std::string& table) { return shadows.count(table) > 0; };
    std::erase_if(truth.tables, [&](const TableShape& t) { return shadow(t.name); });
    std::erase_if(truth.live, [&](const LiveRow& r) { return shadow(r.table); });
    std::erase_if(truth.deleted, [&](const DeletedRow& r) { return shadow(r.table); });
}

} // namespace testdata
