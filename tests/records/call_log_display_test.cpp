// The call log's order and texts at their edges: undated and same-dated
// calls, a log without calls, durations past an hour or below zero.
#include <gtest/gtest.h>

#include "call_log_display.h"

namespace fennaro::deep {
namespace {

// A call with an id to follow it through the ordering.
CallRecord call(int64_t id, bool deleted, std::optional<int64_t> date) {
    CallRecord made;
    made.id = id;
    made.deleted = deleted;
    made.date = date;
    return made;
}

TEST(CallLog, DeletedFirstNewestFirstUndatedLastAndTheCategoryCounts) {
    RecordStore store;
    store.deep.calls = {
        call(1, false, 10), call(2, true, std::nullopt), call(3, false, std::nullopt),
        call(4, true, 5),   call(5, false, 30),          call(6, true, 5),
        call(7, false, 10)};
    finishCallLog(store);
    std::vector<int64_t> order;
    for (const CallRecord& c : store.deep.calls)
        order.push_back(*c.id);
    // Same dates keep the order they were read in.
    EXPECT_EQ(order, (std::vector<int64_t>{4, 6, 2, 5, 1, 7, 3}));
    EXPECT_EQ(store.callLogCategory.caption, "Call log (7)");
    EXPECT_EQ(store.callLogCategory.count, 1);

    // A log that lost every call leaves a bare, empty category behind.
    store.deep.calls.clear();
    finishCallLog(store);
    EXPECT_EQ(store.callLogCategory.caption, "Call log");
    EXPECT_EQ(store.callLogCategory.count, 0);
}

TEST(CallLog, DurationsAndPartiesReadWell) {
    EXPECT_EQ(callDurationText(std::nullopt), "");
    EXPECT_EQ(callDurationText(0), "0:00");
    EXPECT_EQ(callDurationText(59), "0:59");
    EXPECT_EQ(callDurationText(3600), "1:00:00");
    EXPECT_EQ(callDurationText(int64_t{1} << 40), "305419896:36:16");
    EXPECT_EQ(callDurationText(-5), "-5 s");
    CallRecord hidden;
    EXPECT_EQ(callPartyText(hidden), "Unknown number");
    hidden.number = "5550100";
    EXPECT_EQ(callPartyText(hidden), "5550100");
    hidden.name = "Ann";
    EXPECT_EQ(callPartyText(hidden), "Ann (5550100)");
}

} // namespace
} // namespace fennaro::deep
