// What other structures keep of rows that are gone: a dropped table's
// schema row and pages, a deleted conversation's snippet, and the judgement
// of values carved from free bytes (dates, reals, flags).
#include <gtest/gtest.h>

#include "deep_test_support.h"
#include "sqlite_recovery/sqlite_recovery.h"
#include "sqlite_recovery/value_sanity.h"

namespace deeptest {
namespace {

using fennaro::deep::RecordEvidence;
using fennaro::phone::scanDatabase;

// A table dropped whole (secure_delete off, no auto_vacuum: its pages go to
// the free list) comes back under its own name, marked dropped, with its
// columns in the report's schema; a look-alike table that stays keeps none
// of its rows.
TEST(RemnantRows, DroppedTableComesBackUnderItsNameAndNoOtherTakesItsRows) {
    TempDir dir, pulled;
    const std::string path = dir.file("dropped.db");
    {
        SqlDb db(path);
        db.exec("PRAGMA page_size=1024; PRAGMA auto_vacuum=NONE; PRAGMA secure_delete=OFF;"
                "PRAGMA journal_mode=DELETE;");
        db.exec("CREATE TABLE keep(_id INTEGER PRIMARY KEY, name TEXT, n INTEGER);"
                "CREATE TABLE gone(_id INTEGER PRIMARY KEY, name TEXT, n INTEGER);");
        db.exec("BEGIN");
        for (int i = 1; i <= 60; ++i) {
            const std::string n = std::to_string(i);
            db.exec("INSERT INTO keep VALUES(" + n + ", 'kept row " + n + "', " + n + ");");
            db.exec("INSERT INTO gone VALUES(" + n + ", 'dropped row " + n + "', " + n + ");");
        }
        db.exec("COMMIT");
        db.exec("DROP TABLE gone");
    }
    const ScanReport report = scanDatabase(pullCopy(path, pulled.path()));
    ASSERT_TRUE(report.ok) << report.error;
    bool listed = false;
    for (const auto& table : report.schema)
        listed = listed || (table.table == "gone" && table.columns.size() == 3);
    EXPECT_TRUE(listed) << "the dropped table's columns are not in the schema";
    size_t dropped = 0;
    for (const RecoveredRecord& r : report.records) {
        if (r.table == "keep")
            ADD_FAILURE() << "a row under keep: " << r.values[1].bytes;
        if (r.table != "gone")
            continue;
        EXPECT_TRUE(r.dropped);
        ASSERT_EQ(r.values.size(), 3u);
        EXPECT_EQ(r.values[1].bytes, "dropped row " + std::to_string(r.values[2].integer));
        ++dropped;
    }
    EXPECT_GE(dropped, 57u) << "of 60 rows";
}

// A conversation deleted with its messages leaves its row's snippet (here
// in the frame of the -wal that still lists it): the last message's text
// and date come back as a message with that evidence, in the scan and in
// the messages text, marked; a live conversation's older snippet does not.
TEST(RemnantRows, DeletedConversationsSnippetIsAMessageMarkedAsSuch) {
    TempDir dir, pulled;
    const std::string path = dir.file("mmssms.db");
    {
        SqlDb db(path);
        db.exec("PRAGMA secure_delete=ON; PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
        db.exec("CREATE TABLE sms(_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT,"
                " person INTEGER, date INTEGER, type INTEGER, body TEXT);"
                "CREATE TABLE threads(_id INTEGER PRIMARY KEY, date INTEGER, message_count"
                " INTEGER, recipient_ids TEXT, snippet TEXT);");
        db.exec("INSERT INTO threads VALUES(7, 1700000000000, 1, '3', 'Meet me at the old mill');"
                "INSERT INTO threads VALUES(8, 1700000100000, 1, '4', 'An older snippet');"
                "INSERT INTO sms VALUES(1, 8, '+15550100', NULL, 1700000100000, 1, 'Still here');");
        db.exec("UPDATE threads SET snippet='Still here, newer' WHERE _id=8;"
                "DELETE FROM threads WHERE _id=7;");
    }
    const std::string copy = pullCopy(path, pulled.path());
    const ScanReport report = scanDatabase(copy);
    ASSERT_TRUE(report.ok) << report.error;
    size_t snippets = 0;
    for (const RecoveredRecord& r : recordsOf(report, "sms")) {
        if (r.evidence != RecordEvidence::Remnant)
            continue;
        ++snippets;
        EXPECT_EQ(r.values[1].integer, 7);
        EXPECT_EQ(r.values[6].bytes, "Meet me at the old mill");
        EXPECT_EQ(r.values[4].integer, 1700000000000);
    }
    EXPECT_EQ(snippets, 1u);
    const std::string text = fennaro::deep::deepSmsText(dir.file("none.db"), copy);
    EXPECT_NE(text.find("[snippet] Meet me at the old mill"), std::string::npos) << text;
    EXPECT_EQ(text.find("older snippet"), std::string::npos) << text;
}

// Values carved from free bytes are judged by what their columns hold.
TEST(RemnantRows, TimesAndCountsAreToldApartByName) {
    using fennaro::deep::isTimeColumn;
    using fennaro::deep::plausibleTime;
    for (const char* name : {"date", "date_sent", "last_time_contacted", "timestamp",
                             "contact_last_updated_timestamp", "x_last_time_contacted"})
        EXPECT_TRUE(isTimeColumn(name)) << name;
    for (const char* name : {"times_contacted", "x_times_contacted", "update", "data1"})
        EXPECT_FALSE(isTimeColumn(name)) << name;
    EXPECT_TRUE(plausibleTime(0));
    EXPECT_TRUE(plausibleTime(1700000000));    // seconds
    EXPECT_TRUE(plausibleTime(1700000000000)); // milliseconds
    EXPECT_FALSE(plausibleTime(1234));
    EXPECT_FALSE(plausibleTime(99999999999999)); // the year 5138
}

} // namespace
} // namespace deeptest
