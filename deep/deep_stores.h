// The deleted messages of the phone's other stores, from the deep engine:
// MMS texts of mmssms.db (pdu, part and addr rows joined where they
// survive) and the messages of the messaging app's bugle_db (parts joined
// to their messages, senders and conversations, live or deleted). They come
// as DeletedMessage records of store Mms or Bugle, deleted = true.
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

// The deleted messages of a bugle_db (with its -wal): each deleted message
// row with its deleted text parts, each deleted text part of a live message,
// and text parts whose message is gone (dated by the part's timestamp,
// direction unknown). Senders and conversations come from the live rows or
// from deleted ones. The deleted messages come first in id order, then
// the parts of messages not among them (those with no message id first).
std::vector<DeletedMessage> readDeletedBugle(const std::string& bugleDb);

// What the body of an MMS line says when the MMS kept its parties but no text.
inline constexpr char kMmsWithoutText[] = "(MMS without text)";

// The deleted MMS and bugle_db messages as recovered-record text lines
// (sender TAB address TAB body CR LF, as deepSmsText writes the deleted
// SMS), senders named from the live contacts of contactsDb. A message whose
// text and address show nothing gives no line; an MMS without text has
// kMmsWithoutText for its body. A bugle message
// that is a copy of a telephony message (live or deleted SMS, MMS) is left
// out: its telephony copy stands for it. bugleDb may be "" (no such store).
std::string deepStoresText(const std::string& contactsDb, const std::string& smsDb,
                           const std::string& bugleDb);

} // namespace fennaro::deep
