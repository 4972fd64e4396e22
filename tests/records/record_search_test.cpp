// Finding records by typed text: tables of texts and numbers that must and
// must not match, and the same records found through the prepared index as
// by the plain comparison.
#include <gtest/gtest.h>

#include "phone/record_search.h"

namespace fennaro {
namespace {

struct Case {
    const char* typed;
    const char* stored;
};

TEST(RecordSearch, NumbersByThePhonesRule) {
    const Case found[] = {
        {"0049 30 123", "+49301234567"}, // 00 and + are one prefix
        {"+49 30 123", "0049 30 1234567"},
        {"0049 30 123", "030 1234567"}, // country code against the trunk 0
        {"030 123", "+49 30 1234567"},
        {"030-123", "0301234567"},
        {"1234", "+49 (30) 1234-567"}, // digits anywhere, punctuation ignored
        {"(30) 12", "+49301234567"},
        {"+1 555 0231", "555-0231"}, // country code against a number without prefix
    };
    for (const Case& c : found) {
        SearchTexts record;
        record.numbers.push_back(c.stored);
        EXPECT_TRUE(recordMatches(record, makeSearchQuery(c.typed)))
            << c.typed << " / " << c.stored;
    }
    const Case missed[] = {
        {"0049 30 123", "+44301234567"}, // other country
        {"030 123", "+49401234567"},     // other area
        {"+49 30", "0401234567"},        {"0049 30 124", "+49301234567"},
        {"0301", "+4930 01234"}, // a national prefix must start the number
    };
    for (const Case& c : missed) {
        SearchTexts record;
        record.numbers.push_back(c.stored);
        EXPECT_FALSE(recordMatches(record, makeSearchQuery(c.typed)))
            << c.typed << " / " << c.stored;
    }
}

TEST(RecordSearch, TextsIgnoreCase) {
    const Case found[] = {
        {"anna", "ANNA Berg"},
        {"Berg", "anna berg"},
        {"MEYER@Example.org", "meyer@example.ORG"},
        {"ÄRGER", "ärger"}, // Latin-1 capitals
        {"été", "ÉTÉ"},
        {"  lunch ", "Lunch at 12?"}, // white space around the search ignored
        {"", "anything"},
        {"日本", "こんにちは日本"}, // other scripts as they are
    };
    for (const Case& c : found)
        EXPECT_TRUE(textMatches(c.stored, makeSearchQuery(c.typed)))
            << c.typed << " / " << c.stored;
    const Case missed[] = {
        {"annab", "Anna Berg"},
        {"×", "÷"}, // not letters: no case
        {"ß", "SS"},
        {"12 3", "123"}, // a number-like search still needs the text when no number is stored
    };
    for (const Case& c : missed)
        EXPECT_FALSE(textMatches(c.stored, makeSearchQuery(c.typed)))
            << c.typed << " / " << c.stored;
}

TEST(RecordSearch, DeletedRecordsLikeLiveOnes) {
    ContactNode contact;
    contact.deleted = 1;
    contact.text = "Old Friend\t+49 171 5550001";
    ThreadNode sms;
    sms.deleted = 1;
    sms.text = "Old Friend\t0171 5550001\tMeet me at the Harbour";

    const SearchTexts contactTexts = classicDeletedContactTexts(contact);
    const SearchTexts smsTexts = classicDeletedSmsTexts(sms);
    EXPECT_TRUE(recordMatches(contactTexts, makeSearchQuery("friend")));
    EXPECT_TRUE(recordMatches(contactTexts, makeSearchQuery("0171 555")));
    EXPECT_FALSE(recordMatches(contactTexts, makeSearchQuery("harbour")));
    EXPECT_TRUE(recordMatches(smsTexts, makeSearchQuery("harbour")));
    EXPECT_TRUE(recordMatches(smsTexts, makeSearchQuery("+49171555")));

    deep::DeletedContact gone;
    gone.name = "Zoë Quint";
    gone.fields.push_back({deep::FieldKind::Email, {}, "Email", "zq@mail.example", {}, {}, {}, {}});
    gone.fields.push_back({deep::FieldKind::Phone, {}, "Mobile", "0176 99887766", {}, {}, {}, {}});
    deep::DeepContact row;
    row.deleted = &gone;
    const ContactLists none;
    const ContactDataIndex index(none);
    const SearchTexts deepTexts = deepContactTexts(row, index);
    for (const char* typed : {"zoë", "ZQ@MAIL", "+49 176 998", "99887766"})
        EXPECT_TRUE(recordMatches(deepTexts, makeSearchQuery(typed))) << typed;
    EXPECT_FALSE(recordMatches(deepTexts, makeSearchQuery("+49 177")));

    // The prepared index finds what the plain comparison finds, also when
    // narrowing the matches of a shorter search.
    SearchIndex prepared;
    prepared.add(contactTexts);
    prepared.add(smsTexts);
    prepared.add(deepTexts);
    EXPECT_EQ(prepared.find(makeSearchQuery("friend")), (std::vector<uint32_t>{0, 1}));
    const std::vector<uint32_t> first = prepared.find(makeSearchQuery("0"));
    EXPECT_EQ(first, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(prepared.find(makeSearchQuery("0176"), &first), (std::vector<uint32_t>{2}));
    EXPECT_EQ(prepared.find(makeSearchQuery("+49 171"), &first), (std::vector<uint32_t>{0, 1}));
}

} // namespace
} // namespace fennaro
