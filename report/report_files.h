// Writing a report: a set of pages that any browser opens from the folder
// alone (report.html the entry page, then the contacts, one page per
// conversation, the calls and a timeline, each long list split into pages),
// and records.csv, one row per record and per field of a contact, for
// spreadsheet programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "report_data.h"

namespace fennaro::report {

// The header row of records.csv.
inline constexpr std::string_view kCsvHeader =
    "kind,deleted,evidence,name,number,date,date_ms,direction,text,file,page,offset,frame";

// Returns text made safe to stand in a page: invalid UTF-8 as U+FFFD, a NUL
// as U+2400 (the symbol for it), and & < > " ' as character references.
std::string htmlEscape(std::string_view text);

// Appends text to out as htmlEscape returns it, without a copy when the
// text is plain ASCII.
void appendHtmlEscaped(std::string& out, std::string_view text);

// Returns one CSV field: invalid UTF-8 as U+FFFD, a NUL as U+2400, quoted
// (quotes doubled) when it holds a comma, a quote or a line break.
std::string csvField(std::string_view text);

// The rows a page of a long list holds before the list goes on in another
// page: a browser lays out tables of this size at once.
inline constexpr size_t kRowsPerPage = 5000;

// What the report's pages show beyond the records, and how.
struct ReportOptions {
    // The case details, shown at the top of the entry page when given.
    std::string caseText;
    std::string examiner;
    std::string notes;
    // The dates are UTC (see useUtcDates) rather than this computer's local time.
    bool utc = false;
    // Rows (contacts, messages, calls, events, conversations of the index) a
    // page holds at most; never 0.
    size_t rowsPerPage = kRowsPerPage;
};

// One page of the report: its path relative to the report's folder.
struct ReportPage {
    std::string path;
    std::string html;
};

// Receives each page as it is made; false stops the making.
using PageSink = std::function<bool(const std::string& path, const std::string& html)>;

// Makes every page of the report, handing each to sink in turn. Returns
// false when sink refused one.
bool makeReportPages(const ReportData& data, const ReportOptions& options, const PageSink& sink);

// Returns every page of the report.
std::vector<ReportPage> reportPages(const ReportData& data, const ReportOptions& options = {});

// Rewrites every date line of the report (messages, calls, when it was made)
// in UTC from the stored times.
void useUtcDates(ReportData& data);

// Returns what a page says of its dates: "times in UTC" or, for local time,
// the zone's offset at the given time and its name, as this computer keeps
// them (the other offset too when the zone changes it in summer).
std::string zoneStatement(bool utc, int64_t atSeconds);

// Returns the whole table: a UTF-8 byte order mark, the header row, the rows;
// every row ends with CR LF.
std::string reportCsv(const ReportData& data);

// Receives the table piece by piece (whole rows); false stops it.
using CsvDrain = std::function<bool(const std::string& piece)>;

// Makes the same table as reportCsv and hands it to drain in pieces of
// about a mebibyte, so that a large table needs no memory of its size.
// Returns false when drain refused a piece.
bool streamCsv(const ReportData& data, const CsvDrain& drain);

// Writes the pages and folder/records.csv: all of them or, when one cannot
// be written, none (the files of an earlier report stay as they were).
// Returns "" on success, else what went wrong.
std::string writeReportFiles(const std::string& folder, const ReportData& data,
                             const ReportOptions& options = {});

} // namespace fennaro::report
