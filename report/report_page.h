// What every page of the report shares: its frame (head, style, the bar of
// links to the other pages, the time zone its dates are in, the filter
// script), the cells of its tables and the links between the parts of a
// long list.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "report_files.h"

namespace fennaro::report {

// The mark a deleted record carries: the trash can and the word.
inline constexpr std::string_view kDeletedMark =
    "<span class=\"mark\" title=\"deleted\">\xF0\x9F\x97\x91 deleted</span>";

// What the pages of one report have in common.
struct PageSet {
    const ReportData& data;
    const ReportOptions& options;
    // What each page says of its dates, escaped.
    std::string zoneLine;
    // Whether there is a calls page.
    bool hasCalls = false;
    // The rows a page holds at most (never 0).
    size_t rowsPerPage = kRowsPerPage;
};

// Returns the pages' common parts for a report.
PageSet pageSetOf(const ReportData& data, const ReportOptions& options);

// Returns the file name of part `part` (0 first) of a list split into pages:
// "contacts.html", "contacts-2.html", ...
std::string partName(std::string_view stem, size_t part);

// Returns the number of pages a list of `rows` rows takes (at least 1).
size_t partCount(size_t rows, size_t rowsPerPage);

// Returns the file name of conversation `index` (0 first) below the report's
// folder, part `part`: "conversations/c0001.html", "conversations/c0001-2.html".
std::string conversationPage(size_t index, size_t part = 0);

// Starts a page: its head with the escaped title, the bar of links and the
// heading, and the time zone line. root leads from the page to the report's
// folder ("" or "../").
void beginPage(std::string& html, const PageSet& set, std::string_view title,
               std::string_view root);

// Ends a page: the filter script and the closing tags.
void endPage(std::string& html);

// Appends the links to the previous and the next part of a list (each
// omitted when there is none) and which part this is. Names are relative to
// the page.
void appendPager(std::string& html, size_t part, size_t parts, const std::string& previous,
                 const std::string& next);

// Appends a link; the address is ours (no record text), the text is escaped.
void appendLink(std::string& html, std::string_view address, std::string_view text);

// Appends one table cell holding escaped text.
void cell(std::string& html, std::string_view text, std::string_view cls = {});

// Returns where a deleted record was found, in words; "" for a live one.
// files, when given, names the databases that hold the record (a message of
// the phone's other stores) in the file's place, and stands alone for a
// live one.
std::string placeText(const std::optional<deep::RecordPlace>& place, const std::string& files = {});

// Returns a message's date as a page shows it: its date line, "(no date)"
// for a deleted one without one.
std::string_view shownDate(const std::string& dateLine, bool deleted);

// The pages of each kind; each hands its pages to sink and returns false
// when sink refused one.
bool makeEntryPages(const PageSet& set, const PageSink& sink);
bool makeContactPages(const PageSet& set, const PageSink& sink);
bool makeConversationPages(const PageSet& set, const PageSink& sink);
bool makeCallPages(const PageSet& set, const PageSink& sink);
bool makeTimelinePages(const PageSet& set, const PageSink& sink);

} // namespace fennaro::report
