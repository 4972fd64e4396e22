// Ids given back to pdu rows that lost them: only where the known rows'
// ids and dates prove them.
#include <gtest/gtest.h>

#include "phone/pdu_ids.h"

namespace {

using fennaro::deep::PduRow;

// A pdu row of thread 1 dated `seconds`.
PduRow row(int64_t seconds, int64_t box = 1) {
    PduRow pdu;
    pdu.thread = 1;
    pdu.date = seconds;
    pdu.box = box;
    return pdu;
}

// The ids restored rows took, by their dates.
std::map<int64_t, int64_t> restoredDates(const std::map<int64_t, PduRow>& deleted) {
    std::map<int64_t, int64_t> dates;
    for (const auto& [id, pdu] : deleted) {
        if (pdu.idFromOrder)
            dates[id] = *pdu.date;
    }
    return dates;
}

// The ids (with their rows' dates) rows without ids take beside the live
// rows, fits standing for what the addresses say.
std::map<int64_t, int64_t> restoredWith(const std::map<int64_t, PduRow>& live,
                                        std::vector<PduRow> loose,
                                        const std::function<bool(int64_t, const PduRow&)>& fits) {
    std::map<int64_t, PduRow> deleted;
    fennaro::deep::restoreLostPduIds(live, deleted, loose, std::nullopt, fits);
    return restoredDates(deleted);
}

TEST(LostPduIds, OnlyWhereTheOrderProvesThem) {
    struct Case {
        const char* what;
        std::map<int64_t, PduRow> live;
        std::vector<PduRow> loose;
        std::optional<int64_t> lastId;
        std::map<int64_t, int64_t> restored; // id -> date
        size_t looseLeft;
    };
    const Case cases[] = {
        {"two free ids, two rows between, in date order",
         {{3, row(300)}, {6, row(600)}},
         {row(550), row(420)},
         std::nullopt,
         {{4, 420}, {5, 550}},
         0},
        {"a free id more than rows: one vanished, nothing proven",
         {{3, row(300)}, {7, row(700)}},
         {row(550), row(420)},
         std::nullopt,
         {},
         2},
        {"dates against ids on this phone",
         {{3, row(300)}, {6, row(600)}, {8, row(500)}},
         {row(550), row(420)},
         std::nullopt,
         {},
         2},
        {"a row dated as a known one could lie on either side",
         {{3, row(300)}, {5, row(600)}},
         {row(300, 2)},
         std::nullopt,
         {},
         1},
        {"two rows of one second",
         {{3, row(300)}, {6, row(600)}},
         {row(420), row(420, 2)},
         std::nullopt,
         {},
         2},
        {"after the last known pdu, only with the highest id given",
         {{3, row(300)}},
         {row(420)},
         4,
         {{4, 420}},
         0},
        {"after the last known pdu, without it", {{3, row(300)}}, {row(420)}, std::nullopt, {}, 1},
        {"an older image of a known row is no row of its own",
         {{3, row(300)}, {5, row(600)}},
         {row(600), row(420)},
         std::nullopt,
         {{4, 420}},
         0},
        {"a draft among them: its date may have moved",
         {{3, row(300)}, {6, row(600)}},
         {row(550), row(420, 3)},
         std::nullopt,
         {},
         2},
        {"only older images", {{3, row(300)}}, {row(300), row(300)}, std::nullopt, {}, 0},
    };
    for (const Case& c : cases) {
        std::map<int64_t, PduRow> deleted;
        std::vector<PduRow> loose = c.loose;
        fennaro::deep::restoreLostPduIds(c.live, deleted, loose, c.lastId,
                                         [](int64_t, const PduRow&) { return true; });
        EXPECT_EQ(restoredDates(deleted), c.restored) << c.what;
        EXPECT_EQ(loose.size(), c.looseLeft) << c.what;
    }

    // Where the addresses kept of one free id disagree with the row it would
    // take, the interval's rows all stay without ids; other intervals go on.
    const std::vector<PduRow> three = {row(420), row(550), row(700)};
    const auto notFive = [](int64_t id, const PduRow&) { return id != 5; };
    EXPECT_EQ(restoredWith({{3, row(300)}, {6, row(600)}, {8, row(800)}}, three, notFive),
              (std::map<int64_t, int64_t>{{7, 700}}));

    // A free id whose addresses fit no row is an MMS that vanished: the
    // others are placed around it, in order.
    const std::map<int64_t, PduRow> around = {{3, row(300)}, {8, row(800)}};
    EXPECT_EQ(restoredWith(around, three, notFive),
              (std::map<int64_t, int64_t>{{4, 420}, {6, 550}, {7, 700}}));
    // Without that, the vanished one could be any of them.
    EXPECT_TRUE(restoredWith(around, three, [](int64_t, const PduRow&) { return true; }).empty());
    // One that fits some row may still leave two ways: 550 on 5 (7 then
    // vanished) or on 6 (5 vanished).
    EXPECT_TRUE(restoredWith(around, three, [](int64_t id, const PduRow& pdu) {
                    return id != 5 || *pdu.date == 550;
                }).empty());
}

} // namespace
