// The frame every page of the report shares. A page holds its style and its
// one script inside, links only to the report's other files by relative
// addresses and reads well with scripts off: the script only adds a box
// above each table that hides the rows without the typed text.
#include <cstdio>

#include "file_ops.h"
#include "report_page.h"

namespace fennaro::report {

namespace {

// The pages' own style: readable tables, deleted records in red with the
// trash mark, message texts with their line breaks kept. Every page carries
// it, so it is kept short.
constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}h1{font-size:1.6em}"
    "h2{margin-top:1.8em;border-bottom:1px solid #ccc}nav a{margin-right:1em}"
    "table{border-collapse:collapse;margin:.5em 0 1em}"
    "th,td{border:1px solid #ccc;padding:3px 8px;text-align:left;vertical-align:top}"
    "th{background:#f0f0f0}td.num{text-align:right;font-variant-numeric:tabular-nums}"
    "td.hash{font-family:monospace;font-size:.85em}"
    "td.text,#messages td:nth-child(4),#timeline td:nth-child(5)"
    "{white-space:pre-wrap;max-width:40em;overflow-wrap:anywhere}"
    "tr.deleted td{color:#b00000}tr.deleted td:first-child{border-left:4px solid #d00000}"
    "#conversations td:nth-child(3),#conversations td:nth-child(4){text-align:right}"
    "#messages td:first-child,#timeline td:first-child,#calls td:first-child{white-space:nowrap}"
    ".mark,.warn{font-weight:bold}.warn{color:#b00000}.zone,.pager{color:#555}"
    "input.filter{display:block;margin-top:.5em;width:20em}";

// The filter: a box above each table (but the case details) that hides the
// rows whose text does not hold what is typed, case aside (in a table of
// groups, a contact's rows, a row whose first cell is empty belongs to the
// row above it: a group's rows show with its first one, and its first one
// with each of them); the page's
// address may carry "#find=TEXT" (URL-encoded) to open it filtered. It reads
// only the page's own text and builds no markup from it. Every page carries
// it, so it is kept short.
constexpr std::string_view kScript =
    "(function(){'use strict';var boxes=[];"
    "function apply(box){var word=box.value.toLowerCase(),rows=box.rowsOf.rows,"
    "grouped=box.rowsOf.classList.contains('grouped'),head=null,headShown=false;"
    "for(var i=0;i<rows.length;i++){var row=rows[i];"
    "if(row.cells.length===0||row.cells[0].tagName==='TH')continue;"
    "var shown=word===''||row.textContent.toLowerCase().indexOf(word)>=0;"
    "if(grouped&&row.cells[0].textContent!==''){head=row;headShown=shown;}"
    "else if(grouped&&head){if(shown)head.hidden=false;shown=shown||headShown;}"
    "row.hidden=!shown;}}"
    "var tables=document.querySelectorAll('table:not(.plain)');"
    "for(var i=0;i<tables.length;i++){var box=document.createElement('input');"
    "box.type='search';box.className='filter';box.placeholder='Filter the rows';"
    "box.setAttribute('aria-label','Filter the rows of the table below');"
    "box.rowsOf=tables[i];box.addEventListener('input',function(){apply(this);});"
    "tables[i].parentNode.insertBefore(box,tables[i]);boxes.push(box);}"
    "function fromAddress(){var hash=window.location.hash;"
    "if(hash.indexOf('#find=')!==0)return;var text=hash.slice(6);"
    "try{text=decodeURIComponent(text);}catch(e){}"
    "for(var j=0;j<boxes.length;j++){boxes[j].value=text;apply(boxes[j]);}}"
    "window.addEventListener('hashchange',fromAddress);fromAddress();})();";

// Appends the bar of links to the report's pages.
void appendNavigation(std::string& html, const PageSet& set, std::string_view root) {
    html += "<nav>";
    const auto link = [&](std::string_view file, std::string_view text) {
        appendLink(html, std::string(root) + std::string(file), text);
        html += ' ';
    };
    link("report.html", "Summary");
    link("report.html#conversations-index", "Conversations");
    link("contacts.html", "Contacts");
    if (set.hasCalls)
        link("calls.html", "Calls");
    link("timeline.html", "Timeline");
    link("records.csv", "records.csv");
    html += "</nav>\n";
}

} // namespace

PageSet pageSetOf(const ReportData& data, const ReportOptions& options) {
    PageSet set{data,
                options,
                {},
                data.deep && !data.calls.empty(),
                options.rowsPerPage == 0 ? kRowsPerPage : options.rowsPerPage};
    set.zoneLine = htmlEscape(zoneStatement(options.utc, data.madeAtSeconds));
    return set;
}

std::string partName(std::string_view stem, size_t part) {
    std::string name(stem);
    if (part > 0)
        name += '-' + std::to_string(part + 1);
    return name + ".html";
}

size_t partCount(size_t rows, size_t rowsPerPage) {
    return rows == 0 ? 1 : (rows + rowsPerPage - 1) / rowsPerPage;
}

std::string conversationPage(size_t index, size_t part) {
    char stem[40];
    std::snprintf(stem, sizeof stem, "conversations/c%04zu", index + 1);
    return partName(stem, part);
}

void beginPage(std::string& html, const PageSet& set, std::string_view title,
               std::string_view root) {
    html += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width\">\n<title>";
    appendHtmlEscaped(html, title);
    html += " \xE2\x80\x94 Recovery report</title>\n<style>";
    html += kStyle;
    html += "</style></head>\n<body>\n";
    appendNavigation(html, set, root);
    html += "<h1>";
    appendHtmlEscaped(html, title);
    html += "</h1>\n<p class=\"zone\" id=\"zone\">";
    html += set.zoneLine;
    html += "</p>\n";
}

void endPage(std::string& html) {
    html += "<script>";
    html += kScript;
    html += "</script>\n</body></html>\n";
}

void appendPager(std::string& html, size_t part, size_t parts, const std::string& previous,
                 const std::string& next) {
    if (parts < 2)
        return;
    html += "<p class=\"pager\">";
    if (!previous.empty()) {
        html += "<a rel=\"prev\" href=\"" + previous + "\">previous page</a> \xC2\xB7 ";
    }
    html += "page " + std::to_string(part + 1) + " of " + std::to_string(parts);
    if (!next.empty())
        html += " \xC2\xB7 <a rel=\"next\" href=\"" + next + "\">next page</a>";
    html += "</p>\n";
}

void appendLink(std::string& html, std::string_view address, std::string_view text) {
    html += "<a href=\"";
    appendHtmlEscaped(html, address);
    html += "\">";
    appendHtmlEscaped(html, text);
    html += "</a>";
}

void cell(std::string& html, std::string_view text, std::string_view cls) {
    if (cls.empty()) {
        html += "<td>";
    } else {
        html += "<td class=\"";
        html += cls;
        html += "\">";
    }
    appendHtmlEscaped(html, text);
    html += "</td>";
}

std::string placeText(const std::optional<deep::RecordPlace>& place, const std::string& files) {
    if (!place)
        return files;
    std::string text = (files.empty() ? platform::baseName(place->file) : files) + ", page " +
                       std::to_string(place->page) + ", offset " + std::to_string(place->offset);
    if (place->frame)
        text += ", frame " + std::to_string(*place->frame);
    return text;
}

std::string_view shownDate(const std::string& dateLine, bool deleted) {
    if (dateLine.empty() && deleted)
        return "(no date)";
    return dateLine;
}

bool makeReportPages(const ReportData& data, const ReportOptions& options, const PageSink& sink) {
    const PageSet set = pageSetOf(data, options);
    return makeEntryPages(set, sink) && makeContactPages(set, sink) &&
           makeConversationPages(set, sink) && makeCallPages(set, sink) &&
           makeTimelinePages(set, sink);
}

std::vector<ReportPage> reportPages(const ReportData& data, const ReportOptions& options) {
    std::vector<ReportPage> pages;
    makeReportPages(data, options, [&](const std::string& path, const std::string& html) {
        pages.push_back({path, html});
        return true;
    });
    return pages;
}

} // namespace fennaro::report
