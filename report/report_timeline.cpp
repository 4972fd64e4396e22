// timeline.html: every dated event of the phone in one list, newest first:
// messages (direction, number, name, first line of the text) and calls
// (type, number, name, duration), deleted ones marked with their evidence.
// A long list is split by month (timeline-2026-11.html, ...; a long month
// again into pages) and timeline.html then lists the months.
#include <algorithm>
#include <map>

#include "report_page.h"

namespace fennaro::report {

namespace {

// The longest first line a row shows of a text, in bytes.
constexpr size_t kFirstLineBytes = 100;

// One dated event: a message of a conversation, or a call.
struct Event {
    int64_t ms = 0;
    const MessageRow* message = nullptr;
    size_t conversation = 0;
    const CallRow* call = nullptr;
    // "YYYY-MM-DD hh:mm:ss" as the pages write dates.
    const std::string* dateLine = nullptr;
    // Its month as year * 12 + month - 1, for the order of a split timeline.
    int month = 0;
};

// Returns the month of a date line ("2026-11"), or "" when it has none.
std::string_view monthOf(const std::string& dateLine) {
    if (dateLine.size() < 7 || dateLine[4] != '-')
        return {};
    const std::string_view month = std::string_view(dateLine).substr(0, 7);
    for (size_t i : {0, 1, 2, 3, 5, 6}) {
        if (month[i] < '0' || month[i] > '9')
            return {};
    }
    return month;
}

// Returns a month ("2026-11") as year * 12 + month - 1.
int monthNumber(std::string_view month) {
    const auto digit = [&](size_t i) { return month[i] - '0'; };
    return (digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3)) * 12 + digit(5) * 10 +
           digit(6) - 1;
}

// Returns the events with a date, newest first (by month as the pages write
// it first, so that each month is one run even across a clock change);
// counts those without.
std::vector<Event> datedEvents(const ReportData& data, size_t& undated) {
    std::vector<Event> events;
    undated = 0;
    for (size_t c = 0; c < data.conversations.size(); ++c) {
        for (const MessageRow& message : data.conversations[c].messages) {
            if (!message.dateMs || monthOf(message.dateLine).empty()) {
                ++undated;
                continue;
            }
            events.push_back({*message.dateMs, &message, c, nullptr, &message.dateLine,
                              monthNumber(monthOf(message.dateLine))});
        }
    }
    for (const CallRow& call : data.calls) {
        // The call log is read in deep mode only.
        if (!data.deep)
            break;
        if (!call.dateMs || monthOf(call.dateLine).empty()) {
            ++undated;
            continue;
        }
        events.push_back(
            {*call.dateMs, nullptr, 0, &call, &call.dateLine, monthNumber(monthOf(call.dateLine))});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.month != b.month ? a.month > b.month : a.ms > b.ms;
    });
    return events;
}

// Returns the first line of a text, cut at a character's end when long.
std::string_view firstLine(const std::string& text, bool* cut) {
    const size_t limit = std::min(text.size(), kFirstLineBytes + 1);
    size_t end = 0;
    while (end < limit && text[end] != '\r' && text[end] != '\n')
        ++end;
    *cut = end > kFirstLineBytes;
    if (!*cut)
        return std::string_view(text).substr(0, end);
    end = kFirstLineBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string_view(text).substr(0, end);
}

// Appends the state cell: live, or the deleted mark with the evidence.
void appendState(std::string& html, bool deleted, const std::string& evidence) {
    if (!deleted) {
        html += "<td>live";
        return;
    }
    html += "<td>";
    html += kDeletedMark;
    if (!evidence.empty()) {
        html += ", ";
        appendHtmlEscaped(html, evidence);
    }
}

// Appends one event's row; links holds each conversation's page. The
// timeline holds every message of the phone: its rows leave out the end
// tags a browser does not need.
void appendEvent(std::string& html, const ReportData& data, const std::vector<std::string>& links,
                 const Event& event) {
    const bool deleted = event.message ? event.message->deleted : event.call->deleted;
    html += deleted ? "<tr class=\"deleted\"><td>" : "<tr><td>";
    appendHtmlEscaped(html, *event.dateLine);
    html += "<td>";
    if (event.message) {
        const MessageRow& message = *event.message;
        appendHtmlEscaped(html, message.kind);
        if (!message.direction.empty()) {
            html += ' ';
            appendHtmlEscaped(html, message.direction);
        }
        html += "<td>";
        appendHtmlEscaped(html, message.address);
        const std::string& name = data.conversations[event.conversation].name;
        html += "<td>";
        appendLink(html, links[event.conversation], name.empty() ? "(no name)" : name);
        html += "<td>";
        bool cut = false;
        appendHtmlEscaped(html, firstLine(message.text, &cut));
        if (cut)
            html += "\xE2\x80\xA6";
        appendState(html, deleted, message.evidence);
    } else {
        const CallRow& call = *event.call;
        appendHtmlEscaped(html, call.type.empty() ? std::string("Call") : "Call, " + call.type);
        html += "<td>";
        appendHtmlEscaped(html, call.number);
        html += "<td>";
        appendHtmlEscaped(html, call.name);
        html += "<td>";
        if (call.duration)
            html += std::to_string(*call.duration) + " s";
        appendState(html, deleted, call.evidence);
    }
    html += '\n';
}

// Appends the events [from, to) as a table.
void appendEvents(std::string& html, const ReportData& data, const std::vector<std::string>& links,
                  const std::vector<Event>& events, size_t from, size_t to) {
    html += "<table id=\"timeline\"><tr><th>Date</th><th>Event</th><th>Number</th>"
            "<th>Name</th><th>Text or duration</th><th>State</th></tr>\n";
    for (size_t i = from; i < to; ++i)
        appendEvent(html, data, links, events[i]);
    html += "</table>\n";
}

// Appends what the timeline leaves out: events without a date.
void appendUndated(std::string& html, size_t undated) {
    if (undated != 0)
        html += "<p id=\"undated\">" + std::to_string(undated) +
                " records without a date are on their own pages only.</p>\n";
}

// One page of a split timeline: a month's events [from, to).
struct MonthPage {
    std::string month;
    size_t part = 0;
    size_t parts = 1;
    size_t from = 0;
    size_t to = 0;
    std::string name() const { return partName("timeline-" + month, part); }
};

// Returns the pages of a split timeline, newest month first, each month in
// pages of at most perPage events.
std::vector<MonthPage> monthPages(const std::vector<Event>& events, size_t perPage) {
    std::vector<MonthPage> pages;
    size_t start = 0;
    while (start < events.size()) {
        const std::string_view month = monthOf(*events[start].dateLine);
        size_t end = start;
        while (end < events.size() && events[end].month == events[start].month)
            ++end;
        const size_t parts = partCount(end - start, perPage);
        for (size_t part = 0; part < parts; ++part) {
            const size_t from = start + part * perPage;
            pages.push_back({std::string(month), part, parts, from, std::min(end, from + perPage)});
        }
        start = end;
    }
    return pages;
}

// Appends the index of the months of a split timeline.
void appendMonths(std::string& html, const std::vector<MonthPage>& pages,
                  const std::vector<Event>& events) {
    html += "<table id=\"months\"><tr><th>Month</th><th>Events</th><th>Deleted</th>"
            "<th>Pages</th></tr>\n";
    for (size_t i = 0; i < pages.size();) {
        const MonthPage& first = pages[i];
        size_t count = 0, deleted = 0;
        std::string links;
        for (size_t p = i; p < i + first.parts; ++p) {
            for (size_t e = pages[p].from; e < pages[p].to; ++e) {
                ++count;
                const Event& event = events[e];
                deleted += event.message ? event.message->deleted : event.call->deleted;
            }
            appendLink(links, pages[p].name(), std::to_string(p - i + 1));
            links += ' ';
        }
        html += "<tr><td>";
        appendLink(html, first.name(), first.month);
        html += "</td><td class=\"num\">" + std::to_string(count) + "</td><td class=\"num\">" +
                std::to_string(deleted) + "</td><td>" + links + "</td></tr>\n";
        i += first.parts;
    }
    html += "</table>\n";
}

} // namespace

bool makeTimelinePages(const PageSet& set, const PageSink& sink) {
    const ReportData& data = set.data;
    const size_t perPage = set.rowsPerPage;
    size_t undated = 0;
    const std::vector<Event> events = datedEvents(data, undated);
    std::vector<std::string> links;
    links.reserve(data.conversations.size());
    for (size_t c = 0; c < data.conversations.size(); ++c)
        links.push_back(conversationPage(c));
    std::string html;
    beginPage(html, set, "Timeline", "");
    html += "<p>" + std::to_string(events.size()) + " dated events, newest first.</p>\n";
    appendUndated(html, undated);
    if (events.size() <= perPage) {
        appendEvents(html, data, links, events, 0, events.size());
        endPage(html);
        return sink("timeline.html", html);
    }
    const std::vector<MonthPage> pages = monthPages(events, perPage);
    appendMonths(html, pages, events);
    endPage(html);
    if (!sink("timeline.html", html))
        return false;
    for (size_t i = 0; i < pages.size(); ++i) {
        const MonthPage& page = pages[i];
        html.clear();
        std::string title = "Timeline, " + page.month;
        if (page.parts > 1)
            title +=
                ", page " + std::to_string(page.part + 1) + " of " + std::to_string(page.parts);
        beginPage(html, set, title, "");
        const std::string previous = i > 0 ? pages[i - 1].name() : std::string();
        const std::string next = i + 1 < pages.size() ? pages[i + 1].name() : std::string();
        appendPager(html, i, pages.size(), previous, next);
        appendEvents(html, data, links, events, page.from, page.to);
        appendPager(html, i, pages.size(), previous, next);
        endPage(html);
        if (!sink(page.name(), html))
            return false;
    }
    return true;
}

} // namespace fennaro::report
