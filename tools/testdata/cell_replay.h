// Ground truth by replay: the cells of every table are read from the files
// just before each deletion (or DROP TABLE) and just after it, and the cells
// that went are kept with their place and bytes. Once the history is over,
// each deleted row is told whole, header-lost, partly overwritten or gone by
// looking for its cell where it was (in every image of its page in every
// file) and, since auto_vacuum moves pages, anywhere in the files.
#pragma once

#include "database_truth.h"

#include <sqlite3.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

// A cell that went in one step of the history: its row and where it was.
struct GoneCell {
    std::string table;
    int64_t rowid = 0;
    CellPlace place;
};

// Every cell of the tables `roots` (name -> root page) of the database at
// `path`, as SQLite reads it now (committed -wal frames applied), by table and
// rowid. Pages that are no b-tree page, loops and cut chains are skipped.
std::map<std::pair<std::string, int64_t>, CellPlace>
readTableCells(const std::string& path, const std::map<std::string, uint32_t>& roots);

class CellReplay {
  public:
    // Watches the database at `path` written through `db` (which must outlive it).
    CellReplay(sqlite3* db, std::string path);

    // Reads every table's cells; call with no transaction open, before a
    // transaction that deletes rows or drops a table.
    void before();
    // Reads them again and keeps the cells of `before` that are gone or changed.
    void after();

    // The cells kept so far.
    const std::vector<GoneCell>& goneCells() const { return m_gone; }

  private:
    sqlite3* m_db;
    std::string m_path;
    std::map<std::pair<std::string, int64_t>, CellPlace> m_before;
    std::vector<GoneCell> m_gone;
};

// Gives every row of truth.deleted its cells from `gone` and tells how they
// survive in truth.files (filled from truth.path when empty): survival,
// survives (whole or header-lost), wholeRecord, foundIn, recordColumns and
// countable (it holds a readable value). Rows without a recorded cell are Gone.
// Throws std::runtime_error when the main file cannot be read.
void classifyByReplay(DatabaseTruth& truth, const std::vector<GoneCell>& gone);

} // namespace testdata
