// The columns the phone's readers read of a table, in the order they read
// them: the live reader (through SQLite) and the deleted one (through the
// recovery engine) take the same list, so both read a row alike.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace fennaro::phone {

// calls (calllog.db, or contacts2.db before Android 7), by CallColumn.
enum CallColumn { CallId, CallNumber, CallDate, CallDuration, CallType, CallName, CallColumnCount };
inline constexpr std::initializer_list<const char*> kCallColumns = {"_id",      "number", "date",
                                                                    "duration", "type",   "name"};

// pdu of mmssms.db: an MMS's id, conversation, dates, box, read flag and kind.
inline constexpr std::initializer_list<const char*> kPduColumns = {
    "_id", "thread_id", "date", "date_sent", "msg_box", "read", "m_type"};

// addr of mmssms.db: an MMS's address rows.
inline constexpr std::initializer_list<const char*> kAddrColumns = {"msg_id", "type", "address"};

// messages of the messaging app's bugle_db.
inline constexpr std::initializer_list<const char*> kBugleMessageColumns = {
    "_id",  "conversation_id", "sender_id", "received_timestamp", "sent_timestamp",
    "read", "sms_message_uri"};

// conversations of bugle_db: a conversation with its telephony thread.
inline constexpr std::initializer_list<const char*> kBugleConversationColumns = {"_id",
                                                                                 "sms_thread_id"};

// conversation_participants of bugle_db: who is in which conversation.
inline constexpr std::initializer_list<const char*> kBugleMemberColumns = {"conversation_id",
                                                                           "participant_id"};

// A list of columns as a scan selection names them.
inline std::vector<std::string> columnNames(std::initializer_list<const char*> columns) {
    return {columns.begin(), columns.end()};
}

} // namespace fennaro::phone
