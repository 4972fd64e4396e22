// The call log in a report: one row per call, live and deleted, as the
// window lists them.
#include "report_data.h"

namespace fennaro::report {

void addCalls(ReportData& data, const std::vector<deep::CallRecord>& calls) {
    for (const deep::CallRecord& call : calls) {
        CallRow row;
        row.deleted = call.deleted;
        row.name = call.name;
        row.number = call.number;
        row.dateLine = call.dateLine;
        row.dateMs = call.date;
        row.type = std::string(deep::callTypeLabel(call.type));
        row.duration = call.duration;
        row.file = call.file;
        if (call.deleted) {
            row.evidence = call.evidence;
            row.place = call.place;
            // A place without its file is in the database the call came from.
            if (row.place->file.empty())
                row.place->file = call.file;
            ++data.counts.deletedCalls;
        } else {
            ++data.counts.liveCalls;
        }
        data.calls.push_back(std::move(row));
    }
}

} // namespace fennaro::report
