#include "recall_score.h"

#include "record_encoding.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <unordered_map>

namespace testdata {

namespace {

constexpr size_t kExamplesPerFault = 4;

// The columns values are compared on: those every record of the table has.
size_t comparedColumns(const TableShape& shape) {
    return shape.columnCounts.empty() ? shape.columns.size() : shape.columnCounts.front();
}

// `v` as a REAL column holds it when `realColumn`, so 2 and 2.0 compare equal.
SqlValue normalized(const SqlValue& v, bool realColumn) {
    if (realColumn && v.type == SqlValue::Type::Integer) {
        SqlValue r;
        r.type = SqlValue::Type::Real;
        r.real = static_cast<double>(v.integer);
        return r;
    }
    return v;
}

// A real written exactly ("0x1.8p+1").
std::string hexFloat(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

// A text key of the compared values of `row`, equal for equal rows.
std::string valueKey(const TableShape& shape, const SqlRow& row) {
    std::string key;
    const SqlValue none;
    for (size_t i = 0; i < comparedColumns(shape); ++i) {
        if (static_cast<int>(i) == shape.rowidColumn)
            continue;
        const SqlValue v = normalized(i < row.size() ? row[i] : none,
                                      i < shape.realAffinity.size() && shape.realAffinity[i]);
        char head[32];
        std::snprintf(head, sizeof head, "|%d:", static_cast<int>(v.type));
        key += head;
        if (v.type == SqlValue::Type::Integer)
            key += std::to_string(v.integer);
        else if (v.type == SqlValue::Type::Real)
            key += hexFloat(v.real);
        else
            key += std::to_string(v.bytes.size()) + ":" + v.bytes;
    }
    return key;
}

// Which columns of `shape` a record holds real values in: all of them, unless
// it names the known ones.
std::vector<bool> knownColumns(const TableShape& shape, const ScannedRecord& r) {
    std::vector<bool> known(shape.columns.size(), !r.known);
    if (r.known)
        for (const std::string& name : *r.known)
            for (size_t i = 0; i < shape.columns.size(); ++i)
                known[i] = known[i] || shape.columns[i] == name;
    return known;
}

// Whether every known value of a record besides the rowid is NULL, empty or zero.
bool holdsNothing(const TableShape& shape, const SqlRow& values, const std::vector<bool>& known) {
    if (shape.columns.size() == 1 && shape.rowidColumn == 0)
        return false; // the rowid is all such a table holds
    for (size_t i = 0; i < values.size() && i < known.size(); ++i) {
        const SqlValue& v = values[i];
        if (static_cast<int>(i) == shape.rowidColumn || !known[i] || v.isEmpty())
            continue;
        if ((v.type == SqlValue::Type::Integer && v.integer == 0) ||
            (v.type == SqlValue::Type::Real && v.real == 0))
            continue;
        return false;
    }
    return true;
}

// Whether the reported values equal `version` on the compared columns it
// knows, texts and blobs of an overflowing record allowed to be cut short
// (down to nothing). Where the chain was cut, the columns after the cut were
// never read: null there says "not recovered", as for a piece cut down to nothing.
bool sameValues(const TableShape& shape, const SqlRow& reported, const SqlRow& version,
                bool overflowed, const std::vector<bool>& known) {
    const SqlValue none;
    bool cut = false;
    for (size_t i = 0; i < comparedColumns(shape); ++i) {
        if (static_cast<int>(i) == shape.rowidColumn || (i < known.size() && !known[i]))
            continue;
        const bool realColumn = i < shape.realAffinity.size() && shape.realAffinity[i];
        const SqlValue got = normalized(i < reported.size() ? reported[i] : none, realColumn);
        const SqlValue want = normalized(i < version.size() ? version[i] : none, realColumn);
        if (got == want)
            continue;
        if (cut && got.type == SqlValue::Type::Null)
            continue;
        const bool piece = want.type == SqlValue::Type::Text || want.type == SqlValue::Type::Blob;
        // A text cut inside a character ends in the replacement character
        // the scan's JSON gives its bytes.
        std::string kept = got.bytes;
        if (got.type == SqlValue::Type::Text && kept.ends_with("\xEF\xBF\xBD"))
            kept.resize(kept.size() - 3);
        if (overflowed && piece &&
            (got.type == SqlValue::Type::Null ||
             (got.type == want.type && want.bytes.compare(0, kept.size(), kept) == 0))) {
            cut = true;
            continue;
        }
        return false;
    }
    return true;
}

// Whether a value tells rows apart: not NULL, empty, 0, 1 or -1 (flags and
// defaults most rows share).
bool distinctive(const SqlValue& v) {
    if (v.isEmpty())
        return false;
    if (v.type == SqlValue::Type::Integer)
        return v.integer < -1 || v.integer > 1;
    if (v.type == SqlValue::Type::Real)
        return v.real != 0 && v.real != 1 && v.real != -1;
    return true;
}

// Whether two values are equal, an integer and a real of the same number alike.
bool sameNumberOrBytes(const SqlValue& a, const SqlValue& b) {
    if (a.type == SqlValue::Type::Integer && b.type == SqlValue::Type::Real)
        return static_cast<double>(a.integer) == b.real;
    if (a.type == SqlValue::Type::Real && b.type == SqlValue::Type::Integer)
        return a.real == static_cast<double>(b.integer);
    return a == b;
}

// How many of the reported known, distinctive values `row` holds, in any of
// its columns (values shifted by a column count too), each of its values
// standing for one reported value; `compared` is set to the number of such
// reported values.
size_t sharedValues(const TableShape& shape, const SqlRow& reported, const SqlRow& row,
                    const std::vector<bool>& known, size_t& compared) {
    size_t equal = 0;
    compared = 0;
    std::vector<bool> used(row.size(), false);
    for (size_t i = 0; i < reported.size(); ++i) {
        if (static_cast<int>(i) == shape.rowidColumn || (i < known.size() && !known[i]) ||
            !distinctive(reported[i]))
            continue;
        ++compared;
        for (size_t j = 0; j < row.size(); ++j) {
            if (!used[j] && sameNumberOrBytes(reported[i], row[j])) {
                used[j] = true;
                ++equal;
                break;
            }
        }
    }
    return equal;
}

// Whether the record of `version` spills into overflow pages.
bool overflows(const TableShape& shape, const SqlRow& version, uint32_t pageSize) {
    const std::string record = encodeRecord(shape, version, version.size());
    return pageSize > 0 && localPayloadSize(record.size(), pageSize) < record.size();
}

// "table rowid 12 (wal page 3 offset 4096)" for messages.
std::string where(const ScannedRecord& r) {
    return r.table + " rowid " + (r.rowid ? std::to_string(*r.rowid) : "null") + " (" + r.source +
           " page " + std::to_string(r.page) + " offset " + std::to_string(r.offset) + ", line " +
           std::to_string(r.line) + ")";
}

} // namespace

RecallScore scoreScan(const DatabaseTruth& truth, const ScanOutput& scan) {
    RecallScore score;
    std::map<std::pair<std::string, int64_t>, size_t> deletedAt;
    std::unordered_map<std::string, std::vector<size_t>> deletedByValues; // table + key
    std::map<std::string, std::vector<size_t>> deletedIn;                 // per table
    std::map<std::string, std::vector<size_t>> overflowingIn;             // per table
    std::vector<bool> overflowing(truth.deleted.size(), false);
    for (size_t i = 0; i < truth.deleted.size(); ++i) {
        const DeletedRow& row = truth.deleted[i];
        deletedAt[{row.table, row.rowid}] = i;
        deletedIn[row.table].push_back(i);
        const TableShape* shape = findShape(truth.tables, row.table);
        for (const SqlRow& v : row.versions) {
            deletedByValues[row.table + valueKey(*shape, v)].push_back(i);
            overflowing[i] = overflowing[i] || overflows(*shape, v, truth.pageSize);
        }
        if (overflowing[i])
            overflowingIn[row.table].push_back(i);
    }
    std::set<std::pair<std::string, int64_t>> live;
    std::set<std::string> liveValues;
    for (const LiveRow& row : truth.live) {
        live.emplace(row.table, row.rowid);
        liveValues.insert(row.table + valueKey(*findShape(truth.tables, row.table), row.values));
    }

    // Notes a fault of `kind` with an example.
    std::map<std::string, size_t> examples;
    auto fault = [&](size_t& counter, const std::string& kind, const ScannedRecord& r) {
        ++counter;
        if (examples[kind]++ < kExamplesPerFault)
            score.problems.push_back(kind + ": " + where(r));
    };
    // Whether deleted row `i` had the reported values in one of its versions.
    auto matchesRow = [&](const TableShape& shape, const ScannedRecord& r,
                          const std::vector<bool>& known, size_t i) {
        // A record cut where another cell took its bytes may end a text early.
        for (const SqlRow& v : truth.deleted[i].versions)
            if (sameValues(shape, r.values, v, r.damaged || overflows(shape, v, truth.pageSize),
                           known))
                return true;
        return false;
    };
    std::map<std::string, std::vector<const LiveRow*>> liveIn; // per table
    for (const LiveRow& row : truth.live)
        liveIn[row.table].push_back(&row);
    // Whether the record has most of its distinctive values from a deleted
    // row, and more of them than from any live row (then it is likelier an
    // older version of that live row): the mark of values shifted by a column
    // or run into from a neighbouring record.
    auto shiftedFromDeleted = [&](const TableShape& shape, const ScannedRecord& r,
                                  const std::vector<bool>& known) {
        size_t bestDeleted = 0, bestLive = 0, compared = 0;
        for (size_t i : deletedIn[r.table])
            for (const SqlRow& v : truth.deleted[i].versions)
                bestDeleted =
                    std::max(bestDeleted, sharedValues(shape, r.values, v, known, compared));
        for (const LiveRow* row : liveIn[r.table])
            bestLive =
                std::max(bestLive, sharedValues(shape, r.values, row->values, known, compared));
        return bestDeleted >= 2 && 2 * bestDeleted >= compared && bestDeleted > bestLive;
    };

    std::vector<bool> found(truth.deleted.size(), false);
    std::vector<bool> foundAny(truth.deleted.size(), false);
    std::set<std::pair<std::string, int64_t>> seenRowids;
    std::set<std::string> seenValues;
    for (const ScannedRecord& r : scan.records) {
        ++score.reported;
        const TableShape* shape = findShape(truth.tables, r.table);
        if (!shape) {
            fault(score.unmatched, "no such table", r);
            continue;
        }
        const std::vector<bool> known = knownColumns(*shape, r);
        const bool whole = std::find(known.begin(), known.end(), false) == known.end();

        if (r.partialEvidence()) {
            // Partial by nature: only a contradiction of the truth is a fault.
            ++score.partialReported;
            std::vector<size_t> candidates;
            if (r.rowid) {
                if (live.count({r.table, *r.rowid})) {
                    fault(score.liveReported, "live row", r);
                    continue;
                }
                const auto at = deletedAt.find({r.table, *r.rowid});
                if (at == deletedAt.end()) {
                    fault(score.neverExisted, "a row the table never had", r);
                    continue;
                }
                if (!matchesRow(*shape, r, known, at->second)) {
                    fault(score.wrongValues, "values the row never had", r);
                    continue;
                }
                candidates.push_back(at->second);
            } else {
                for (size_t i : deletedIn[r.table])
                    if (matchesRow(*shape, r, known, i))
                        candidates.push_back(i);
            }
            score.partialMatched += candidates.empty() ? 0 : 1;
            for (size_t i : candidates)
                foundAny[i] = true;
            continue;
        }

        bool valued = shape->columns.size() == 1 && shape->rowidColumn == 0;
        for (size_t i = 0; i < r.values.size(); ++i)
            valued = valued || (static_cast<int>(i) != shape->rowidColumn &&
                                (i >= known.size() || known[i]) && !r.values[i].isEmpty());
        if (!valued)
            fault(score.valueless, "no value", r);
        if (holdsNothing(*shape, r.values, known))
            fault(score.junk, "junk", r);
        const std::string key = r.table + valueKey(*shape, r.values);

        if (r.rowid) {
            if (!seenRowids.emplace(r.table, *r.rowid).second) {
                fault(score.duplicates, "reported twice", r);
                continue;
            }
            if (live.count({r.table, *r.rowid})) {
                fault(score.liveReported, "live row", r);
                continue;
            }
            const auto at = deletedAt.find({r.table, *r.rowid});
            if (at == deletedAt.end()) {
                fault(score.neverExisted, "a row the table never had", r);
                continue;
            }
            found[at->second] = foundAny[at->second] = true;
            if (!matchesRow(*shape, r, known, at->second))
                fault(score.wrongValues, "values the row never had", r);
            continue;
        }

        if (!seenValues.insert(key + (whole ? "" : "|partial")).second) {
            fault(score.duplicates, "reported twice", r);
            continue;
        }
        if (whole && liveValues.count(key)) {
            fault(score.liveReported, "live row", r);
            continue;
        }
        std::vector<size_t> matches;
        // A record with every column and no cut is looked up by its values; a
        // partial or cut one is compared with each deleted row of its table.
        if (whole && !r.damaged) {
            if (auto it = deletedByValues.find(key); it != deletedByValues.end())
                matches = it->second;
            for (size_t i : overflowingIn[r.table])
                if (matchesRow(*shape, r, known, i))
                    matches.push_back(i);
        } else {
            for (size_t i : deletedIn[r.table])
                if (matchesRow(*shape, r, known, i))
                    matches.push_back(i);
        }
        if (matches.empty()) {
            // Values that no row had, while a deleted row has most of them, are
            // shifted or taken from a neighbour: wrong, not an unknown remnant.
            // One that resembles a live row as much is likelier that row before
            // an update changed it (the truth keeps versions of deleted rows only).
            if (shiftedFromDeleted(*shape, r, known))
                fault(score.wrongValues, "shifted or wrongly attributed values", r);
            else
                fault(score.unmatched, "no deleted row", r);
        }
        for (size_t i : matches)
            found[i] = foundAny[i] = true;
    }

    for (size_t i = 0; i < truth.deleted.size(); ++i) {
        const DeletedRow& row = truth.deleted[i];
        for (RecallCounts* c : {&score.all, &score.tables[row.table]}) {
            ++c->deleted;
            if (!row.countable)
                continue;
            ++c->countable;
            c->foundAny += foundAny[i] ? 1 : 0;
            if (!row.survives && row.indexSurvives) {
                ++c->indexOnly;
                c->indexOnlyFound += foundAny[i] ? 1 : 0;
            }
            if (!row.survives) {
                c->foundBeyond += found[i] ? 1 : 0;
                continue;
            }
            ++c->surviving;
            c->found += found[i] ? 1 : 0;
            if (row.wholeRecord) {
                ++c->wholeSurviving;
                c->wholeFound += found[i] ? 1 : 0;
            }
        }
    }
    for (size_t i = 0; i < truth.deleted.size(); ++i) {
        const DeletedRow& row = truth.deleted[i];
        if (row.countable && !row.survives && row.indexSurvives && !foundAny[i] &&
            examples["missed index entry"]++ < kExamplesPerFault)
            score.problems.push_back("missed index entry: " + row.table + " rowid " +
                                     std::to_string(row.rowid));
        if (row.countable && row.survives && !found[i] && examples["missed"]++ < kExamplesPerFault)
            score.problems.push_back("missed: " + row.table + " rowid " +
                                     std::to_string(row.rowid) + " (" + survivalName(row.survival) +
                                     ", in " + row.foundIn.front() + ")");
    }
    return score;
}

std::string describeScore(const RecallScore& s) {
    // One "found/surviving = percent" figure.
    auto ratio = [](size_t found, size_t of) {
        char text[64];
        std::snprintf(text, sizeof text, "%zu/%zu = %.1f%%", found, of,
                      of ? 100.0 * double(found) / double(of) : 100.0);
        return std::string(text);
    };
    std::string out =
        "recall " + ratio(s.all.found, s.all.surviving) + " (whole records " +
        ratio(s.all.wholeFound, s.all.wholeSurviving) + ", header lost " +
        ratio(s.all.headerLostFound(), s.all.headerLostSurviving()) + "); " +
        std::to_string(s.all.deleted) + " deleted, " + std::to_string(s.all.countable) +
        " with a value, " + std::to_string(s.all.surviving) + " surviving, " +
        std::to_string(s.all.foundBeyond) + " found beyond; " + std::to_string(s.reported) +
        " reported: " + std::to_string(s.liveReported) + " live, " + std::to_string(s.valueless) +
        " without a value, " + std::to_string(s.duplicates) + " twice, " +
        std::to_string(s.wrongValues) + " with wrong values, " + std::to_string(s.neverExisted) +
        " never in their table, " + std::to_string(s.unmatched) +
        " without rowid of no deleted row, " + std::to_string(s.junk) + " junk, " +
        std::to_string(s.partialReported) + " partial by nature (" +
        std::to_string(s.partialMatched) + " matching a deleted row)\n";
    for (const auto& [table, c] : s.tables) {
        out += "  " + table + ": " + ratio(c.found, c.surviving) + " of " +
               std::to_string(c.deleted) + " deleted";
        if (c.indexOnly)
            out += ", cell gone but an index entry left: " + ratio(c.indexOnlyFound, c.indexOnly);
        out += "\n";
    }
    for (const std::string& p : s.problems)
        out += "  " + p + "\n";
    return out;
}

} // namespace testdata
