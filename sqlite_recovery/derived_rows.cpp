#include "sqlite_recovery/derived_rows.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "sqlite_recovery/partial_rows.h"

namespace fennaro::deep {

bool readForRule(const ScanRules& rules, const std::string& table, const ScanSelection& selection) {
    // Only a rule with a source of its own reads one.
    return std::any_of(rules.derived.begin(), rules.derived.end(), [&](const DerivedRows& rule) {
        return !rule.source.empty() && rule.source == table && selection.count(rule.target);
    });
}

VisitedRules::VisitedRules(const ScanRules& rules, const ScanSelection& selection,
                           const std::vector<TableColumns>& reportColumns) {
    // A rule runs where the selection asks for its target but not its source.
    for (const DerivedRows& rule : rules.derived) {
        if (!rule.inVisitedScans || !rule.derive || rule.source.empty() || selection.empty() ||
            !selection.count(rule.target) || selection.count(rule.source))
            continue;
        Run run;
        run.rule = &rule;
        for (const TableColumns& t : reportColumns) {
            for (size_t i = 0; t.table == rule.target && i < t.columns.size(); ++i) {
                if (t.columns[i] == rule.textColumn)
                    run.textAt = i;
            }
        }
        m_runs.push_back(std::move(run));
    }
}

bool VisitedRules::takes(const RecoveredRecord& record) {
    // The first rule whose source the record is of keeps it.
    for (Run& run : m_runs) {
        if (record.table == run.rule->source) {
            run.sourceRows.push_back(record);
            return true;
        }
    }
    return false;
}

void VisitedRules::note(const RecoveredRecord& record) {
    // Hashes, so a long scan keeps no copy of every text.
    const std::hash<std::string_view> hashText;
    for (Run& run : m_runs) {
        if (record.table == run.rule->target && run.textAt < record.values.size())
            run.targetTexts.push_back(hashText(record.values[run.textAt].bytes));
    }
}

void VisitedRules::finish(const std::vector<TableInfo>& current, const LiveTables& live,
                          const ScanSelection& selection,
                          const std::vector<TableColumns>& reportColumns,
                          const std::vector<TableColumns>& tableColumns,
                          const RecordVisitor& visit) {
    // Each rule over its source rows, its rows shaped and checked against
    // the texts its target's carved rows hold.
    const std::hash<std::string_view> hashText;
    auto inCurrent = [&](const std::string& name) {
        return std::any_of(current.begin(), current.end(),
                           [&](const TableInfo& t) { return t.name == name; });
    };
    for (Run& run : m_runs) {
        const DerivedRows& rule = *run.rule;
        if (!inCurrent(rule.source) || !inCurrent(rule.target))
            continue;
        const auto target =
            std::find_if(live.tables().begin(), live.tables().end(),
                         [&](const TableColumns& t) { return t.table == rule.target; });
        PartialRows remnants(rule.derive(run.sourceRows, *target, live), selection, reportColumns,
                             tableColumns);
        std::sort(run.targetTexts.begin(), run.targetTexts.end());
        for (RecoveredRecord& record : remnants.remaining()) {
            const bool known =
                std::any_of(record.values.begin(), record.values.end(), [&](const Value& v) {
                    return v.kind == Value::Kind::Text &&
                           std::binary_search(run.targetTexts.begin(), run.targetTexts.end(),
                                              hashText(v.bytes));
                });
            if (!known)
                visit.visit(record);
        }
    }
}

} // namespace fennaro::deep
