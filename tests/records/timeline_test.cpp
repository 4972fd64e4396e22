// The timeline of a small deep store: every dated message of every store
// and every dated call, newest first, the deleted ones marked, and the texts
// a row shows of each.
#include <gtest/gtest.h>

#include "timeline.h"

namespace fennaro {
namespace {

// A message of one of the phone's stores, live or deleted.
deep::DeletedMessage stored(deep::MessageStore where, bool deleted, std::string address,
                            std::string body, std::optional<int64_t> type) {
    deep::DeletedMessage made;
    made.store = where;
    made.deleted = deleted;
    made.address = std::move(address);
    made.body = std::move(body);
    made.type = type;
    return made;
}

// An entry of a conversation for a stored message.
deep::ConversationEntry entryOf(const deep::DeletedMessage& message, std::optional<int64_t> ms,
                                std::string_view dateLine) {
    deep::ConversationEntry entry;
    entry.deleted = &message;
    entry.dateMs = ms;
    entry.dateLine = dateLine;
    entry.received = message.type == 1;
    entry.body = message.body;
    return entry;
}

TEST(Timeline, EveryStoreAndTheCallsNewestFirstDeletedMarked) {
    RecordStore store;
    store.deep.loaded = true;
    MessageNode live;
    live.address = "5550100";
    live.type = 2;
    live.body = "live sms";
    const deep::DeletedMessage gone =
        stored(deep::MessageStore::Sms, true, "", "gone sms\nsecond line", 1);
    const deep::DeletedMessage mms = stored(deep::MessageStore::Mms, false, "5550100", "mms", 2);
    const deep::DeletedMessage app =
        stored(deep::MessageStore::Bugle, true, "5550199", std::string(150, 'x'), 1);
    const deep::DeletedMessage undated = stored(deep::MessageStore::Sms, true, "", "no date", 1);

    deep::DeepConversation ann;
    ann.name = "Ann";
    ann.address = "5550100";
    deep::ConversationEntry liveEntry;
    liveEntry.live = &live;
    liveEntry.dateMs = 1000;
    liveEntry.dateLine = "2026-01-01 00:00:01";
    liveEntry.received = false;
    liveEntry.body = live.body;
    ann.messages = {liveEntry, entryOf(gone, 3000, "2026-01-01 00:00:03"),
                    entryOf(mms, 2000, "2026-01-01 00:00:02"), entryOf(undated, std::nullopt, "")};
    deep::DeepConversation other;
    other.name = "";
    other.address = "5550199";
    other.messages = {entryOf(app, 2000, "2026-01-01 00:00:02")};
    store.deep.conversations = {ann, other};

    deep::CallRecord call;
    call.number = "5550123";
    call.name = "Bo";
    call.date = 2500;
    call.dateLine = "2026-01-01 00:00:02";
    call.type = 1;
    call.duration = 65;
    deep::CallRecord hidden;
    hidden.deleted = true;
    hidden.date = 4000;
    hidden.type = 3;
    deep::CallRecord undatedCall;
    store.deep.calls = {call, hidden, undatedCall};

    const std::vector<TimelineEvent> events = makeTimeline(store);
    ASSERT_EQ(events.size(), 6u); // the undated message and call stay out
    std::vector<std::string> words;
    for (const TimelineEvent& event : events)
        words.push_back(timelineEventWord(event) + "|" + std::string(timelineNumber(event)) + "|" +
                        std::string(timelineName(event)) + "|" + timelineDetail(event) + "|" +
                        (event.deleted ? "deleted" : "live"));
    const std::string longLine = std::string(100, 'x') + "\xE2\x80\xA6";
    // Newest first; the MMS and the app's message of the same moment keep
    // the conversations' order.
    EXPECT_EQ(words, (std::vector<std::string>{
                         "Call, Missed|Unknown number|||deleted",
                         "SMS in|5550100|Ann|gone sms|deleted",
                         "Call, Incoming|5550123|Bo|1:05|live",
                         "MMS out|5550100|Ann|mms|live",
                         "App in|5550199||" + longLine + "|deleted",
                         "SMS out|5550100|Ann|live sms|live",
                     }));
    // Each message event leads to its place in its conversation.
    EXPECT_EQ(events[1].conversation, &store.deep.conversations[0]);
    EXPECT_EQ(events[1].entry, 1u);
    EXPECT_EQ(events[4].conversation, &store.deep.conversations[1]);
    EXPECT_EQ(events[2].call, &store.deep.calls[0]);
    EXPECT_EQ(timelineDateLine(events[1]), "2026-01-01 00:00:03");

    // Classic mode has no deep records: no timeline.
    store.deep.loaded = false;
    EXPECT_TRUE(makeTimeline(store).empty());
}

} // namespace
} // namespace fennaro
