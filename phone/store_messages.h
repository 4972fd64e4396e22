// The live messages of the phone's other stores, read through SQLite as the
// classic reader reads sms: the MMS of mmssms.db (a pdu row with its
// text/plain parts and its addresses) and the messages of the messaging
// app's bugle_db (parts joined to messages, participants, conversations).
// Both come as DeletedMessage records with deleted = false, so deep mode
// places them beside the deleted ones. Columns are found by name; a table or
// column the copy lacks leaves what needs it empty. A copy that does not
// open gives no message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "deleted_records.h"

namespace fennaro {

// The live MMS of an mmssms.db in pdu _id order: text parts joined by a
// line break in seq order, date from pdu.date (seconds) in milliseconds,
// type 1 for the inbox and 2 for the other boxes, the other party from the
// addresses (the sender of a received one, the first recipient of a sent
// one) and the rest of a group in recipients. Delivery and read reports are
// no messages and are left out.
std::vector<deep::DeletedMessage> readLiveMms(const std::string& smsDb);

// The live messages of a bugle_db in _id order: text parts joined by a line
// break, date from received_timestamp (ms), type 1 when the sender is
// someone else (sub_id -2), 2 when it is the user, absent when the sender is
// unknown; address the sender of a received message, else the
// conversation's first other party; threadId the conversation's
// sms_thread_id when it names one. A WAL database must be given as its
// current state (a plain copy): this reads the main file only.
std::vector<deep::DeletedMessage> readLiveBugle(const std::string& bugleDb);

// A live SMS as the store merge compares it.
struct LiveSmsRow {
    int64_t id = 0;
    std::string address;
    int64_t dateMs = 0;
    std::string body;
};

// The live rows of table sms with their _id, in _id order.
std::vector<LiveSmsRow> readLiveSmsRows(const std::string& smsDb);

} // namespace fennaro
