// The rows of an MMS's pdu table as the MMS reader joins them, and how a
// row whose cell lost its _id gets it back from the order of the phone's
// ids and dates.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "deleted_records.h"

namespace fennaro::deep {

// A pdu row: live or deleted.
struct PduRow {
    std::optional<int64_t> thread, date, dateSent, box, read, kind;
    bool live = false;
    // Its cell lost the _id, which the order of the phone's ids and dates gave back.
    bool idFromOrder = false;
    std::string evidence;
    RecordPlace place;
};

// Gives pdu rows whose cells lost their _id (and with it every link to their
// parts and addresses) the id back where the phone's own rows prove it. The
// provider numbers MMS in the order it stores them (AUTOINCREMENT, so an id
// is never used twice) and dates them when it stores them, so ids and dates
// rise together; that is taken as given only when every pdu whose id and
// date are both known keeps that order. Between two such pdus, the ids no
// known row holds then belong to the rows without an id whose dates lie
// strictly between theirs, keeping both orders, when they can take the free
// ids in one way only: as many rows as free ids (no row there vanished
// without a trace), or the addresses kept of the other ids ruling those
// out. The rows must all be received or sent (a draft's or an outbox row's
// date can move), and no two share a date. lastId is the highest id the table ever gave
// (sqlite_sequence), which closes the range after the last known pdu.
// Restored rows move from loosePdus into deletedPdus, marked idFromOrder;
// loose rows that only repeat a known row's values (an older image of it)
// are dropped; the others stay.
// fits(id, row) says whether what else the phone kept of MMS id (its
// addresses) agrees with the row; an interval where one row would not fit
// its id keeps all its rows without ids.
void restoreLostPduIds(const std::map<int64_t, PduRow>& livePdus,
                       std::map<int64_t, PduRow>& deletedPdus, std::vector<PduRow>& loosePdus,
                       std::optional<int64_t> lastId,
                       const std::function<bool(int64_t, const PduRow&)>& fits);

} // namespace fennaro::deep
