// The contact field rules and the record list's row texts: type codes and
// labels, the names by user, the field selections of list, board and export,
// and the conversation contact.
#include <gtest/gtest.h>

#include "contact_fields.h"
#include "conversation_index.h"
#include "row_texts.h"
#include "utf8_text.h"

namespace fennaro {
namespace {

TEST(TypeCodeTest, ReadsLikeAtoi) {
    EXPECT_EQ(parseTypeCode("2"), 2);
    EXPECT_EQ(parseTypeCode(" 3"), 3);
    EXPECT_EQ(parseTypeCode("\t\n 3"), 3);
    EXPECT_EQ(parseTypeCode("3a"), 3);
    EXPECT_EQ(parseTypeCode("+17"), 17);
    EXPECT_EQ(parseTypeCode("-4"), -4);
    EXPECT_EQ(parseTypeCode(""), 0);
    EXPECT_EQ(parseTypeCode("Mobile"), 0);
    EXPECT_EQ(parseTypeCode("- 2"), 0);
    EXPECT_EQ(parseTypeCode("00012"), 12);
    // Out of range: saturates as strtol does, then keeps the low 32 bits.
    EXPECT_EQ(parseTypeCode("4294967298"), 2);
    EXPECT_EQ(parseTypeCode("99999999999999999999999"), -1);
    EXPECT_EQ(parseTypeCode("-99999999999999999999999"), 0);
}

TEST(TypeLabelTest, PhoneAndEmailTables) {
    const std::pair<int32_t, std::string_view> phones[] = {{1, "Home"},       {2, "Mobile"},
                                                           {3, "Work"},       {4, "WorkFax"},
                                                           {5, "HomeFax"},    {6, "Pager"},
                                                           {7, "Other"},      {10, "CompanyMain"},
                                                           {11, "ISDN"},      {13, "OtherFax"},
                                                           {14, "Radio"},     {15, "Telex"},
                                                           {16, "TTY_TTD"},   {17, "WorkMobile"},
                                                           {18, "WorkPager"}, {19, "Assistant"},
                                                           {20, "MMS"},       {0, ""},
                                                           {8, ""},           {9, ""},
                                                           {12, ""},          {21, ""},
                                                           {-1, ""}};
    for (auto [code, label] : phones)
        EXPECT_EQ(phoneTypeLabel(code), label) << code;
    const std::pair<int32_t, std::string_view> emails[] = {{1, "Home Email"},
                                                           {2, "Work Email"},
                                                           {3, "Other Email"},
                                                           {4, "Mobile Email"},
                                                           {0, ""},
                                                           {5, ""},
                                                           {7, ""}};
    for (auto [code, label] : emails)
        EXPECT_EQ(emailTypeLabel(code), label) << code;
    EXPECT_EQ(boardEmailLabel(7), "Email");
    EXPECT_EQ(boardEmailLabel(2), "Work Email");
}

TEST(DataRowKindTest, WholeMimeTypeTextsOnly) {
    EXPECT_EQ(mimeTypeKind("vnd.android.cursor.item/organization"), DataRowKind::Organization);
    EXPECT_EQ(mimeTypeKind("vnd.android.cursor.item/phone_v2"), DataRowKind::Phone);
    EXPECT_EQ(mimeTypeKind("vnd.android.cursor.item/email_v2"), DataRowKind::Email);
    EXPECT_EQ(mimeTypeKind("vnd.android.cursor.item/PHONE_V2"), DataRowKind::Other);
    EXPECT_EQ(mimeTypeKind("vnd.android.cursor.item/phone_v2x"), DataRowKind::Other);
    EXPECT_EQ(mimeTypeKind("vnd.android.cursor.item/name"), DataRowKind::Other);

    const std::vector<MimeTypeNode> mimeTypes = {{5, "vnd.android.cursor.item/phone_v2"},
                                                 {1, "vnd.android.cursor.item/email_v2"}};
    DataRowNode row;
    row.mimeTypeId = 1;
    EXPECT_EQ(resolveDataRowKind(row, mimeTypes), DataRowKind::Email);
    row.mimeTypeId = 9;
    EXPECT_EQ(resolveDataRowKind(row, mimeTypes), DataRowKind::Other);
}

// One phone's contact lists, built by hand.
class ContactFieldsTest : public ::testing::Test {
  protected:
    ContactFieldsTest() {
        lists.mimeTypes = {{1, "vnd.android.cursor.item/email_v2"},
                           {4, "vnd.android.cursor.item/organization"},
                           {5, "vnd.android.cursor.item/phone_v2"},
                           {7, "vnd.android.cursor.item/name"}};
        lists.contacts = {contact(1, "Ann", 40), contact(2, "555 0100", 20)};
    }

    static ContactNode contact(int32_t id, std::string_view name, int32_t source) {
        ContactNode node;
        node.contactId = id;
        node.personKey = id;
        node.text = name;
        node.displayNameSource = source;
        return node;
    }
    void addRow(int32_t contactId, int32_t mimeTypeId, std::string_view value,
                std::string_view type = {}, std::string_view second = {},
                std::string_view third = {}) {
        lists.dataRows.push_back({mimeTypeId, contactId, value, type, second, third});
    }

    ContactLists lists;
};

TEST_F(ContactFieldsTest, ListTakesTheFirstNonEmptyValueOfEachKind) {
    addRow(1, 7, "Ann Smith");
    addRow(1, 4, "");
    addRow(2, 5, "999");
    addRow(1, 5, "555", "2");
    addRow(1, 4, "ACME");
    addRow(1, 5, "666", "1");
    addRow(1, 1, "ann@x.org", "2");
    addRow(1, 3, "unknown mime type id");
    const ContactDataIndex index(lists);

    const ContactListFields fields = contactListFields(lists.contacts[0], index);
    EXPECT_EQ(fields.phone, "555");
    EXPECT_EQ(fields.company, "ACME");
    EXPECT_EQ(fields.email, "ann@x.org");
    // Row texts: the stored name whatever its source.
    const ContactRowTexts row = liveContactRowTexts(lists.contacts[1], index);
    EXPECT_EQ(row.name, "555 0100");
    EXPECT_EQ(row.phone, "999");
    EXPECT_EQ(row.company, "");
    // A contact without rows.
    const ContactNode lonely = contact(3, "", 0);
    EXPECT_EQ(contactListFields(lonely, index).phone, "");
}

TEST_F(ContactFieldsTest, BoardHeaderAndItems) {
    addRow(1, 4, "", "1", "", "first third");
    addRow(1, 4, "ACME", "1", "", "");
    addRow(1, 5, "555", "12");
    addRow(1, 4, "Other Co", "1", "Boss", "R&D");
    addRow(1, 4, "Third Co", "1", "Clerk", "Sales");
    addRow(1, 1, "ann@x.org", "7");
    addRow(1, 5, "666", " 3");
    const ContactDataIndex index(lists);

    const ContactBoardFields board = contactBoardFields(lists.contacts[0], index);
    EXPECT_EQ(board.name, "Ann");
    EXPECT_EQ(board.company, "ACME");
    EXPECT_EQ(board.secondLine, "Boss");
    // Rows before the second line replace the third; later ones leave it.
    EXPECT_EQ(board.thirdLine, "R&D");
    ASSERT_EQ(board.items.size(), 3u);
    EXPECT_EQ(board.items[0].label, "");
    EXPECT_EQ(board.items[0].value, "555");
    EXPECT_EQ(board.items[1].label, "Email");
    EXPECT_EQ(board.items[2].label, "Work");

    // Until a second line appears, a later row's empty third line wins.
    lists.dataRows.clear();
    addRow(1, 4, "A", "1", "", "kept?");
    addRow(1, 4, "B", "1", "", "");
    const ContactDataIndex second(lists);
    EXPECT_EQ(contactBoardFields(lists.contacts[0], second).thirdLine, "");

    EXPECT_EQ(contactBoardFields(lists.contacts[1], index).name, "No Name");
}

TEST_F(ContactFieldsTest, ExportLinesAndNoNameNumbers) {
    addRow(1, 4, "", "1");
    addRow(1, 5, "555", "2");
    addRow(1, 7, "Ann Smith");
    addRow(1, 4, "ACME", "1");
    addRow(1, 1, "ann@x.org", "7");
    addRow(1, 5, "777", "x");
    addRow(2, 5, "555 0100", "17");
    const ContactDataIndex index(lists);

    int32_t noNameCounter = 0;
    EXPECT_EQ(
        exportContactLines(lists.contacts[0], index, noNameCounter),
        (std::vector<std::string>{"Ann(Company) : ", "Ann(Mobile) : 555", "Ann(Company) : ACME",
                                  "Ann() : ann@x.org", "Ann() : 777"}));
    EXPECT_EQ(noNameCounter, 0);
    EXPECT_EQ(exportContactLines(lists.contacts[1], index, noNameCounter),
              (std::vector<std::string>{"No Name0(WorkMobile) : 555 0100"}));
    // A contact without rows still uses up a number.
    const ContactNode lonely = contact(3, "x", 0);
    EXPECT_TRUE(exportContactLines(lonely, index, noNameCounter).empty());
    EXPECT_EQ(exportDisplayName(lists.contacts[1], noNameCounter), "No Name2");
    EXPECT_EQ(exportDisplayName(lists.contacts[0], noNameCounter), "Ann");
    EXPECT_EQ(noNameCounter, 3);
}

TEST(RowTextsTest, DeletedRowsNeedTheirTabs) {
    ContactNode contact;
    contact.deleted = 1;
    contact.text = "Ann\t555\textra";
    auto row = deletedContactRowTexts(contact);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name, "Ann");
    EXPECT_EQ(row->phone, "555\textra");
    EXPECT_EQ(row->company, "");
    contact.text = "no tab";
    EXPECT_FALSE(deletedContactRowTexts(contact));

    ThreadNode sms;
    sms.deleted = 1;
    sms.text = "N/A\t+86555\tHello\tthere";
    auto message = deletedSmsRowTexts(sms);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->name, "N/A");
    EXPECT_EQ(message->phone, "+86555");
    sms.text = "N/A\t+86555";
    EXPECT_FALSE(deletedSmsRowTexts(sms));
    sms.text = "\t\t";
    ASSERT_TRUE(deletedSmsRowTexts(sms));
    EXPECT_EQ(deletedSmsRowTexts(sms)->phone, "");
}

TEST(RowTextsTest, ConversationContactThroughTheFirstMessage) {
    ContactLists contacts;
    ContactNode bob;
    bob.personKey = 7;
    bob.text = "Bob B";
    bob.displayNameSource = 20;
    ContactNode bob2 = bob;
    bob2.text = "second Bob";
    contacts.contacts = {bob, bob2};
    SmsLists sms;
    sms.threads = {{1, 1, 0, {}}, {2, 1, 0, {}}, {3, 1, 0, {}}, {4, 1, 0, {}}};
    sms.messages = {{1, "555", 7, "", 1, "a"},
                    {1, "666", 0, "", 1, "b"},
                    {2, "777", 0, "", 1, "c"},
                    {4, "888", 9, "", 1, "d"}};
    const ConversationIndex index(contacts, sms);

    const MessageRowTexts first = liveConversationRowTexts(sms.threads[0], index);
    EXPECT_EQ(first.name, "Bob B");
    EXPECT_EQ(first.phone, "555");
    const MessageRowTexts noKey = liveConversationRowTexts(sms.threads[1], index);
    EXPECT_EQ(noKey.name, "");
    EXPECT_EQ(noKey.phone, "777");
    const MessageRowTexts noMessages = liveConversationRowTexts(sms.threads[2], index);
    EXPECT_EQ(noMessages.name, "");
    EXPECT_EQ(noMessages.phone, "");
    EXPECT_EQ(liveConversationRowTexts(sms.threads[3], index).name, "");

    // The export names the same conversations differently.
    EXPECT_EQ(conversationExportName(conversationContact(sms.threads[0], index)), "555");
    EXPECT_EQ(conversationExportName(conversationContact(sms.threads[1], index)), "777");
    // A key that names no contact falls back to the address, no messages to
    // "(no address)": nameless conversations never share the file ".txt".
    EXPECT_EQ(conversationExportName(conversationContact(sms.threads[3], index)), "888");
    EXPECT_EQ(conversationExportName(conversationContact(sms.threads[2], index)), "(no address)");
    // A contact named with nothing, or with a leading dot.
    ContactNode blank = bob;
    blank.displayNameSource = kDisplayNameSourceStructuredName;
    blank.text = "";
    EXPECT_EQ(conversationExportName({"555", 7, &blank}), "555");
    EXPECT_EQ(conversationExportName({"", 7, &blank}), "(no address)");
    blank.text = ".hidden";
    EXPECT_EQ(conversationExportName({"555", 7, &blank}), "_.hidden");
    EXPECT_EQ(conversationExportName({"..", 0, nullptr}), "_..");
    ASSERT_EQ(index.messagesOf(1).size(), 2u);
    EXPECT_EQ(index.messagesOf(1)[1]->body, "b");
}

TEST(Utf8TextTest, StrayBytesBecomeReplacementCharacters) {
    EXPECT_EQ(toValidUtf8("plain"), "plain");
    EXPECT_EQ(toValidUtf8("张伟 é 😀"), "张伟 é 😀");
    EXPECT_EQ(toValidUtf8("a\xFF"
                          "b"),
              "a\xEF\xBF\xBD"
              "b");
    // A cut sequence: each of its bytes is replaced, the rest kept.
    EXPECT_EQ(toValidUtf8("\xE5\xBC"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    // Overlong, surrogate and too-large forms.
    EXPECT_EQ(toValidUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(toValidUtf8("\xED\xA0\x80").size(), 9u);
    EXPECT_EQ(toValidUtf8("\xF4\x90\x80\x80").size(), 12u);
}

} // namespace
} // namespace fennaro
