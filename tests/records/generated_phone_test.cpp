// The live-record reader against generated phones of both table layouts:
// every live record of the ground truth comes back with its fields, in order,
// and the list command's rows follow from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "contact_fields.h"
#include "phone/record_loader.h"
#include "phone/record_reader.h"
#include "row_texts.h"
#include "test_db.h"
#include "testdata.h"

namespace fennaro {
namespace {

// Returns the text an optional column value reads as.
std::string_view orEmpty(const std::optional<std::string>& value) {
    return value ? std::string_view(*value) : std::string_view();
}

class GeneratedPhoneTest : public ::testing::TestWithParam<testdata::Generation> {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        testdata::PhoneSpec spec;
        spec.contactsOptions.generation = GetParam();
        spec.smsOptions.generation = GetParam();
        spec.contacts = 120;
        spec.messages = 400;
        spec.threads = 30;
        spec.seed = 11;
        truth = testdata::generatePhone(dir.path().string(), spec);
    }

    test::ScratchDir dir;
    testdata::PhoneTruth truth;
    std::string contactsDb = dir.file("contacts2.db");
    std::string smsDb = dir.file("mmssms.db");
};

TEST_P(GeneratedPhoneTest, ContactsComeBackWithTheirFields) {
    const ContactLists lists = readContacts(contactsDb);

    std::map<int32_t, std::string_view> mimeTypes;
    for (const MimeTypeNode& mimeType : lists.mimeTypes)
        mimeTypes.emplace(mimeType.id, mimeType.mimeType);

    std::vector<const testdata::RawContact*> live;
    std::vector<testdata::DataRow> rows;
    for (const testdata::RawContact& contact : truth.liveContacts) {
        if (contact.deleted == 0)
            live.push_back(&contact);
        rows.insert(rows.end(), contact.rows.begin(), contact.rows.end());
    }
    std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.id < b.id; });

    ASSERT_EQ(lists.contacts.size(), live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        const ContactNode& node = lists.contacts[i];
        EXPECT_EQ(node.contactId, live[i]->id);
        EXPECT_EQ(node.personKey, live[i]->id);
        EXPECT_EQ(node.text, orEmpty(live[i]->displayName));
        EXPECT_EQ(node.displayNameSource, live[i]->displayNameSource);
        EXPECT_EQ(node.deleted, 0);
    }
    ASSERT_EQ(lists.dataRows.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const DataRowNode& node = lists.dataRows[i];
        EXPECT_EQ(node.contactId, rows[i].rawContactId);
        EXPECT_EQ(mimeTypes[node.mimeTypeId], rows[i].mimetype);
        EXPECT_EQ(node.value, orEmpty(rows[i].data1));
        EXPECT_EQ(node.typeNumber, orEmpty(rows[i].data2));
        EXPECT_EQ(node.secondOrganizationLine, orEmpty(rows[i].data4));
        EXPECT_EQ(node.thirdOrganizationLine, orEmpty(rows[i].data5));
    }
}

TEST_P(GeneratedPhoneTest, MessagesComeBackInConversationOrder) {
    const SmsLists lists = readSms(smsDb);

    ASSERT_EQ(lists.threads.size(), truth.threads.size());
    for (size_t i = 0; i < truth.threads.size(); ++i)
        EXPECT_EQ(lists.threads[i].conversationId, truth.threads[i].id);

    std::vector<testdata::Message> messages = truth.liveMessages;
    std::sort(messages.begin(), messages.end(), [](auto& a, auto& b) {
        return std::tuple(a.threadId, a.dateMs.value_or(0), a.id) <
               std::tuple(b.threadId, b.dateMs.value_or(0), b.id);
    });
    ASSERT_EQ(lists.messages.size(), messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        const MessageNode& node = lists.messages[i];
        EXPECT_EQ(node.conversationId, messages[i].threadId);
        EXPECT_EQ(node.address, orEmpty(messages[i].address));
        EXPECT_EQ(node.personKey, messages[i].person.value_or(0));
        EXPECT_EQ(node.dateLine, formatDateLine(messages[i].dateMs.value_or(0)));
        EXPECT_EQ(node.type, messages[i].type);
        EXPECT_EQ(node.body, orEmpty(messages[i].body));
    }
}

TEST_P(GeneratedPhoneTest, LoadingMergesTheCarvedRecords) {
    RecordStore store;
    loadAfterAcquisition(store, contactsDb, smsDb);

    // The generated phone deleted rows, so the engine found some.
    EXPECT_FALSE(store.deletedSms.empty());
    EXPECT_EQ(static_cast<int32_t>(store.deletedSms.size()),
              countEngineLines(store.deletedSmsText));
    const int32_t contacts =
        static_cast<int32_t>(store.contactLists.contacts.size() + store.deletedContacts.size());
    EXPECT_EQ(store.contactsCategory.caption, "Contacts (" + std::to_string(contacts) + ")");
    EXPECT_EQ(store.loadedCount, store.totalCount);

    // Every live contact with a phone row shows a phone in its row.
    const ContactDataIndex index(store.contactLists);
    for (const ContactNode& contact : store.contactLists.contacts) {
        bool hasPhone = false;
        for (const ContactDataRow& row : index.rowsOf(contact.contactId))
            hasPhone |= row.kind == DataRowKind::Phone && !row.row->value.empty();
        EXPECT_EQ(hasPhone, !liveContactRowTexts(contact, index).phone.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, GeneratedPhoneTest,
                         ::testing::Values(testdata::Generation::Old, testdata::Generation::Modern),
                         [](const auto& info) {
                             return info.param == testdata::Generation::Old ? "Old" : "Modern";
                         });

} // namespace
} // namespace fennaro
