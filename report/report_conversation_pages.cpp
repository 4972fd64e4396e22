// conversations/c0001.html ...: one page per conversation with its
// messages, deleted ones marked with their evidence and place; a long one
// goes on in c0001-2.html, ... Pages are named by their number alone, never
// by the conversation's name, which may hold any bytes.
#include <algorithm>

#include "report_page.h"

namespace fennaro::report {

namespace {

// Returns the page's name as seen from another page of conversations/.
std::string sibling(size_t index, size_t part) {
    return conversationPage(index, part).substr(sizeof "conversations/" - 1);
}

// Appends the messages [from, to) of a conversation. A conversation may
// hold hundreds of thousands of rows: they leave out the end tags a
// browser does not need.
void appendMessages(std::string& html, const ConversationEntry& conversation, size_t from,
                    size_t to) {
    html += "<table id=\"messages\" class=\"messages\"><tr><th>Date</th><th>Direction</th>"
            "<th>Number</th><th>Text</th><th>State</th><th>Evidence</th><th>Place</th></tr>\n";
    for (size_t i = from; i < to; ++i) {
        const MessageRow& message = conversation.messages[i];
        html += message.deleted ? "<tr class=\"deleted\"><td>" : "<tr><td>";
        appendHtmlEscaped(html, shownDate(message.dateLine, message.deleted));
        html += "<td>";
        appendHtmlEscaped(html, message.direction);
        html += "<td>";
        appendHtmlEscaped(html, message.address);
        html += "<td>";
        appendHtmlEscaped(html, message.text);
        html += message.deleted ? "<td>" + std::string(kDeletedMark) + "<td>" : "<td>live<td>";
        appendHtmlEscaped(html, message.evidence);
        html += "<td>";
        appendHtmlEscaped(html, placeText(message.place, message.files));
        html += '\n';
    }
    html += "</table>\n";
}

// Appends the links to the conversations before and after this one.
void appendNeighbours(std::string& html, size_t index, size_t count) {
    html += "<p class=\"pager\">";
    if (index > 0) {
        appendLink(html, sibling(index - 1, 0), "previous conversation");
        html += " \xC2\xB7 ";
    }
    appendLink(html, "../report.html#conversations-index", "all conversations");
    if (index + 1 < count) {
        html += " \xC2\xB7 ";
        appendLink(html, sibling(index + 1, 0), "next conversation");
    }
    html += "</p>\n";
}

// Returns the conversation's heading: its name and, when other, its number.
std::string titleOf(const ConversationEntry& conversation) {
    std::string title = conversation.name.empty() ? "(no name)" : conversation.name;
    if (!conversation.address.empty() && conversation.address != conversation.name)
        title += " (" + conversation.address + ")";
    return title;
}

} // namespace

bool makeConversationPages(const PageSet& set, const PageSink& sink) {
    const size_t perPage = set.rowsPerPage;
    const std::vector<ConversationEntry>& conversations = set.data.conversations;
    std::string html;
    for (size_t index = 0; index < conversations.size(); ++index) {
        const ConversationEntry& conversation = conversations[index];
        const size_t total = conversation.messages.size();
        const size_t parts = partCount(total, perPage);
        const std::string title = titleOf(conversation);
        for (size_t part = 0; part < parts; ++part) {
            html.clear();
            beginPage(html, set, parts > 1 ? title + ", page " + std::to_string(part + 1) : title,
                      "../");
            html += "<p id=\"conversation\" data-deleted=\"" +
                    std::to_string(conversation.deletedCount) + "\"";
            if (!conversation.state.empty())
                html += " data-state=\"" + conversation.state + "\"";
            html += ">";
            // Deep mode's heading names the conversation's state first.
            if (!conversation.state.empty())
                html += "<span class=\"state\">" + conversation.state + "</span> ";
            if (conversation.deletedCount != 0)
                html += std::string(kDeletedMark) + ": " +
                        std::to_string(conversation.deletedCount) + " deleted messages";
            html += "</p>\n";
            appendNeighbours(html, index, conversations.size());
            const std::string previous = part > 0 ? sibling(index, part - 1) : std::string();
            const std::string next = part + 1 < parts ? sibling(index, part + 1) : std::string();
            appendPager(html, part, parts, previous, next);
            const size_t from = part * perPage;
            appendMessages(html, conversation, from, std::min(total, from + perPage));
            appendPager(html, part, parts, previous, next);
            endPage(html);
            if (!sink(conversationPage(index, part), html))
                return false;
        }
    }
    return true;
}

} // namespace fennaro::report
