#include "phone/scan_rules.h"

#include <algorithm>

#include "phone/contact_remnants.h"
#include "phone/message_remnants.h"

namespace fennaro::phone {

using deep::LiveTables;
using deep::RecoveredRecord;
using deep::TableColumns;

deep::ScanRules phoneScanRules() {
    // A document of the messages' index, else of the contacts' index; the
    // messages of words_content rows, then those of the snippets (a scan of
    // messages also reads the deleted conversations for them).
    deep::ScanRules rules;
    rules.ftsDocument = [](const deep::FtsDocument& document, const LiveTables& live,
                           std::vector<RecoveredRecord>* out) {
        return messageFromIndex(document, live, out) || contactFromIndex(document, live, out);
    };
    deep::DerivedRows words;
    words.target = "sms";
    words.derive = [](const std::vector<RecoveredRecord>& carved, const TableColumns& sms,
                      const LiveTables&) { return smsFromWordsContent(carved, sms); };
    rules.derived.push_back(std::move(words));
    deep::DerivedRows snippets;
    snippets.target = "sms";
    snippets.source = "threads";
    snippets.inVisitedScans = true;
    snippets.textColumn = "body";
    snippets.derive = [](const std::vector<RecoveredRecord>& carved, const TableColumns& sms,
                         const LiveTables& live) {
        std::vector<RecoveredRecord> out;
        for (const TableColumns& threads : live.tables()) {
            if (threads.table != "threads")
                continue;
            std::vector<RecoveredRecord> rows = snippetRemnants(carved, threads, sms);
            dropLiveSnippets(live, threads.table, sms, &rows);
            for (RecoveredRecord& r : rows)
                out.push_back(std::move(r));
        }
        return out;
    };
    rules.derived.push_back(std::move(snippets));
    return rules;
}

deep::ScanReport scanDatabase(const std::string& dbPath) {
    const deep::ScanRules rules = phoneScanRules();
    return deep::scanDatabase(dbPath, &rules);
}

deep::ScanReport scanSelected(const std::string& dbPath, const deep::ScanSelection& selection) {
    const deep::ScanRules rules = phoneScanRules();
    return deep::scanSelected(dbPath, selection, &rules);
}

deep::ScanReport scanSelected(const deep::DatabaseState& state,
                              const deep::ScanSelection& selection,
                              const deep::RecordVisitor& visitor) {
    const deep::ScanRules rules = phoneScanRules();
    return deep::scanSelected(state, selection, visitor, &rules);
}

} // namespace fennaro::phone
