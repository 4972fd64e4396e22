// Plain value types shared by the test-data builders: file options and the
// records that go into (and come out of) generated contacts2.db / mmssms.db.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

// Which Android release created the file; decides the column order of the tables.
enum class Generation {
    Old,    // Android 4.x: data1 at column 8, sms has 17 columns
    Modern, // Android 10+: hash_id before data1 (data1 at 9), sms has 19 columns
    // A 4.x file upgraded to 10+: the Old order, the newer columns appended at the end
    // (data.hash_id last but three, sms.sub_id and creator after seen).
    Upgraded,
};

// Whether a file of this generation has the columns Android added after 4.x.
inline bool hasModernColumns(Generation g) {
    return g != Generation::Old;
}

// File-level settings of one generated database.
struct DbOptions {
    Generation generation = Generation::Old;
    int pageSize = 4096;        // a power of two from 512 to 65536
    bool autoVacuumFull = true; // FULL as on the phone; false = NONE
    // false: PRAGMA secure_delete=OFF, freed cells keep their bytes (older phones);
    // true: secure_delete=ON, freed cells are zero-filled (Android 8 and later).
    bool zeroDeleted = false;
    bool wal = false; // leave the file in journal_mode=WAL (modern contacts2.db)
};

// One row of contacts2.db table "data". Values are what is stored: phone types
// and other numbers are text ("2"), as the provider writes them.
struct DataRow {
    int64_t id = 0; // 0 on insert: the builder gives the next free id
    int64_t rawContactId = 0;
    std::string mimetype; // full form, e.g. "vnd.android.cursor.item/phone_v2"
    std::optional<std::string> data1, data2, data3, data4, data5;

    bool operator==(const DataRow&) const = default;
};

// Full mimetype strings of the kinds the generator writes.
inline constexpr const char* kMimeName = "vnd.android.cursor.item/name";
inline constexpr const char* kMimePhone = "vnd.android.cursor.item/phone_v2";
inline constexpr const char* kMimeEmail = "vnd.android.cursor.item/email_v2";
inline constexpr const char* kMimeOrganization = "vnd.android.cursor.item/organization";
inline constexpr const char* kMimeNickname = "vnd.android.cursor.item/nickname";
inline constexpr const char* kMimeNote = "vnd.android.cursor.item/note";
inline constexpr const char* kMimeEvent = "vnd.android.cursor.item/contact_event";
inline constexpr const char* kMimePostal = "vnd.android.cursor.item/postal-address_v2";
inline constexpr const char* kMimeWebsite = "vnd.android.cursor.item/website";

// One raw contact with its data rows.
struct RawContact {
    int64_t id = 0; // 0 on insert: the builder gives the next free id
    std::optional<std::string> displayName;
    int displayNameSource =
        0;           // 40 structured name, 35 nickname, 30 organization, 20 phone, 10 e-mail
    int deleted = 0; // 1: marked for the next sync (row stays live)
    std::optional<int64_t> contactId; // aggregate id; empty on insert: the builder picks one
    std::vector<DataRow> rows;

    bool operator==(const RawContact&) const = default;
};

// One SMS conversation (table "threads") with a single recipient.
struct Thread {
    int64_t id = 0;     // 0 on insert: the builder gives the next free id
    int64_t dateMs = 0; // date of the newest message
    int messageCount = 0;
    std::string snippet; // body of the newest message
    std::string address; // recipient, as first seen (canonical_addresses)

    bool operator==(const Thread&) const = default;
};

// One row of mmssms.db table "sms".
struct Message {
    int64_t id = 0; // 0 on insert: the builder gives the next free id
    int64_t threadId = 0;
    std::optional<std::string> address;
    std::optional<int64_t> person; // raw_contacts._id of the sender, received messages only
    std::optional<int64_t> dateMs;
    int type = 1; // 1 received, 2 sent
    std::optional<std::string> body;

    bool operator==(const Message&) const = default;
};

} // namespace testdata
