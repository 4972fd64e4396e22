// The deleted records the deep engine gives back, as plain data: a message
// with its thread, address, dates, direction and read flag; a contact with
// its fields classified and labelled as a live contact's are. Each keeps
// what it was read from (its evidence) and where (file, page, offset, WAL
// frame), so views, Recover and the report can show both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fennaro::deep {

// Where a deleted record was found.
struct RecordPlace {
    // The file that held it: the database, its -wal or its -journal.
    std::string file;
    uint32_t page = 0;
    // Bytes from the start of that file to the record.
    uint64_t offset = 0;
    // 1-based WAL frame, when it came from the -wal.
    std::optional<uint32_t> frame;
};

// The store a message was read from: an SMS row, an MMS (pdu with its
// text/plain parts and addresses), or the default messaging app's database.
enum class MessageStore : uint8_t { Sms, Mms, Bugle };

// A deleted text message. Values the engine could not read are absent.
struct DeletedMessage {
    std::optional<int64_t> id;
    std::optional<int64_t> threadId;
    std::string address;
    // Milliseconds since 1970 UTC.
    std::optional<int64_t> date;
    std::optional<int64_t> dateSent;
    // 1 received; 2 sent and the other box types are the user's own.
    std::optional<int64_t> type;
    std::optional<int64_t> read;
    std::string body;
    // The date line shown for it, local time "YYYY-MM-DD hh:mm:ss"; empty
    // without a date. Filled when the message is placed in its conversation.
    std::string dateLine;
    // What it was read from: "cell", "header lost", "index", "words" or
    // "snippet", with ", cut short" when an overflow chain broke off.
    std::string evidence;
    RecordPlace place;

    // Deep mode also shows the messages of the phone's other stores: MMS
    // texts of mmssms.db and the messaging app's own copies in bugle_db.
    // Those come in this shape too, live ones with deleted = false.
    MessageStore store = MessageStore::Sms;
    bool deleted = true;
    // The database files that hold a copy of the message ("mmssms.db",
    // "bugle_db"); empty means only the one named by place.file.
    std::vector<std::string> sources;
    // A group MMS: the other parties besides address.
    std::vector<std::string> recipients;
    // A bugle_db message's link to its telephony copy, as the app stores it
    // ("content://sms/ID" or "content://mms/ID"); empty when it has none.
    std::string telephonyUri;
    // A live message one store deleted while another still holds it: the
    // store whose copy is deleted ("bugle_db" or "mmssms.db"). The record is
    // that deleted copy (its place, its evidence) and sources then names only
    // the stores that hold it live.
    std::string deletedIn;
};

// Returns how a message of deep mode names where it came from beside its
// date line: "MMS", "app" for one only the messaging app's store holds,
// "+app" (or "MMS+app") for a telephony message that store holds too, "app:
// deleted" for one the app deleted while mmssms.db holds it live, "SMS:
// deleted" (or "MMS: deleted") for the reverse; "" for an SMS of mmssms.db
// alone.
std::string storeMark(const DeletedMessage& message);

// Returns a path's last component: the file name a record's place shows.
std::string_view fileNameOf(std::string_view path);

// Returns the database files that hold a message by their plain names,
// " + " between them: the place's file first, then the other sources; for
// a message deleted in one store only, the stores that hold it live.
std::string sourceFiles(const DeletedMessage& message);

// Returns whether a message was received (type 1); an unknown type counts as
// received, since the other party's number is what it holds.
bool isReceived(const DeletedMessage& message);

// The kinds of contact field, in the order a contact shows them.
enum class FieldKind : uint8_t {
    Name,
    Phone,
    Email,
    Organization,
    Address,
    Website,
    Birthday,
    Note,
    // A text of a mime type the contacts do not name.
    Other,
};

// "Name", "Phone", "Email", "Company", "Address", "Website", "Birthday",
// "Note" or "Other": the word for a kind of field where no type label says more.
std::string_view fieldKindWord(FieldKind kind);

// One deleted value of a contact.
struct ContactField {
    FieldKind kind = FieldKind::Note;
    // The data row's _id, when its cell kept it.
    std::optional<int64_t> dataId;
    // The live contacts' labels: a phone's type label (possibly empty), an
    // e-mail's label with the "Email" fallback, else fieldKindWord.
    std::string label;
    std::string value;
    // An organisation's title and department.
    std::string secondLine;
    std::string thirdLine;
    std::string evidence;
    RecordPlace place;
};

// A deleted contact: the deleted data rows of one raw contact.
struct DeletedContact {
    // The raw contact the rows belonged to; absent for rows whose owner
    // could not be read (each such row stands alone).
    std::optional<int64_t> rawContactId;
    // The name from a deleted name row or the deleted raw contact; empty
    // when none survived.
    std::string name;
    // Name, phones, e-mails, organisation, then address, website, birthday
    // and note; within a kind in data-row order, rows without their _id last.
    std::vector<ContactField> fields;
};

// Returns the first field of a kind with a value, or null.
const ContactField* firstField(const DeletedContact& contact, FieldKind kind);

} // namespace fennaro::deep
