#include "generic_db.h"

#include "random_source.h"
#include "row_history.h"
#include "sqlite_util.h"
#include "survival_search.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace testdata {

namespace {

// Declared column types, with the affinities SQLite gives them in mind: INTEGER,
// REAL, TEXT, BLOB, none, NUMERIC, and spellings that map to the same.
const std::vector<std::string> kDeclaredTypes = {"INTEGER", "REAL",    "TEXT",   "BLOB",
                                                 "",        "NUMERIC", "DOUBLE", "VARCHAR(20)"};

// Texts with one-, two-, three- and four-byte characters.
const std::vector<std::string> kSyllables = {"ka", "ro", "mi",   "é", "ü", "ß", "日", "本",
                                             "語", "한", "🙂", "ж", " ", "-", "42"};

// One column of a generated table.
struct Column {
    std::string name;
    std::string type;
};

// One generated table: its name, whether it has an INTEGER PRIMARY KEY, its columns.
struct Table {
    std::string name;
    bool rowidAlias = false;
    std::vector<Column> columns; // the alias and the serial column not included
};

// An integer of a random width, from the zero-byte 0 and 1 up to eight bytes.
int64_t randomInteger(RandomSource& rng) {
    static const int64_t limits[] = {
        1, 127, 32767, 8388607, 2147483647, (int64_t(1) << 47) - 1, INT64_MAX};
    const int64_t limit = limits[rng.below(7)];
    const int64_t magnitude =
        limit == INT64_MAX ? static_cast<int64_t>(rng.next() >> 1) : rng.between(0, limit);
    return rng.chance(0.3) ? -magnitude - (limit == INT64_MAX ? 0 : 1) : magnitude;
}

// A real: fractional, integral (which REAL columns store as integers) or huge.
double randomReal(RandomSource& rng) {
    switch (rng.below(4)) {
    case 0:
        return static_cast<double>(rng.between(-100000, 100000));
    case 1:
        return (rng.unit() - 0.5) * 1e300;
    default:
        return (rng.unit() - 0.5) * std::pow(10.0, static_cast<double>(rng.between(-5, 12)));
    }
}

// A text of about `bytes` bytes.
std::string randomText(RandomSource& rng, size_t bytes) {
    std::string out;
    while (out.size() < bytes)
        out += rng.pick(kSyllables);
    return out;
}

// Length of a text or blob: mostly short, now and then longer than a page.
size_t randomLength(RandomSource& rng, int pageSize) {
    if (rng.chance(0.05))
        return static_cast<size_t>(rng.between(pageSize, 3 * pageSize));
    return static_cast<size_t>(rng.between(0, 60));
}

// Binds a random value for a column of declared `type` (NULL now and then).
void bindRandom(Statement& st, int index, const std::string& type, RandomSource& rng,
                int pageSize) {
    if (rng.chance(0.15)) {
        st.bindNull(index);
        return;
    }
    std::string kind = type;
    if (kind.empty() || kind == "NUMERIC")
        kind = rng.pick(std::vector<std::string>{"INTEGER", "REAL", "TEXT", "BLOB"});
    if (kind == "INTEGER") {
        st.bind(index, randomInteger(rng));
    } else if (kind == "REAL" || kind == "DOUBLE") {
        st.bindReal(index, randomReal(rng));
    } else if (kind == "BLOB") {
        std::string bytes(randomLength(rng, pageSize), '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng.below(256));
        st.bindBlob(index, bytes);
    } else {
        st.bind(index, randomText(rng, randomLength(rng, pageSize)));
    }
}

// A random table number `k`.
Table randomTable(RandomSource& rng, int k) {
    Table t;
    t.name = "t" + std::to_string(k) + "_" + randomText(rng, 3);
    t.rowidAlias = rng.chance(0.7);
    const int columns = static_cast<int>(rng.between(2, 7));
    for (int c = 0; c < columns; ++c)
        t.columns.push_back({"c" + std::to_string(c), rng.pick(kDeclaredTypes)});
    return t;
}

// CREATE TABLE statement of `t`. Every table has a serial column of its own,
// so no two rows store the same record.
std::string createSql(const Table& t) {
    std::string sql = "CREATE TABLE \"" + t.name + "\" (";
    if (t.rowidAlias)
        sql += "id INTEGER PRIMARY KEY, ";
    sql += "serial INTEGER";
    for (const Column& c : t.columns)
        sql += ", " + c.name + (c.type.empty() ? "" : " " + c.type);
    return sql + ")";
}

} // namespace

DatabaseTruth generateGenericDatabase(const std::string& path, const GenericDbSpec& spec) {
    if (spec.tables < 1 || spec.rowsPerTable < 1 || spec.deleteFraction < 0 ||
        spec.deleteFraction > 0.9)
        throw std::invalid_argument("testdata: a generic database needs tables, rows and a "
                                    "deleteFraction within 0 ... 0.9");
    DbOptions options;
    options.pageSize = spec.pageSize;
    options.autoVacuumFull = spec.autoVacuum;
    options.zeroDeleted = spec.secureDelete;
    sqlite3* db = openFreshDatabase(path, options);
    try {
        RandomSource rng(spec.seed);
        std::vector<Table> tables;
        std::vector<std::vector<int64_t>> rowids;
        execSql(db, "BEGIN");
        int64_t serial = 1;
        for (int k = 0; k < spec.tables; ++k) {
            tables.push_back(randomTable(rng, k));
            const Table& t = tables.back();
            execSql(db, createSql(t));
            std::string insert = "INSERT INTO \"" + t.name + "\" (serial";
            for (const Column& c : t.columns)
                insert += ", " + c.name;
            insert += ") VALUES (?1";
            for (size_t c = 0; c < t.columns.size(); ++c)
                insert += ", ?" + std::to_string(c + 2);
            Statement st(db, insert + ")");
            rowids.emplace_back();
            for (int r = 0; r < spec.rowsPerTable; ++r) {
                st.bind(1, serial++);
                for (size_t c = 0; c < t.columns.size(); ++c)
                    bindRandom(st, static_cast<int>(c + 2), t.columns[c].type, rng, spec.pageSize);
                st.run();
                rowids.back().push_back(sqlite3_last_insert_rowid(db));
            }
        }
        execSql(db, "COMMIT");

        RowHistory history(db);
        history.noteSchema();
        Journaling journaling;
        journaling.mode = spec.journal;
        journaling.secureDelete = spec.secureDelete;
        journaling.journalSizeLimit = -1;
        applyJournaling(db, journaling);
        // Some rows change first, so older versions of their pages exist.
        for (size_t k = 0; k < tables.size(); ++k) {
            const Table& t = tables[k];
            Statement update(db, "UPDATE \"" + t.name + "\" SET " + t.columns[0].name +
                                     " = ?2 WHERE rowid = ?1");
            for (size_t n = 0; n < rowids[k].size() / 10; ++n) {
                update.bind(1, rng.pick(rowids[k]));
                bindRandom(update, 2, t.columns[0].type, rng, spec.pageSize);
                update.run();
            }
        }
        // Then the deletions, ten rows a transaction.
        for (size_t k = 0; k < tables.size(); ++k) {
            Statement remove(db, "DELETE FROM \"" + tables[k].name + "\" WHERE rowid = ?1");
            rng.shuffle(rowids[k]);
            const auto count = static_cast<size_t>(double(rowids[k].size()) * spec.deleteFraction);
            for (size_t n = 0; n < count; ++n) {
                if (n % 10 == 0)
                    execSql(db, n == 0 ? "BEGIN" : "COMMIT; BEGIN");
                remove.bind(1, rowids[k][n]).run();
            }
            if (count > 0)
                execSql(db, "COMMIT");
        }
        DatabaseTruth truth = history.capture();
        closeAsPhone(db, path);
        db = nullptr;
        truth.path = path;
        findSurvivors(truth);
        return truth;
    } catch (...) {
        if (db)
            sqlite3_close_v2(db);
        throw;
    }
}

} // namespace testdata
