// report.html, the entry page: the case, the copies with their hashes, the
// counts, links to every other page and the index of the conversations,
// each row leading to the conversation's own page. The index is kept lean
// (no closing tags a browser does not need) and goes on in further pages
// past the page's rows, so the entry page opens at once on any phone.
#include <algorithm>

#include "report_page.h"

namespace fennaro::report {

namespace {

// Appends the copies the records were read from.
void appendCopies(std::string& html, const ReportData& data) {
    html += "<h2>Copies</h2>\n<table id=\"copies\"><tr><th>File</th><th>Size (bytes)</th>"
            "<th>SHA-256</th><th>Hash</th><th>Pulled</th></tr>\n";
    for (const CopySummary& copy : data.copies) {
        html += "<tr>";
        cell(html, copy.path);
        if (!copy.present) {
            html += copy.optional ? "<td colspan=\"4\">not on the phone</td></tr>\n"
                                  : "<td colspan=\"4\" class=\"warn\">missing</td></tr>\n";
            continue;
        }
        cell(html, std::to_string(copy.size), "num");
        cell(html, copy.sha256, "hash");
        if (copy.changedSincePull)
            html += "<td class=\"warn\">changed since the pull: differs from the manifest</td>";
        else
            cell(html, copy.fromManifest ? "as in the manifest" : "computed now");
        cell(html, copy.pulledAt);
        html += "</tr>\n";
        // A copy taken from an extraction says where from on a row of its own.
        if (!copy.provenance.empty())
            html += "<tr class=\"provenance\"><td colspan=\"5\">" + htmlEscape(copy.provenance) +
                    "</td></tr>\n";
        for (const std::string& note : copy.notes)
            html += "<tr class=\"note\"><td colspan=\"5\" class=\"warn\">" + htmlEscape(note) +
                    "</td></tr>\n";
    }
    html += "</table>\n";
}

// Appends the counts of live and deleted records by category.
void appendCounts(std::string& html, const ReportData& data) {
    const ReportCounts& c = data.counts;
    html += "<h2>Counts</h2>\n<table id=\"counts\"><tr><th>Category</th><th>Live</th>"
            "<th>Deleted</th></tr>\n";
    const auto row = [&](std::string_view id, std::string_view word, size_t live, size_t deleted) {
        html += "<tr data-category=\"" + std::string(id) + "\">";
        cell(html, word);
        cell(html, std::to_string(live), "num live");
        cell(html, std::to_string(deleted), "num deleted");
        html += "</tr>\n";
    };
    row("contacts", "Contacts", c.liveContacts, c.deletedContacts);
    row("contact-fields", "Deleted fields of live contacts", 0, c.deletedFields);
    row("messages", "Messages", c.liveMessages, c.deletedMessages);
    row("conversations", "Conversations", c.conversations, 0);
    // The call log is read in deep mode only.
    if (data.deep)
        row("calls", "Calls", c.liveCalls, c.deletedCalls);
    html += "</table>\n";
}

// Appends the case details that were given.
void appendCase(std::string& html, const ReportOptions& options) {
    if (options.caseText.empty() && options.examiner.empty() && options.notes.empty())
        return;
    html += "<table id=\"case\" class=\"plain\">\n";
    const auto row = [&](std::string_view label, const std::string& value) {
        if (value.empty())
            return;
        html += "<tr><th>";
        html += label;
        html += "</th>";
        cell(html, value, "text");
        html += "</tr>\n";
    };
    row("Case", options.caseText);
    row("Examiner", options.examiner);
    row("Notes", options.notes);
    html += "</table>\n";
}

// Returns "1 page" or "N pages".
std::string pagesText(size_t pages) {
    return std::to_string(pages) + (pages == 1 ? " page" : " pages");
}

// Appends the list of the report's other pages.
void appendPageList(std::string& html, const PageSet& set) {
    const ReportData& data = set.data;
    const size_t perPage = set.rowsPerPage;
    html += "<h2>Pages</h2>\n<ul id=\"pages\">\n<li>";
    appendLink(html, "contacts.html", "Contacts");
    html += " (" + std::to_string(data.contacts.size()) + ", " +
            pagesText(partCount(data.contacts.size(), perPage)) + ")</li>\n";
    if (set.hasCalls) {
        html += "<li>";
        appendLink(html, "calls.html", "Calls");
        html += " (" + std::to_string(data.calls.size()) + ", " +
                pagesText(partCount(data.calls.size(), perPage)) + ")</li>\n";
    }
    html += "<li>";
    appendLink(html, "timeline.html", "Timeline");
    html += ": every dated event, newest first</li>\n<li>";
    appendLink(html, "#conversations-index", "Conversations");
    html += " (" + std::to_string(data.conversations.size()) + ", one page each, below)</li>\n<li>";
    appendLink(html, "records.csv", "records.csv");
    html += ": every record in one table, for spreadsheet programs</li>\n</ul>\n";
}

// The figures of a conversation's row in the index.
struct IndexFigures {
    size_t live = 0;
    size_t deleted = 0;
    const MessageRow* first = nullptr;
    const MessageRow* last = nullptr;
};

// Counts a conversation's live and deleted messages and finds its first and
// last dated ones.
IndexFigures figuresOf(const ConversationEntry& conversation) {
    IndexFigures figures;
    for (const MessageRow& message : conversation.messages) {
        ++(message.deleted ? figures.deleted : figures.live);
        if (!message.dateMs || message.dateLine.empty())
            continue;
        if (!figures.first || *message.dateMs < *figures.first->dateMs)
            figures.first = &message;
        if (!figures.last || *message.dateMs > *figures.last->dateMs)
            figures.last = &message;
    }
    return figures;
}

// Appends the date part of a message's date line as a lean cell.
void appendDayCell(std::string& html, const MessageRow* message) {
    html += "<td>";
    if (message)
        appendHtmlEscaped(html, std::string_view(message->dateLine).substr(0, 10));
}

// Appends the rows [from, to) of the conversations' index, each without the
// end tags a browser does not need: the index of a large phone stays small.
void appendIndexRows(std::string& html, const ReportData& data, size_t from, size_t to) {
    html += "<table id=\"conversations\"><tr><th>Name</th><th>Number</th><th>Live</th>"
            "<th>Deleted</th><th>First</th><th>Last</th></tr>\n";
    for (size_t i = from; i < to; ++i) {
        const ConversationEntry& conversation = data.conversations[i];
        const IndexFigures figures = figuresOf(conversation);
        html += figures.deleted != 0 ? "<tr class=\"deleted\"><td>" : "<tr><td>";
        appendLink(html, conversationPage(i),
                   conversation.name.empty() ? std::string_view("(no name)") : conversation.name);
        html += "<td>";
        if (conversation.address != conversation.name)
            appendHtmlEscaped(html, conversation.address);
        html += "<td>" + std::to_string(figures.live) + "<td>" + std::to_string(figures.deleted);
        appendDayCell(html, figures.first);
        appendDayCell(html, figures.last);
        html += '\n';
    }
    html += "</table>\n";
}

// Appends one page of the conversations' index with the links to its
// neighbours.
void appendIndexPart(std::string& html, const PageSet& set, size_t part) {
    const size_t perPage = set.rowsPerPage;
    const size_t total = set.data.conversations.size();
    const size_t parts = partCount(total, perPage);
    html += "<h2 id=\"conversations-index\">Conversations</h2>\n";
    if (total == 0) {
        html += "<p>No conversations.</p>\n";
        return;
    }
    const auto name = [](size_t p) {
        return p == 0 ? std::string("report.html") : partName("conversations", p);
    };
    const std::string previous = part > 0 ? name(part - 1) : std::string();
    const std::string next = part + 1 < parts ? name(part + 1) : std::string();
    appendPager(html, part, parts, previous, next);
    const size_t from = part * perPage;
    appendIndexRows(html, set.data, from, std::min(total, from + perPage));
    appendPager(html, part, parts, previous, next);
}

} // namespace

bool makeEntryPages(const PageSet& set, const PageSink& sink) {
    const ReportData& data = set.data;
    std::string html;
    beginPage(html, set, "Recovery report", "");
    appendCase(html, set.options);
    html += "<p id=\"made\">Made ";
    html += htmlEscape(data.madeAt);
    html += data.deep ? " from a deep scan: deleted records are the deep engine's, with where each "
                        "was found."
                      : " from a classic scan: deleted records are the classic engine's, which "
                        "keeps no place.";
    html += "</p>\n";
    appendCopies(html, data);
    appendCounts(html, data);
    appendPageList(html, set);
    appendIndexPart(html, set, 0);
    endPage(html);
    if (!sink("report.html", html))
        return false;
    // The rest of a long index, in pages of its own.
    const size_t parts = partCount(data.conversations.size(), set.rowsPerPage);
    for (size_t part = 1; part < parts; ++part) {
        html.clear();
        beginPage(html, set, "Conversations, page " + std::to_string(part + 1), "");
        appendIndexPart(html, set, part);
        endPage(html);
        if (!sink(partName("conversations", part), html))
            return false;
    }
    return true;
}

} // namespace fennaro::report
