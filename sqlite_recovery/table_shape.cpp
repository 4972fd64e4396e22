#include "sqlite_recovery/table_shape.h"

namespace fennaro::deep {

namespace {

// True when the record's column count is plausible for a scanned record.
bool wideEnough(const TableInfo& table, const RecordShape& shape) {
    return 2 * shape.types.size() >= table.columns.size();
}

} // namespace

int shapeScore(const TableInfo& table, const RecordShape& shape) {
    // Every column must be possible; the score counts what speaks for the table.
    const size_t n = shape.types.size();
    if (n == 0 || n > table.columns.size())
        return -1;
    int score = n == table.columns.size() ? 4 : 0;
    for (size_t i = 0; i < n; ++i) {
        const ColumnInfo& column = table.columns[i];
        const uint64_t type = shape.types[i];
        if (!columnAccepts(column, type))
            return -1;
        if (column.rowidAlias)
            score += 2;
        else if (column.affinity == Affinity::Text && type >= 13)
            score += 1;
    }
    return score;
}

bool fitsExactly(const TableInfo& table, const RecordShape& shape) {
    // The full width, then every serial type against its column's affinity.
    if (shape.types.size() != table.columns.size() || shapeScore(table, shape) < 0)
        return false;
    for (size_t i = 0; i < shape.types.size(); ++i) {
        const Affinity affinity = table.columns[i].affinity;
        const bool numeric = affinity == Affinity::Integer || affinity == Affinity::Real ||
                             affinity == Affinity::Numeric;
        if (numeric && shape.types[i] >= 13 && (shape.types[i] & 1))
            return false;
    }
    return true;
}

int exactTable(const std::vector<TableInfo>& tables, const RecordShape& shape) {
    // Two tables of the same shape leave the record's table unknown.
    int found = -1;
    for (size_t t = 0; t < tables.size(); ++t) {
        if (!fitsExactly(tables[t], shape))
            continue;
        if (found >= 0)
            return -1;
        found = int(t);
    }
    return found;
}

int bestTable(const std::vector<TableInfo>& tables, const RecordShape& shape, int preferred,
              bool preferredOwns) {
    // The preferred table when it fits, else the highest score at full width.
    auto fullWidth = [&](const TableInfo& table) {
        return shape.types.size() == table.columns.size();
    };
    if (preferred >= 0 && size_t(preferred) < tables.size()) {
        const TableInfo& table = tables[size_t(preferred)];
        if ((preferredOwns ? wideEnough(table, shape) : fullWidth(table)) &&
            shapeScore(table, shape) >= 0)
            return preferred;
    }
    int best = -1, bestScore = -1;
    for (size_t t = 0; t < tables.size(); ++t) {
        if (int(t) == preferred || !fullWidth(tables[t]))
            continue;
        const int score = shapeScore(tables[t], shape);
        if (score > bestScore) {
            best = int(t);
            bestScore = score;
        }
    }
    return best;
}

} // namespace fennaro::deep
