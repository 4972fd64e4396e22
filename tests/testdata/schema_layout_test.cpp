// The generated files carry the column orders of the Android releases they stand for.
#include "test_files.h"

#include "contacts_db_builder.h"
#include "sms_db_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testdata;
using namespace testdata_test;

namespace {

// Position of `name` in `columns`, or -1.
int indexOf(const std::vector<std::string>& columns, const std::string& name) {
    auto it = std::find(columns.begin(), columns.end(), name);
    return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
}

// Writes empty files of `generation` into `dir`.
void buildEmpty(const ScratchDir& dir, Generation generation) {
    DbOptions options;
    options.generation = generation;
    ContactsDbBuilder(dir.file("contacts2.db"), options).close();
    SmsDbBuilder(dir.file("mmssms.db"), options).close();
}

} // namespace

TEST(SchemaLayout, OldGenerationHasAndroid4ColumnOrder) {
    ScratchDir dir("schema-old");
    buildEmpty(dir, Generation::Old);
    const auto data = columnsOf(dir.file("contacts2.db"), "data");
    EXPECT_EQ(data.size(), 27u);
    EXPECT_EQ(indexOf(data, "mimetype_id"), 2);
    EXPECT_EQ(indexOf(data, "raw_contact_id"), 3);
    EXPECT_EQ(indexOf(data, "data1"), 8);
    EXPECT_EQ(indexOf(data, "data15"), 22);
    EXPECT_EQ(indexOf(data, "data_sync4"), 26);
    EXPECT_EQ(indexOf(data, "hash_id"), -1);

    const auto raw = columnsOf(dir.file("contacts2.db"), "raw_contacts");
    EXPECT_EQ(raw.size(), 32u);
    EXPECT_EQ(indexOf(raw, "deleted"), 6);
    EXPECT_EQ(indexOf(raw, "contact_id"), 7);
    EXPECT_EQ(indexOf(raw, "pinned"), 15);
    EXPECT_EQ(indexOf(raw, "display_name"), 16);
    EXPECT_EQ(indexOf(raw, "display_name_source"), 18);
    EXPECT_EQ(indexOf(raw, "sync4"), 31);
    EXPECT_EQ(columnsOf(dir.file("contacts2.db"), "contacts").size(), 14u);

    const auto sms = columnsOf(dir.file("mmssms.db"), "sms");
    EXPECT_EQ(sms.size(), 17u);
    EXPECT_EQ(indexOf(sms, "address"), 2);
    EXPECT_EQ(indexOf(sms, "person"), 3);
    EXPECT_EQ(indexOf(sms, "body"), 12);
    EXPECT_EQ(indexOf(sms, "error_code"), 15);
    EXPECT_EQ(indexOf(sms, "seen"), 16);
    const auto threads = columnsOf(dir.file("mmssms.db"), "threads");
    EXPECT_EQ(threads.size(), 10u);
    EXPECT_EQ(indexOf(threads, "type"), 7);
}

TEST(SchemaLayout, ModernGenerationHasAndroid10ColumnOrder) {
    ScratchDir dir("schema-modern");
    buildEmpty(dir, Generation::Modern);
    const auto data = columnsOf(dir.file("contacts2.db"), "data");
    EXPECT_EQ(data.size(), 31u);
    EXPECT_EQ(indexOf(data, "raw_contact_id"), 3);
    EXPECT_EQ(indexOf(data, "hash_id"), 4);
    EXPECT_EQ(indexOf(data, "data1"), 9);
    EXPECT_EQ(indexOf(data, "carrier_presence"), 28);
    EXPECT_EQ(indexOf(data, "preferred_phone_account_id"), 30);

    const auto raw = columnsOf(dir.file("contacts2.db"), "raw_contacts");
    EXPECT_EQ(raw.size(), 36u);
    EXPECT_EQ(indexOf(raw, "backup_id"), 3);
    EXPECT_EQ(indexOf(raw, "metadata_dirty"), 8);
    EXPECT_EQ(indexOf(raw, "contact_id"), 9);
    EXPECT_EQ(indexOf(raw, "x_times_contacted"), 14);
    EXPECT_EQ(indexOf(raw, "display_name"), 20);
    EXPECT_EQ(indexOf(raw, "display_name_source"), 22);
    EXPECT_EQ(indexOf(raw, "sync4"), 35);
    const auto contacts = columnsOf(dir.file("contacts2.db"), "contacts");
    EXPECT_EQ(contacts.size(), 16u);
    EXPECT_EQ(indexOf(contacts, "x_times_contacted"), 6);

    const auto sms = columnsOf(dir.file("mmssms.db"), "sms");
    EXPECT_EQ(sms.size(), 19u);
    EXPECT_EQ(indexOf(sms, "body"), 12);
    EXPECT_EQ(indexOf(sms, "sub_id"), 15);
    EXPECT_EQ(indexOf(sms, "creator"), 17);
    EXPECT_EQ(indexOf(sms, "seen"), 18);
    const auto threads = columnsOf(dir.file("mmssms.db"), "threads");
    EXPECT_EQ(indexOf(threads, "archived"), 7);
    EXPECT_EQ(indexOf(threads, "type"), 8);
}

TEST(SchemaLayout, UpgradedFileKeepsOldOrderWithNewColumnsAtTheEnd) {
    ScratchDir dir("schema-upgraded");
    buildEmpty(dir, Generation::Upgraded);
    const auto data = columnsOf(dir.file("contacts2.db"), "data");
    EXPECT_EQ(data.size(), 31u);
    EXPECT_EQ(indexOf(data, "data1"), 8);
    EXPECT_EQ(indexOf(data, "hash_id"), 27);
    EXPECT_EQ(indexOf(data, "preferred_phone_account_id"), 30);
    const auto raw = columnsOf(dir.file("contacts2.db"), "raw_contacts");
    EXPECT_EQ(raw.size(), 36u);
    EXPECT_EQ(indexOf(raw, "display_name"), 16);
    EXPECT_EQ(indexOf(raw, "backup_id"), 32);
    EXPECT_EQ(columnsOf(dir.file("contacts2.db"), "contacts").size(), 16u);

    const auto sms = columnsOf(dir.file("mmssms.db"), "sms");
    EXPECT_EQ(sms.size(), 19u);
    EXPECT_EQ(indexOf(sms, "body"), 12);
    EXPECT_EQ(indexOf(sms, "seen"), 16);
    EXPECT_EQ(indexOf(sms, "sub_id"), 17);
    EXPECT_EQ(indexOf(sms, "creator"), 18);
    EXPECT_EQ(indexOf(columnsOf(dir.file("mmssms.db"), "threads"), "archived"), 10);
}

TEST(SchemaLayout, MimetypesGetTheAospIdsAndNewOnesFollow) {
    ScratchDir dir("mimetypes");
    {
        ContactsDbBuilder b(dir.file("contacts2.db"), DbOptions{});
        EXPECT_EQ(b.mimetypeId(kMimeEmail), 1);
        EXPECT_EQ(b.mimetypeId(kMimePhone), 5);
        EXPECT_EQ(b.mimetypeId(kMimeName), 7);
        EXPECT_EQ(b.mimetypeId(kMimeNote), 9); // first use on an old file
        b.close();
    }
    DbOptions modern;
    modern.generation = Generation::Modern;
    ContactsDbBuilder b(dir.file("modern.db"), modern);
    EXPECT_EQ(b.mimetypeId(kMimeNote), 12);
    EXPECT_EQ(b.mimetypeId("vnd.android.cursor.item/custom"), 17);
}
