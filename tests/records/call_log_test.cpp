// The live call log reader: columns found by name in every layout the
// provider has used, the database it reads from, the name taken from the
// live contacts when the call cached none, and files it cannot read.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "phone/call_log.h"
#include "phone/record_reader.h"
#include "test_db.h"

namespace fennaro::test {
namespace {

// Column names of the calls table, in the order of each layout.
const char* const kV6Columns =
    "_id number presentation date duration data_usage type features subscription_component_name "
    "subscription_id phone_account_address phone_account_hidden sub_id new name numbertype "
    "numberlabel countryiso voicemail_uri is_read geocoded_location lookup_uri matched_number "
    "normalized_number photo_id photo_uri formatted_number _data has_content mime_type "
    "source_data source_package transcription state dirty deleted";
const char* const kV10Columns =
    "_id number presentation post_dial_digits via_number date duration data_usage type features "
    "subscription_component_name subscription_id phone_account_address phone_account_hidden "
    "sub_id new name numbertype numberlabel countryiso voicemail_uri is_read geocoded_location "
    "lookup_uri matched_number normalized_number photo_id photo_uri formatted_number "
    "add_for_all_users last_modified call_screening_component_name call_screening_app_name "
    "block_reason missed_reason priority subject location composer_photo_uri _data has_content "
    "mime_type source_data source_package transcription transcription_state state dirty deleted "
    "backed_up restored archived is_omtp_voicemail";

// The names of a space-separated list.
std::vector<std::string> split(const std::string& names) {
    std::istringstream in(names);
    std::vector<std::string> out;
    for (std::string name; in >> name;)
        out.push_back(name);
    return out;
}

// Version 8 rebuilds the table in its own order; the columns of versions 9
// and 10 are appended after is_omtp_voicemail on a phone upgraded since.
std::vector<std::string> v8RebuiltColumns() {
    const std::vector<std::string> later = {"missed_reason", "priority", "subject", "location",
                                            "composer_photo_uri"};
    std::vector<std::string> columns;
    for (const std::string& name : split(kV10Columns)) {
        if (std::find(later.begin(), later.end(), name) == later.end())
            columns.push_back(name);
    }
    columns.insert(columns.end(), later.begin(), later.end());
    return columns;
}

// CREATE TABLE calls with the columns in order (_id the rowid), and two calls:
// an outgoing one with a cached name and a missed one without.
std::string callsSql(const std::vector<std::string>& columns) {
    std::string sql = "CREATE TABLE calls (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + columns[i] + (i == 0 ? " INTEGER PRIMARY KEY" : "");
    return sql + R"sql();
        INSERT INTO calls (_id, number, date, duration, type, name) VALUES
            (7, '+447700900123', 1700000000000, 65, 2, 'Cached Cleo'),
            (9, '07700900456', 1700000100000, 0, 3, NULL);)sql";
}

// A contacts2.db whose live contacts are Dora (+44 7700 900456) and a
// raw contact marked deleted with the other number.
void makeContacts(const std::string& path, const std::string& extra = "") {
    makeDatabase(path, std::string(kContactsSchema) + kMimeTypeRows + R"sql(
        INSERT INTO raw_contacts (_id, deleted, display_name, display_name_source) VALUES
            (1, 0, 'Dora Live', 40), (2, 1, 'Gone Gus', 40);
        INSERT INTO data (mimetype_id, raw_contact_id, data1, data2) VALUES
            (5, 1, '+44 7700 900456', '2'), (5, 2, '+44 7700 900123', '2');)sql" +
                           extra);
}

TEST(CallLog, FindsItsColumnsByNameInEveryLayout) {
    const std::vector<std::pair<const char*, std::vector<std::string>>> layouts = {
        {"v6", split(kV6Columns)}, {"v10", split(kV10Columns)}, {"v8 rebuilt", v8RebuiltColumns()}};
    for (const auto& [label, columns] : layouts) {
        SCOPED_TRACE(label);
        ScratchDir dir;
        makeContacts(dir.file("contacts2.db"));
        makeDatabase(dir.file("calllog.db"), callsSql(columns));
        const ContactLists contacts = readContacts(dir.file("contacts2.db"));
        const auto calls = deep::readLiveCalls(
            {dir.file("contacts2.db"), "", dir.file("calllog.db"), ""}, contacts);
        ASSERT_EQ(calls.size(), 2u);
        // Newest first: the missed call, named from the live contact.
        EXPECT_EQ(calls[0].id, 9);
        EXPECT_EQ(calls[0].number, "07700900456");
        EXPECT_EQ(calls[0].cachedName, "");
        EXPECT_EQ(calls[0].name, "Dora Live");
        EXPECT_EQ(calls[0].date, 1700000100000);
        EXPECT_EQ(calls[0].duration, 0);
        EXPECT_EQ(calls[0].type, 3);
        EXPECT_EQ(calls[0].file, "calllog.db");
        EXPECT_FALSE(calls[0].deleted);
        EXPECT_EQ(calls[0].dateLine, formatDateLine(1700000100000));
        // The cached name wins, even where only a deleted contact has the number.
        EXPECT_EQ(calls[1].id, 7);
        EXPECT_EQ(calls[1].name, "Cached Cleo");
        EXPECT_EQ(calls[1].duration, 65);
        EXPECT_EQ(calls[1].type, 2);
    }
}

TEST(CallLog, ReadsContactsCallsOnlyWithoutACallLogAndNothingFromBadFiles) {
    ScratchDir dir;
    makeContacts(dir.file("contacts2.db"),
                 callsSql(split(kV6Columns)) + "UPDATE calls SET name = NULL WHERE _id = 7;");
    const ContactLists contacts = readContacts(dir.file("contacts2.db"));
    // An Android 6 phone: the calls of contacts2.db; a number only a deleted
    // contact had stays unnamed.
    auto calls = deep::readLiveCalls({dir.file("contacts2.db"), "", "", ""}, contacts);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].file, "contacts2.db");
    EXPECT_EQ(calls[1].name, "");

    // With a calllog.db only its calls count, and one that is not a
    // database, or lacks the table, gives none.
    makeDatabase(dir.file("calllog.db"),
                 callsSql(split(kV10Columns)) + "DELETE FROM calls WHERE _id = 7;");
    EXPECT_EQ(
        deep::readLiveCalls({dir.file("contacts2.db"), "", dir.file("calllog.db"), ""}, contacts)
            .size(),
        1u);
    std::ofstream(dir.file("junk.db")) << std::string(3000, '\x5a');
    EXPECT_TRUE(
        deep::readLiveCalls({dir.file("contacts2.db"), "", dir.file("junk.db"), ""}, contacts)
            .empty());
    makeDatabase(dir.file("empty.db"), "CREATE TABLE properties (property_key TEXT PRIMARY KEY);");
    EXPECT_TRUE(
        deep::readLiveCalls({dir.file("contacts2.db"), "", dir.file("empty.db"), ""}, contacts)
            .empty());
    EXPECT_TRUE(deep::readLiveCalls({dir.file("missing.db"), "", "", ""}, contacts).empty());
}

} // namespace
} // namespace fennaro::test
