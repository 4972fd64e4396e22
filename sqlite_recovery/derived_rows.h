// The callers' rules of derived rows in a scan that hands its records to a
// visitor: the rows of each rule's source table are kept from the visitor
// and handed to the rule, and what it makes of them joins the records
// unless a carved row of its target already says as much.
#pragma once

#include <string>
#include <vector>

#include "sqlite_recovery/sqlite_recovery.h"
#include "sqlite_recovery/table_schema.h"

namespace fennaro::deep {

// Whether table is read for a rule alone: the source of a rule whose
// target the selection asks for.
bool readForRule(const ScanRules& rules, const std::string& table, const ScanSelection& selection);

// The derived-row rules that run in one visited scan.
class VisitedRules {
  public:
    // The rules of rules that run for selection; reportColumns is the
    // report's schema (the columns each record of a table holds).
    VisitedRules(const ScanRules& rules, const ScanSelection& selection,
                 const std::vector<TableColumns>& reportColumns);

    // Takes a record of a rule's source table (true), which is then not
    // reported.
    bool takes(const RecoveredRecord& record);

    // Notes the text of a record of a rule's target as it is reported.
    void note(const RecoveredRecord& record);

    // Hands each rule its source rows and visits the rows it makes (shaped
    // as the selection asks) that no carved row of its target told of.
    // Rules whose source or target the current schema lacks give nothing.
    void finish(const std::vector<TableInfo>& current, const LiveTables& live,
                const ScanSelection& selection, const std::vector<TableColumns>& reportColumns,
                const std::vector<TableColumns>& tableColumns, const RecordVisitor& visit);

  private:
    // One rule's run: its source rows and the hashes of its target's texts.
    struct Run {
        const DerivedRows* rule = nullptr;
        size_t textAt = SIZE_MAX; // the text column's place among the reported columns
        std::vector<RecoveredRecord> sourceRows;
        std::vector<size_t> targetTexts;
    };
    std::vector<Run> m_runs;
};

} // namespace fennaro::deep
