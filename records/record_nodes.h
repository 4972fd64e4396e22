// The records the program shows and exports. Live records come from the
// phone's databases (record_reader.h); deleted records are made from the
// recovery engine's text (record_loader.h). Both kinds share one layout and are
// told apart by the deleted marker, so views and export treat them alike.
//
// Texts are UTF-8 views into storage owned by the list that holds the node (a
// TextPool); a missing text is an empty view. Every text view is followed by a
// zero byte in its storage. Nodes never move once their list is loaded: list
// rows and boards refer to records by address.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "text_pool.h"

namespace fennaro {

// The display-name source that means "built from the structured name"; only
// then is the display name shown on the board and written by the export.
inline constexpr int32_t kDisplayNameSourceStructuredName = 40;

// A raw contact (live) or a carved name/number pair (deleted).
struct ContactNode {
    // Live: the raw contact's id, which data rows refer to. Deleted: the
    // record's sequence number among the deleted contacts, from 0.
    int32_t contactId = 0;
    // Check mark: 1 checked, 0 not.
    int32_t checked = 0;
    // Live: the raw contact's id, which messages refer to (sms.person).
    int32_t personKey = 0;
    // 0 live, 1 deleted.
    int32_t deleted = 0;
    // Live: the display name. Deleted: the engine's line, name TAB number.
    std::string_view text;
    // Live: how the display name was formed (40: structured name).
    int32_t displayNameSource = 0;
};

// The companion contact list: one node per aggregate contact, with the same
// layout; only its check mark matters, and it follows the Contacts category.
// contactId = contacts._id, personKey = the raw contact that names it.
using CompanionContactNode = ContactNode;

// One row of the contacts' data table.
struct DataRowNode {
    // Key into the mime type list.
    int32_t mimeTypeId = 0;
    // The owning raw contact (ContactNode::contactId).
    int32_t contactId = 0;
    // data1: company, phone number or e-mail address.
    std::string_view value;
    // data2: the row's type code in decimal.
    std::string_view typeNumber;
    // data4 and data5: an organization row's title and department.
    std::string_view secondOrganizationLine;
    std::string_view thirdOrganizationLine;
};

// One entry of the mime type list; each id occurs once.
struct MimeTypeNode {
    int32_t id = 0;
    // Such as "vnd.android.cursor.item/phone_v2".
    std::string_view mimeType;
};

// One SMS conversation (live) or one carved message (deleted).
struct ThreadNode {
    // Live: threads._id. Deleted: sequence number among the deleted SMS, from 0.
    int32_t conversationId = 0;
    // Check mark: 1 checked, 0 not (a byte, as the tree writes it).
    uint8_t checked = 0;
    // 0 live, 1 deleted.
    int32_t deleted = 0;
    // Deleted only: the engine's line, sender name TAB address TAB body.
    std::string_view text;
};

// One live text message.
struct MessageNode {
    // The conversation (ThreadNode::conversationId).
    int32_t conversationId = 0;
    // The other party.
    std::string_view address;
    // The sender's raw contact id (ContactNode::personKey); 0: none.
    int32_t personKey = 0;
    // Local time of the message, "YYYY-MM-DD hh:mm:ss".
    std::string_view dateLine;
    // 1 received, anything else sent.
    int32_t type = 0;
    std::string_view body;
    // The stored date: milliseconds since 1970 UTC.
    int64_t dateMs = 0;
};

// The third SMS list: the phone's canonical addresses. Nothing reads it; it is
// kept because it belongs to what the SMS database holds.
struct SmsAddressNode {
    int32_t id = 0;
    std::string_view address;
};

// Everything read from a contacts database. Movable, not copyable; moving
// keeps every node and text where it is.
struct ContactLists {
    TextPool texts;
    std::vector<CompanionContactNode> companionContacts;
    std::vector<ContactNode> contacts;
    std::vector<DataRowNode> dataRows;
    std::vector<MimeTypeNode> mimeTypes;
};

// Everything read from an SMS database. Messages are ordered by conversation,
// then date, then id.
struct SmsLists {
    TextPool texts;
    std::vector<ThreadNode> threads;
    std::vector<MessageNode> messages;
    std::vector<SmsAddressNode> addresses;
};

} // namespace fennaro
