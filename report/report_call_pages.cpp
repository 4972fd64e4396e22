// calls.html: the call log, one row per call, deleted ones marked; past a
// page's rows it goes on in calls-2.html, ... Only a deep report with calls
// has it.
#include <algorithm>

#include "report_page.h"

namespace fennaro::report {

namespace {

// Appends the calls [from, to).
void appendCalls(std::string& html, const ReportData& data, size_t from, size_t to) {
    html += "<table id=\"calls\"><tr><th>Date</th><th>Type</th>"
            "<th>Name</th><th>Number</th><th>Duration (s)</th><th>State</th><th>Evidence</th>"
            "<th>Place</th></tr>\n";
    for (size_t i = from; i < to; ++i) {
        const CallRow& call = data.calls[i];
        html += call.deleted ? "<tr class=\"deleted\">" : "<tr>";
        cell(html, shownDate(call.dateLine, true));
        cell(html, call.type);
        cell(html, call.name);
        cell(html, call.number);
        cell(html, call.duration ? std::to_string(*call.duration) : std::string(), "num");
        html += call.deleted ? "<td>" + std::string(kDeletedMark) + "</td>"
                             : "<td>live, " + htmlEscape(call.file) + "</td>";
        cell(html, call.evidence);
        cell(html, placeText(call.place));
        html += "</tr>\n";
    }
    html += "</table>\n";
}

} // namespace

bool makeCallPages(const PageSet& set, const PageSink& sink) {
    if (!set.hasCalls)
        return true;
    const size_t perPage = set.rowsPerPage;
    const size_t total = set.data.calls.size();
    const size_t parts = partCount(total, perPage);
    std::string html;
    for (size_t part = 0; part < parts; ++part) {
        html.clear();
        beginPage(html, set, parts > 1 ? "Call log, page " + std::to_string(part + 1) : "Call log",
                  "");
        const std::string previous = part > 0 ? partName("calls", part - 1) : std::string();
        const std::string next = part + 1 < parts ? partName("calls", part + 1) : std::string();
        appendPager(html, part, parts, previous, next);
        const size_t from = part * perPage;
        appendCalls(html, set.data, from, std::min(total, from + perPage));
        appendPager(html, part, parts, previous, next);
        endPage(html);
        if (!sink(partName("calls", part), html))
            return false;
    }
    return true;
}

} // namespace fennaro::report
