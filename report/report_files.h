// Writing a report: report.html, one self-contained page that any browser
// opens, and records.csv, one row per record and per field of a contact,
// for spreadsheet programs.
#pragma once

#include <string>
#include <string_view>

#include "report_data.h"

namespace fennaro::report {

// The header row of records.csv.
inline constexpr std::string_view kCsvHeader =
    "kind,deleted,evidence,name,number,date,date_ms,direction,text,file,page,offset,frame";

// Returns text made safe to stand in a page: invalid UTF-8 as U+FFFD, a NUL
// as U+2400 (the symbol for it), and & < > " ' as character references.
std::string htmlEscape(std::string_view text);

// Returns one CSV field: invalid UTF-8 as U+FFFD, a NUL as U+2400, quoted
// (quotes doubled) when it holds a comma, a quote or a line break.
std::string csvField(std::string_view text);

// Returns the whole page.
std::string reportHtml(const ReportData& data);

// Returns the whole table: a UTF-8 byte order mark, the header row, the rows;
// every row ends with CR LF.
std::string reportCsv(const ReportData& data);

// Writes folder/report.html and folder/records.csv, each whole or not at all.
// Returns "" on success, else what went wrong.
std::string writeReportFiles(const std::string& folder, const ReportData& data);

} // namespace fennaro::report
