// Writes a database through a history of inserts, deletions and drops while
// the truth is gathered: the pre-update hook keeps each deleted row's values,
// the cell replay keeps each deleted cell's place and bytes, and rows of
// dropped tables are read before they go.
#pragma once

#include "cell_replay.h"
#include "database_truth.h"
#include "phone_journal.h"
#include "random_source.h"
#include "row_history.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace testdata {

// File settings of one written database.
struct FileSettings {
    int pageSize = 4096;
    bool autoVacuum = false;
    bool secureDelete = false;
    JournalMode journal = JournalMode::Delete;
    std::string encoding = "UTF-8"; // or "UTF-16le", "UTF-16be"
};

class LayoutWriter {
  public:
    // Creates the database at `path` (older files there are replaced). Throws
    // std::runtime_error or std::invalid_argument.
    LayoutWriter(const std::string& path, const FileSettings& settings);
    // Closes the connection if finish() did not.
    ~LayoutWriter();
    LayoutWriter(const LayoutWriter&) = delete;
    LayoutWriter& operator=(const LayoutWriter&) = delete;

    sqlite3* db() { return m_db; }
    const std::string& path() const { return m_path; }

    // Runs SQL statements.
    void exec(const std::string& sql);
    // Tells the history the current column counts (after CREATE and ALTER TABLE).
    void noteSchema();
    // Switches to the journal mode and secure_delete of the settings (the
    // first rows can go in faster before).
    void startJournaling();

    // Inserts `rows` into `table` (values for the columns named, in order) in
    // one transaction; returns their rowids.
    std::vector<int64_t> insert(const std::string& table, const std::vector<std::string>& columns,
                                const std::vector<SqlRow>& rows);
    // Deletes the rows `rowids` of `table`, `perTransaction` a transaction,
    // recording the cells that go.
    void remove(const std::string& table, const std::vector<int64_t>& rowids,
                size_t perTransaction = 1);
    // Runs `sql` as one recorded transaction (deletions by any condition).
    void removeBySql(const std::string& sql);
    // Drops `table`, its rows kept as deleted rows of that name.
    void drop(const std::string& table);
    // Checkpoints the WAL completely; the next write restarts the log.
    void checkpoint();
    // The rowids of `table` by the leaf page that holds them, pages ascending.
    std::vector<std::vector<int64_t>> rowidsByLeaf(const std::string& table);

    // Ends the history and closes the files as a phone leaves them: the truth
    // with every deleted row classified by replay.
    DatabaseTruth finish();

  private:
    // Leaves the full-text index's own tables out of the truth.
    void dropFullTextShadows(DatabaseTruth& truth);

    std::string m_path;
    FileSettings m_settings;
    sqlite3* m_db = nullptr;
    std::optional<RowHistory> m_history;
    std::optional<CellReplay> m_replay;
    std::vector<DeletedRow> m_dropped;
    std::vector<TableShape> m_droppedShapes;
};

} // namespace testdata
