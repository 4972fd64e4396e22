// report.html: one page with its style inside and no script, so it opens the
// same in any browser, on any machine, without fetching anything.
#include "file_ops.h"
#include "report_files.h"

namespace fennaro::report {

namespace {

// The page's own style: readable tables, deleted records in red with the
// trash mark, message texts with their line breaks kept.
constexpr std::string_view kStyle = R"(
body { font-family: sans-serif; margin: 2em; color: #222; }
h1 { font-size: 1.6em; } h2 { margin-top: 1.8em; border-bottom: 1px solid #ccc; }
table { border-collapse: collapse; margin: 0.5em 0 1em; }
th, td { border: 1px solid #ccc; padding: 3px 8px; text-align: left; vertical-align: top; }
th { background: #f0f0f0; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
td.hash { font-family: monospace; font-size: 0.85em; }
td.text { white-space: pre-wrap; max-width: 40em; overflow-wrap: anywhere; }
tr.deleted td { color: #b00000; }
tr.deleted td:first-child { border-left: 4px solid #d00000; }
.mark { font-weight: bold; }
.warn { color: #b00000; font-weight: bold; }
section.conversation h3 { margin-bottom: 0.2em; }
)";

// The mark a deleted record carries: the trash can and the word.
constexpr std::string_view kDeletedMark =
    "<span class=\"mark\" title=\"deleted\">\xF0\x9F\x97\x91 deleted</span>";

// Returns where a deleted record was found, in words; "" for a live one.
// files, when given, names the databases that hold the record (a message of
// the phone's other stores) in the file's place, and stands alone for a
// live one.
std::string placeText(const std::optional<deep::RecordPlace>& place,
                      const std::string& files = {}) {
    if (!place)
        return files;
    std::string text = (files.empty() ? platform::baseName(place->file) : files) + ", page " +
                       std::to_string(place->page) + ", offset " + std::to_string(place->offset);
    if (place->frame)
        text += ", frame " + std::to_string(*place->frame);
    return text;
}

// Appends one table cell holding escaped text.
void cell(std::string& html, std::string_view text, std::string_view cls = {}) {
    html += cls.empty() ? "<td>" : "<td class=\"" + std::string(cls) + "\">";
    html += htmlEscape(text);
    html += "</td>";
}

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

// Appends the contacts, one row per field, deleted ones marked.
void appendContacts(std::string& html, const ReportData& data) {
    html += "<h2>Contacts</h2>\n<table id=\"contacts\"><tr><th>Name</th><th>Field</th>"
            "<th>Value</th><th>State</th><th>Evidence</th><th>Place</th></tr>\n";
    for (const ContactEntry& contact : data.contacts) {
        const FieldRow none;
        const size_t rows = contact.fields.empty() ? 1 : contact.fields.size();
        for (size_t i = 0; i < rows; ++i) {
            const FieldRow& field = contact.fields.empty() ? none : contact.fields[i];
            const bool deleted = contact.deleted || field.deleted;
            html += deleted ? "<tr class=\"deleted\">" : "<tr>";
            cell(html, i == 0 ? contact.name : std::string());
            cell(html, field.label);
            cell(html, field.value, "text");
            html += deleted ? "<td>" + std::string(kDeletedMark) + "</td>" : "<td>live</td>";
            cell(html, field.evidence);
            cell(html, placeText(field.place));
            html += "</tr>\n";
        }
    }
    html += "</table>\n";
}

// Appends every conversation with its messages, deleted ones marked.
void appendConversations(std::string& html, const ReportData& data) {
    html += "<h2>Conversations</h2>\n";
    for (const ConversationEntry& conversation : data.conversations) {
        html += "<section class=\"conversation\" data-deleted=\"" +
                std::to_string(conversation.deletedCount) + "\"><h3>";
        if (conversation.deletedCount != 0)
            html += std::string(kDeletedMark) + " ";
        html += htmlEscape(conversation.name);
        if (!conversation.address.empty() && conversation.address != conversation.name)
            html += " (" + htmlEscape(conversation.address) + ")";
        html += "</h3>\n<table class=\"messages\"><tr><th>Date</th><th>Direction</th>"
                "<th>Number</th><th>Text</th><th>State</th><th>Evidence</th><th>Place</th></tr>\n";
        for (const MessageRow& message : conversation.messages) {
            html += message.deleted ? "<tr class=\"deleted\">" : "<tr>";
            cell(html, message.dateLine.empty() && message.deleted ? std::string("(no date)")
                                                                   : message.dateLine);
            cell(html, message.direction);
            cell(html, message.address);
            cell(html, message.text, "text");
            html +=
                message.deleted ? "<td>" + std::string(kDeletedMark) + "</td>" : "<td>live</td>";
            cell(html, message.evidence);
            cell(html, placeText(message.place, message.files));
            html += "</tr>\n";
        }
        html += "</table></section>\n";
    }
}

// Appends the call log, one row per call, deleted ones marked.
void appendCalls(std::string& html, const ReportData& data) {
    html += "<h2>Call log</h2>\n<table id=\"calls\"><tr><th>Date</th><th>Type</th>"
            "<th>Name</th><th>Number</th><th>Duration (s)</th><th>State</th><th>Evidence</th>"
            "<th>Place</th></tr>\n";
    for (const CallRow& call : data.calls) {
        html += call.deleted ? "<tr class=\"deleted\">" : "<tr>";
        cell(html, call.dateLine.empty() ? std::string("(no date)") : call.dateLine);
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

std::string reportHtml(const ReportData& data) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width\">\n"
                       "<title>Recovery report</title>\n<style>";
    html += kStyle;
    html += "</style></head>\n<body>\n<h1>Recovery report</h1>\n<p id=\"made\">Made ";
    html += htmlEscape(data.madeAt);
    html += data.deep ? " from a deep scan: deleted records are the deep engine's, with where each "
                        "was found."
                      : " from a classic scan: deleted records are the classic engine's, which "
                        "keeps no place.";
    html += "</p>\n";
    appendCopies(html, data);
    appendCounts(html, data);
    appendContacts(html, data);
    appendConversations(html, data);
    if (data.deep)
        appendCalls(html, data);
    html += "</body></html>\n";
    return html;
}

std::string writeReportFiles(const std::string& folder, const ReportData& data) {
    const std::string page = folder + "/report.html";
    if (!platform::writeFileReplacing(page, reportHtml(data)))
        return page + ": cannot be written";
    const std::string table = folder + "/records.csv";
    if (!platform::writeFileReplacing(table, reportCsv(data)))
        return table + ": cannot be written";
    return {};
}

} // namespace fennaro::report
