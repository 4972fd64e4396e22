// The timeline's events and the texts a row shows of one.
#include "timeline.h"

#include <algorithm>

#include "call_log_display.h"

namespace fennaro {

namespace {

// The longest first line a row shows of a text, in bytes.
constexpr size_t kFirstLineBytes = 100;

} // namespace

std::vector<TimelineEvent> makeTimeline(RecordStore& store) {
    // Builds the events in the conversations' and the calls' order, then
    // sorts them newest first keeping that order among equal dates.
    std::vector<TimelineEvent> events;
    if (!store.deep.loaded)
        return events;
    for (deep::DeepConversation& conversation : store.deep.conversations) {
        for (size_t i = 0; i < conversation.messages.size(); ++i) {
            const deep::ConversationEntry& message = conversation.messages[i];
            if (!message.dateMs)
                continue;
            TimelineEvent event;
            event.dateMs = *message.dateMs;
            event.conversation = &conversation;
            event.entry = static_cast<uint32_t>(i);
            event.deleted = deep::isDeletedEntry(message);
            events.push_back(event);
        }
    }
    for (deep::CallRecord& call : store.deep.calls) {
        if (!call.date)
            continue;
        TimelineEvent event;
        event.dateMs = *call.date;
        event.call = &call;
        event.deleted = call.deleted;
        events.push_back(event);
    }
    std::stable_sort(
        events.begin(), events.end(),
        [](const TimelineEvent& a, const TimelineEvent& b) { return a.dateMs > b.dateMs; });
    return events;
}

const deep::ConversationEntry* timelineMessage(const TimelineEvent& event) {
    // A call's event has no conversation.
    if (event.conversation == nullptr || event.entry >= event.conversation->messages.size())
        return nullptr;
    return &event.conversation->messages[event.entry];
}

std::string_view timelineDateLine(const TimelineEvent& event) {
    // The message's line points into its record; a call keeps its own.
    if (const deep::ConversationEntry* message = timelineMessage(event))
        return message->dateLine;
    return event.call != nullptr ? std::string_view(event.call->dateLine) : std::string_view();
}

std::string timelineEventWord(const TimelineEvent& event) {
    // The store a message came from, then its direction; a call's type.
    if (const deep::ConversationEntry* message = timelineMessage(event)) {
        std::string word = "SMS";
        if (message->deleted != nullptr && message->deleted->store == deep::MessageStore::Mms)
            word = "MMS";
        else if (message->deleted != nullptr &&
                 message->deleted->store == deep::MessageStore::Bugle)
            word = "App";
        return word + (message->received ? " in" : " out");
    }
    if (event.call == nullptr)
        return {};
    const std::string_view type = deep::callTypeLabel(event.call->type);
    return type.empty() ? std::string("Call") : "Call, " + std::string(type);
}

std::string_view timelineNumber(const TimelineEvent& event) {
    // A message's own address, else its conversation's.
    if (const deep::ConversationEntry* message = timelineMessage(event)) {
        const std::string_view own = message->live != nullptr ? message->live->address
                                     : message->deleted != nullptr
                                         ? std::string_view(message->deleted->address)
                                         : std::string_view();
        return own.empty() ? std::string_view(event.conversation->address) : own;
    }
    if (event.call == nullptr)
        return {};
    return event.call->number.empty() ? std::string_view("Unknown number")
                                      : std::string_view(event.call->number);
}

std::string_view timelineName(const TimelineEvent& event) {
    // The conversation's name, or the call's.
    if (timelineMessage(event) != nullptr)
        return event.conversation->name;
    return event.call != nullptr ? std::string_view(event.call->name) : std::string_view();
}

std::string timelineDetail(const TimelineEvent& event) {
    // The first line of a message's text, or a call's duration.
    const deep::ConversationEntry* message = timelineMessage(event);
    if (message == nullptr)
        return event.call != nullptr ? deep::callDurationText(event.call->duration) : std::string();
    const std::string_view text = message->body;
    const size_t limit = std::min(text.size(), kFirstLineBytes + 1);
    size_t end = 0;
    while (end < limit && text[end] != '\r' && text[end] != '\n')
        ++end;
    if (end <= kFirstLineBytes)
        return std::string(text.substr(0, end));
    end = kFirstLineBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end)) + "\xE2\x80\xA6";
}

} // namespace fennaro
