// The deleted MMS of mmssms.db, from the recovery engine: pdu, part and
// addr rows joined where they survive, as DeletedMessage records of store
// Mms, deleted = true.
#pragma once

#include <string>
#include <vector>

#include "deleted_records.h"

namespace fennaro::deep {

// The deleted MMS of an mmssms.db (with its -wal and -journal): each
// deleted pdu with its deleted text parts (joined by a line break in seq
// order) and addresses; deleted text parts of a live pdu as a message of
// that pdu; text parts whose pdu is gone as a message of unknown date and
// direction (id = the part's mid). A pdu whose cell lost its _id gets it
// back where the order of the known ids and dates proves it (its evidence
// then says so). Text the words index alone kept comes as a part too. The
// deleted pdus come first in id order, then the parts of pdus not among
// them (those with no pdu id first), then pdus left without an id. Empty
// when unreadable.
std::vector<DeletedMessage> readDeletedMms(const std::string& smsDb);

// The deleted SMS and MMS of an mmssms.db, as readDeletedMessages and
// readDeletedMms give them, from one scan of the file for both.
struct DeletedSmsAndMms {
    std::vector<DeletedMessage> sms;
    std::vector<DeletedMessage> mms;
};

// Reads both from one scan; both empty when unreadable.
DeletedSmsAndMms readDeletedSmsAndMms(const std::string& smsDb);

} // namespace fennaro::deep
