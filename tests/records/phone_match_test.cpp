// The phone-number equality that names senders of deleted messages: a table
// of pairs that must match and pairs that must not, checked both ways round.
#include <gtest/gtest.h>

#include "phone/phone_match.h"

namespace fennaro {
namespace {

struct Pair {
    const char* a;
    const char* b;
};

TEST(PhoneMatch, SameNumberInOtherForms) {
    const Pair same[] = {
        {"18950061093", "18950061093"},
        {"+8618950061093", "18950061093"},  // country code on one side only
        {"008618950061093", "18950061093"}, // 00CC instead of +CC
        {"+86 189-5006-1093", "(189) 5006 1093"},
        {"+8618950061093", "018950061093"}, // trunk 0 against the country code
        {"0044 20 7946 0018", "020 7946 0018"},
        {"+8618950061093", "+86 18950061093"},
        {"+8618950061093", "008618950061093"},
        {"5551234", "555-1234"},   // exactly 7 digits
        {"5551234", "6505551234"}, // the shorter one used up
        {"12345", "12345"},        // short code, exactly
        {"*123#", "*123#"},
        {"Vodafone", "Vodafone"}, // alphanumeric sender, exactly
    };
    for (const Pair& pair : same) {
        EXPECT_TRUE(samePhoneNumber(pair.a, pair.b)) << pair.a << " / " << pair.b;
        EXPECT_TRUE(samePhoneNumber(pair.b, pair.a)) << pair.b << " / " << pair.a;
    }
}

TEST(PhoneMatch, DifferentNumbers) {
    const Pair different[] = {
        {"18950061093", "28950061093"},       // differ in front of the shared digits
        {"+8618950061093", "+4418950061093"}, // two country codes
        {"+8618950061093", "1018950061093"},  // not a prefix, not a trunk
        {"5551234", "5551235"},
        {"1234567", "234567"},        // only 6 digits shared
        {"18950061093", "189500610"}, // the same start is not enough
        {"12345", "012345"},          // short codes: no trunk rule
        {"12345", "912345"},
        {"12345", "+12345"},
        {"Vodafone", "VODAFONE"},
        {"Bank 5551234", "5551234"}, // letters: exact only
        {"", "5551234"},
        {"", ""}, // no digits: nobody
        {"-", "-"},
    };
    for (const Pair& pair : different) {
        EXPECT_FALSE(samePhoneNumber(pair.a, pair.b)) << pair.a << " / " << pair.b;
        EXPECT_FALSE(samePhoneNumber(pair.b, pair.a)) << pair.b << " / " << pair.a;
    }
}

TEST(PhoneMatch, IndexFindsTheFirstOwnerOfTheSameNumber) {
    PhoneNumberIndex index;
    index.add("18950061093", 7);
    index.add("+86 189 5006 1093", 8);
    index.add("10086", 9);
    index.add("Vodafone", 10);
    int64_t owner = 0;
    EXPECT_TRUE(index.find("+8618950061093", &owner));
    EXPECT_EQ(owner, 7);
    EXPECT_TRUE(index.find("10086", &owner));
    EXPECT_EQ(owner, 9);
    EXPECT_TRUE(index.find("Vodafone", &owner));
    EXPECT_EQ(owner, 10);
    // A number kept without its country code matches it under any code.
    EXPECT_TRUE(index.find("+4418950061093", &owner));
    EXPECT_FALSE(index.find("+4428950061093", &owner));
    EXPECT_FALSE(index.find("010086", &owner));
    EXPECT_FALSE(index.find("vodafone", &owner));
}

} // namespace
} // namespace fennaro
