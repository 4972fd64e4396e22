// The phone's dated events in one list, newest first: every message of deep
// mode's conversations (SMS, MMS and the messaging app's, live and deleted)
// and every call. The events point into the store's deep records, so they
// hold no texts of their own: a list of half a million messages costs a few
// words per event, and the texts a row shows are made when it is painted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "record_store.h"

namespace fennaro {

// One dated event: a message of a conversation, or a call.
struct TimelineEvent {
    // Milliseconds since 1970 UTC.
    int64_t dateMs = 0;
    // A message: its conversation and its place among the conversation's
    // messages (the board shows them in that order).
    deep::DeepConversation* conversation = nullptr;
    uint32_t entry = 0;
    // A call.
    deep::CallRecord* call = nullptr;
    bool deleted = false;
};

// Makes the timeline of a store's deep records: every message and call with
// a date, newest first (events of the same moment keep the conversations'
// order, then the calls'). Empty when no deep records are loaded; undated
// records stay on their own categories only. The records must not change
// while the events are used; the events may set their records' check marks.
std::vector<TimelineEvent> makeTimeline(RecordStore& store);

// The message an event shows; null for a call.
const deep::ConversationEntry* timelineMessage(const TimelineEvent& event);

// The event's local date line "YYYY-MM-DD hh:mm:ss".
std::string_view timelineDateLine(const TimelineEvent& event);

// What happened: "SMS in", "MMS out", "App in" (a message only the messaging
// app's store holds), or "Call, Incoming" ("Call" for an unknown type).
std::string timelineEventWord(const TimelineEvent& event);

// The other party's number ("Unknown number" for a hidden caller).
std::string_view timelineNumber(const TimelineEvent& event);

// The other party's name; empty when none is known.
std::string_view timelineName(const TimelineEvent& event);

// A message's first line (cut at a character's end after 100 bytes, with
// "…"), or a call's duration ("1:05").
std::string timelineDetail(const TimelineEvent& event);

} // namespace fennaro
