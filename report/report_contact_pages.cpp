// contacts.html: the contacts, one row per field, deleted ones marked; past
// a page's rows the list goes on in contacts-2.html, contacts-3.html, ...
#include <algorithm>

#include "report_page.h"

namespace fennaro::report {

namespace {

// Appends the contacts [from, to), one row per field, deleted ones marked.
void appendContacts(std::string& html, const ReportData& data, size_t from, size_t to) {
    html += "<table id=\"contacts\" class=\"grouped\"><tr><th>Name</th><th>Field</th>"
            "<th>Value</th><th>State</th><th>Evidence</th><th>Place</th></tr>\n";
    for (size_t c = from; c < to; ++c) {
        const ContactEntry& contact = data.contacts[c];
        const FieldRow none;
        const size_t rows = contact.fields.empty() ? 1 : contact.fields.size();
        for (size_t i = 0; i < rows; ++i) {
            const FieldRow& field = contact.fields.empty() ? none : contact.fields[i];
            const bool deleted = contact.deleted || field.deleted;
            html += deleted ? "<tr class=\"deleted\">" : "<tr>";
            if (i == 0 && !contact.state.empty()) {
                // Deep mode's heading names the contact's state under its name.
                html += "<td data-state=\"" + contact.state + "\">";
                appendHtmlEscaped(html, contact.name);
                html += "<br><small class=\"state\">" + contact.state + "</small></td>";
            } else {
                cell(html, i == 0 ? contact.name : std::string());
            }
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

} // namespace

bool makeContactPages(const PageSet& set, const PageSink& sink) {
    const size_t perPage = set.rowsPerPage;
    const size_t total = set.data.contacts.size();
    const size_t parts = partCount(total, perPage);
    std::string html;
    for (size_t part = 0; part < parts; ++part) {
        html.clear();
        beginPage(html, set, parts > 1 ? "Contacts, page " + std::to_string(part + 1) : "Contacts",
                  "");
        const std::string previous = part > 0 ? partName("contacts", part - 1) : std::string();
        const std::string next = part + 1 < parts ? partName("contacts", part + 1) : std::string();
        appendPager(html, part, parts, previous, next);
        const size_t from = part * perPage;
        appendContacts(html, set.data, from, std::min(total, from + perPage));
        appendPager(html, part, parts, previous, next);
        endPage(html);
        if (!sink(partName("contacts", part), html))
            return false;
    }
    return true;
}

} // namespace fennaro::report
