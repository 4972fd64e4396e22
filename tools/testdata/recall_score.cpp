#include "recall_score.h"

#include "record_encoding.h"

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

// Whether the reported values equal `version` on the compared columns, texts and
// blobs of an overflowing record allowed to be cut short (down to nothing). Where
// the chain was cut, the columns after the cut were never read: null there
// says "not recovered", as for a piece cut down to nothing.
bool sameValues(const TableShape& shape, const SqlRow& reported, const SqlRow& version,
                bool overflowed) {
    const SqlValue none;
    bool cut = false;
    for (size_t i = 0; i < comparedColumns(shape); ++i) {
        if (static_cast<int>(i) == shape.rowidColumn)
            continue;
        const bool realColumn = i < shape.realAffinity.size() && shape.realAffinity[i];
        const SqlValue got = normalized(i < reported.size() ? reported[i] : none, realColumn);
        const SqlValue want = normalized(i < version.size() ? version[i] : none, realColumn);
        if (got == want)
            continue;
        if (cut && got.type == SqlValue::Type::Null)
            continue;
        const bool piece = want.type == SqlValue::Type::Text || want.type == SqlValue::Type::Blob;
        if (overflowed && piece &&
            (got.type == SqlValue::Type::Null ||
             (got.type == want.type && want.bytes.compare(0, got.bytes.size(), got.bytes) == 0))) {
            cut = true;
            continue;
        }
        return false;
    }
    return true;
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
    std::map<std::string, std::vector<size_t>> overflowingIn;             // per table
    for (size_t i = 0; i < truth.deleted.size(); ++i) {
        const DeletedRow& row = truth.deleted[i];
        deletedAt[{row.table, row.rowid}] = i;
        const TableShape* shape = findShape(truth.tables, row.table);
        bool overflowing = false;
        for (const SqlRow& v : row.versions) {
            deletedByValues[row.table + valueKey(*shape, v)].push_back(i);
            overflowing = overflowing || overflows(*shape, v, truth.pageSize);
        }
        if (overflowing)
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

    std::vector<bool> found(truth.deleted.size(), false);
    std::set<std::pair<std::string, int64_t>> seenRowids;
    std::set<std::string> seenValues;
    for (const ScannedRecord& r : scan.records) {
        ++score.reported;
        const TableShape* shape = findShape(truth.tables, r.table);
        if (!shape) {
            fault(score.unmatched, "no such table", r);
            continue;
        }
        bool valued = shape->columns.size() == 1 && shape->rowidColumn == 0;
        for (size_t i = 0; i < r.values.size(); ++i)
            valued =
                valued || (static_cast<int>(i) != shape->rowidColumn && !r.values[i].isEmpty());
        if (!valued)
            fault(score.valueless, "no value", r);
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
            found[at->second] = true;
            const DeletedRow& row = truth.deleted[at->second];
            bool known = false;
            for (const SqlRow& v : row.versions)
                known =
                    known || sameValues(*shape, r.values, v, overflows(*shape, v, truth.pageSize));
            if (!known)
                fault(score.wrongValues, "values the row never had", r);
            continue;
        }

        if (!seenValues.insert(key).second) {
            fault(score.duplicates, "reported twice", r);
            continue;
        }
        if (liveValues.count(key)) {
            fault(score.liveReported, "live row", r);
            continue;
        }
        std::vector<size_t> matches;
        if (auto it = deletedByValues.find(key); it != deletedByValues.end())
            matches = it->second;
        for (size_t i : overflowingIn[r.table])
            for (const SqlRow& v : truth.deleted[i].versions)
                if (sameValues(*shape, r.values, v, true))
                    matches.push_back(i);
        if (matches.empty())
            fault(score.unmatched, "no deleted row", r);
        for (size_t i : matches)
            found[i] = true;
    }

    for (size_t i = 0; i < truth.deleted.size(); ++i) {
        const DeletedRow& row = truth.deleted[i];
        for (RecallCounts* c : {&score.all, &score.tables[row.table]}) {
            ++c->deleted;
            if (!row.countable)
                continue;
            ++c->countable;
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
        if (row.countable && row.survives && !found[i] && examples["missed"]++ < kExamplesPerFault)
            score.problems.push_back("missed: " + row.table + " rowid " +
                                     std::to_string(row.rowid) + " (in " + row.foundIn.front() +
                                     ")");
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
        ratio(s.all.wholeFound, s.all.wholeSurviving) + "); " + std::to_string(s.all.deleted) +
        " deleted, " + std::to_string(s.all.countable) + " with a value, " +
        std::to_string(s.all.surviving) + " surviving, " + std::to_string(s.all.foundBeyond) +
        " found beyond; " + std::to_string(s.reported) +
        " reported: " + std::to_string(s.liveReported) + " live, " + std::to_string(s.valueless) +
        " without a value, " + std::to_string(s.duplicates) + " twice, " +
        std::to_string(s.wrongValues) + " with wrong values, " + std::to_string(s.neverExisted) +
        " never in their table, " + std::to_string(s.unmatched) +
        " without rowid of no deleted row\n";
    for (const auto& [table, c] : s.tables)
        out += "  " + table + ": " + ratio(c.found, c.surviving) + " of " +
               std::to_string(c.deleted) + " deleted\n";
    for (const std::string& p : s.problems)
        out += "  " + p + "\n";
    return out;
}

} // namespace testdata
