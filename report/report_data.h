// What a report tells: the phone's copies with their sizes and hashes, the
// counts of live and deleted records, the contacts with their fields and the
// conversations with their messages, every deleted one with its evidence and
// place. Built once from the loaded records; the page and the table are
// written from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "call_records.h"
#include "deleted_records.h"
#include "phone/phone_databases.h"
#include "record_store.h"

namespace fennaro::report {

// One file the records were read from.
struct CopySummary {
    std::string path;
    bool present = false;
    uint64_t size = 0;
    // SHA-256 in hexadecimal; empty when the file could not be read.
    std::string sha256;
    // Whether the hash is the one the acquisition's manifest recorded (and
    // the file still has it), rather than one worked out now.
    bool fromManifest = false;
    // The manifest listed the file with another hash: the copy changed.
    bool changedSincePull = false;
    // Local time the copy was written ("YYYY-MM-DD hh:mm:ss").
    std::string pulledAt;
    // A database not every phone has (the call log, the messaging app's
    // store): its absence is told, not warned of.
    bool optional = false;
    // Where a copy taken from a file-system extraction came from: "from
    // dump.zip (SHA-256 ...), member Dump/data/..., modified ..."; empty for
    // a copy pulled off the phone.
    std::string provenance;
    // What its acquisition saw and left out (another user's databases ...),
    // each told once in a report.
    std::vector<std::string> notes;
};

// One field of a contact.
struct FieldRow {
    std::string label;
    std::string value;
    bool deleted = false;
    std::string evidence;
    std::optional<deep::RecordPlace> place;
};

struct ContactEntry {
    std::string name;
    // The first phone number, for the list's Phone column.
    std::string number;
    std::string company;
    // The whole contact was deleted.
    bool deleted = false;
    // Deep mode's state of the contact: "deleted", "live+deleted" (a live
    // contact with deleted fields) or "live"; empty in the classic mode.
    std::string state;
    std::vector<FieldRow> fields;
};

// Returns whether any field of a contact is deleted.
bool hasDeletedField(const ContactEntry& contact);

struct MessageRow {
    bool deleted = false;
    std::string address;
    std::string dateLine;
    std::optional<int64_t> dateMs;
    // "received", "sent" or "" when the type is unknown.
    std::string direction;
    std::string text;
    std::string evidence;
    std::optional<deep::RecordPlace> place;
    // A message of an MMS, of the messaging app's store or of both stores:
    // the databases that hold it ("mmssms.db + bugle_db"); empty for an SMS
    // of mmssms.db alone.
    std::string files;
    // "SMS", "MMS" or "app message" (one of the messaging app's store).
    std::string kind = "SMS";
};

struct ConversationEntry {
    std::string name;
    std::string address;
    size_t deletedCount = 0;
    // Deep mode's state of the conversation, as a contact's; empty in the
    // classic mode.
    std::string state;
    std::vector<MessageRow> messages;
};

// One call of the call log.
struct CallRow {
    bool deleted = false;
    std::string name;
    std::string number;
    std::string dateLine;
    std::optional<int64_t> dateMs;
    // The type label ("Incoming" ...), "" for an unknown type.
    std::string type;
    // Seconds.
    std::optional<int64_t> duration;
    // The database it was read from.
    std::string file;
    std::string evidence;
    std::optional<deep::RecordPlace> place;
};

struct ReportCounts {
    size_t liveContacts = 0;
    size_t deletedContacts = 0;
    // Deleted fields of contacts that are still live.
    size_t deletedFields = 0;
    size_t liveMessages = 0;
    size_t deletedMessages = 0;
    size_t conversations = 0;
    size_t liveCalls = 0;
    size_t deletedCalls = 0;
};

struct ReportData {
    // Made from the deep engine's records (else the classic engine's).
    bool deep = false;
    // Local time the report was made, and the same in seconds since 1970.
    std::string madeAt;
    int64_t madeAtSeconds = 0;
    std::vector<CopySummary> copies;
    ReportCounts counts;
    std::vector<ContactEntry> contacts;
    std::vector<ConversationEntry> conversations;
    // Deep mode only: the call log, in the list's order.
    std::vector<CallRow> calls;
};

// Describes each database and the side files beside it that exist: size,
// SHA-256 (the manifest's when the acquisition wrote one and it still
// holds), and when it was pulled (in UTC when utc is set, else local time).
std::vector<CopySummary> summarizeCopies(const std::vector<std::string>& databases,
                                         bool utc = false);

// The same for a phone's databases: the two classic ones always, the call
// log and the messaging app's store when their paths are set (marked
// optional, so a missing one is told without a warning).
std::vector<CopySummary> summarizePhoneCopies(const PhoneDatabases& databases, bool utc = false);

// Adds the calls to a report, in their order, with their counts.
void addCalls(ReportData& data, const std::vector<deep::CallRecord>& calls);

// A report of the deep mode: the store's live lists with the deep engine's
// deleted records placed among them (store.deep, loaded).
ReportData buildDeepReport(const RecordStore& store);

// A report of the classic mode: the store's live lists and the deleted
// records made from the classic engine's texts, which carry no place.
ReportData buildClassicReport(const RecordStore& store);

// Returns a local time as "YYYY-MM-DD hh:mm:ss".
std::string localTimeText(int64_t secondsSince1970);

// Returns a time as "YYYY-MM-DD hh:mm:ss" in UTC when utc is set, else in
// local time.
std::string timeText(int64_t secondsSince1970, bool utc);

} // namespace fennaro::report
